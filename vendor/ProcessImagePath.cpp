#include "vendor/ProcessImagePath.h"

#include <psapi.h>

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
    const auto name = [](const std::wstring& path) {
        const size_t slash = path.find_last_of(L"\\/");
        return slash == std::wstring::npos ? path : path.substr(slash + 1);
    };
    const std::wstring nameA = name(a);
    const std::wstring nameB = name(b);
    return ::CompareStringOrdinal(nameA.c_str(), static_cast<int>(nameA.size()), nameB.c_str(),
                                  static_cast<int>(nameB.size()), TRUE) == CSTR_EQUAL;
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
