#include "vendor/ProcessImagePath.h"

#include <psapi.h>
#include <shlwapi.h>

#include <cwchar>

#include "common/UniqueResource.h"

namespace KelvaneCenter {

namespace {
// The longest path Windows handles, in characters, with its terminator.
constexpr DWORD kLongestPath = 32768;

std::wstring RecordedImagePath(HANDLE process) {
    std::wstring path(kLongestPath, L'\0');
    DWORD length = kLongestPath;
    if (process == nullptr || !::QueryFullProcessImageNameW(process, 0, &path[0], &length)) {
        return std::wstring();
    }
    path.resize(length);
    return path;
}
} // namespace

bool SameFileName(const std::wstring& a, const std::wstring& b) {
    const wchar_t* nameA = ::PathFindFileNameW(a.c_str());
    const wchar_t* nameB = ::PathFindFileNameW(b.c_str());
    return ::CompareStringOrdinal(nameA, static_cast<int>(std::wcslen(nameA)), nameB,
                                  static_cast<int>(std::wcslen(nameB)), TRUE) == CSTR_EQUAL;
}

std::wstring GetProcessImagePath(HANDLE process) {
    if (process == nullptr) {
        return std::wstring();
    }
    // One spare character beyond the capacity passed, so the text always ends.
    wchar_t path[MAX_PATH + 1] = {};
    if (::K32GetModuleFileNameExW(process, nullptr, path, MAX_PATH) != 0) {
        return path;
    }
    return RecordedImagePath(process);
}

std::wstring GetProcessImagePathById(DWORD processId) {
    adw::UniqueHandle process(::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, processId));
    if (!process) {
        process.reset(::OpenProcess(PROCESS_QUERY_INFORMATION, FALSE, processId));
    }
    return RecordedImagePath(process.get());
}

} // namespace KelvaneCenter
