#include "manager/FocusConfig.h"

#include <windows.h>

#include <cwchar>

#include "common/LogLine.h"
#include "common/UniqueResource.h"
#include "focus/SceneRules.h"
#include "manager/LoadConfig.h"
#include "vendor/ProcessIdentity.h"

namespace KelvaneCenter {

namespace {

constexpr char kReadTag[] = "KelvaneCenter::ReadFocusConfig";
// Far more than any installation lists; a list beyond either is not ours.
constexpr std::size_t kMaxListNames = 256;
constexpr DWORD kMaxListBytes = 64 * 1024;

bool ReadGate(HKEY key, const wchar_t* name) {
    DWORD value = 0;
    DWORD size = sizeof(value);
    return ::RegGetValueW(key, nullptr, name, RRF_RT_REG_DWORD, nullptr, &value, &size) == ERROR_SUCCESS && value != 0;
}

// The size of a REG_MULTI_SZ value; false when there is none. A value of
// another type (a host that wrote the list as one REG_SZ) reads as empty too,
// but says so: the list would otherwise be ignored without a trace.
bool MultiStringSize(HKEY key, const wchar_t* name, DWORD& size) {
    DWORD type = REG_NONE;
    const LSTATUS status = ::RegGetValueW(key, nullptr, name, RRF_RT_REG_MULTI_SZ, &type, nullptr, &size);
    if (status == ERROR_UNSUPPORTED_TYPE) {
        adw::LogLine(adw::kLogError, "KelvaneCenter::ReadFocusConfig", "not a REG_MULTI_SZ value, read as empty: ",
                     name, ", type = ", type);
    }
    return status == ERROR_SUCCESS;
}

std::vector<std::string> ReadNames(HKEY key, const wchar_t* name) {
    DWORD size = 0;
    if (!MultiStringSize(key, name, size)) {
        return {};
    }
    if (size > kMaxListBytes) {
        adw::LogLine(adw::kLogError, kReadTag, "list too long, not read: ", name, ", bytes = ", size);
        return {};
    }
    std::vector<wchar_t> block(size / sizeof(wchar_t) + 1, L'\0');
    size = static_cast<DWORD>(block.size() * sizeof(wchar_t));
    if (::RegGetValueW(key, nullptr, name, RRF_RT_REG_MULTI_SZ, nullptr, block.data(), &size) != ERROR_SUCCESS) {
        return {}; // changed between the two reads: the next Init reads it again
    }
    std::vector<std::string> names = ProcessNamesFromMultiString(block.data(), size / sizeof(wchar_t));
    if (names.size() > kMaxListNames) {
        adw::LogLine(adw::kLogError, kReadTag, "list too long, first names kept: ", name, ", names = ", names.size());
        names.resize(kMaxListNames);
    }
    return names;
}

} // namespace

std::vector<std::string> ProcessNamesFromMultiString(const wchar_t* block, std::size_t chars) {
    std::vector<std::string> names;
    for (std::size_t at = 0; block != nullptr && at < chars;) {
        const std::size_t length = ::wcsnlen(block + at, chars - at);
        if (length > 0) {
            names.push_back(LowerAscii(WideToUtf8(std::wstring(block + at, length))));
        }
        at += length + 1;
    }
    return names;
}

FocusConfig ReadFocusConfig() {
    FocusConfig config;
    adw::UniqueRegKey key;
    // From the machine's key, which only an installer or administrator can
    // write: these gates open desktop-wide hooks and the closing of other
    // programs' windows, which no program of the user may decide. Read access
    // only. The key path is given without its leading backslash.
    if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, LoadConfig::kKeyPath + 1, 0, KEY_QUERY_VALUE, key.put()) != ERROR_SUCCESS) {
        return config;
    }
    config.focusModeSupported = ReadGate(key.get(), L"FocusModeSupported");
    config.closeAdWindowEnabled = ReadGate(key.get(), L"CloseAdWindowEnabled");
    config.exemptProcesses = ReadNames(key.get(), L"FocusExemptProcesses");
    config.sceneProcesses = ReadNames(key.get(), L"FocusSceneProcesses");
    return config;
}

} // namespace KelvaneCenter
