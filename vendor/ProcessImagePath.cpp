#include "vendor/ProcessImagePath.h"

#include <psapi.h>

#include "common/UniqueResource.h"

namespace KelvaneCenter {

std::wstring GetProcessImagePath(HANDLE process) {
    if (process == nullptr) {
        return std::wstring();
    }
    // One spare character beyond the capacity passed, so the text always ends.
    wchar_t path[MAX_PATH + 1] = {};
    if (::K32GetModuleFileNameExW(process, nullptr, path, MAX_PATH) != 0) {
        return path;
    }
    DWORD length = MAX_PATH;
    path[0] = L'\0';
    if (::QueryFullProcessImageNameW(process, 0, path, &length)) {
        return std::wstring(path, length);
    }
    return std::wstring();
}

std::wstring GetProcessImagePathById(DWORD processId) {
    adw::UniqueHandle process(::OpenProcess(PROCESS_QUERY_INFORMATION, FALSE, processId));
    return GetProcessImagePath(process.get());
}

} // namespace KelvaneCenter
