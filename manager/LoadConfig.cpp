#include "manager/LoadConfig.h"

#include "KrFileUtil/Registry.h"
#include "common/LogLine.h"

namespace KelvaneCenter {

const wchar_t* const LoadConfig::kKeyPath = L"\\SOFTWARE\\Norvane\\Hubrix\\Kelvane";

namespace {

// Each call asks for the access it uses, no more: a key whose rights an
// administrator narrowed still serves reads and writes of its values.
constexpr unsigned long kReadAccess = KEY_QUERY_VALUE;
constexpr unsigned long kWriteAccess = KEY_SET_VALUE;

bool KeyExists() {
    DE::Registry registry;
    registry.SetRootKey(HKEY_CURRENT_USER);
    return registry.KeyExists(LoadConfig::kKeyPath);
}

void ReadSwitch(const wchar_t* name, int& field, int fallback) {
    if (!DE::Registry::GetValue(HKEY_CURRENT_USER, LoadConfig::kKeyPath, name, field, kReadAccess)) {
        field = fallback;
    }
}

} // namespace

bool LoadConfig::GetSwitchConfig(SwitchConfig& config) {
    if (!KeyExists()) {
        return false;
    }
    ReadSwitch(L"FocusModeStatus", config.FocusModeStatus, 0);
    ReadSwitch(L"PopUpBlockingStatus", config.PopUpBlockingStatus, 1);
    ReadSwitch(L"PowerfulModeStatus", config.PowerfulModeStatus, 0);
    return true;
}

bool LoadConfig::GetBlockTimesConfig(int& value) {
    constexpr const char* kTag = "KelvaneCenter::LoadConfig::GetBlockTimesConfig";
    if (!KeyExists()) {
        adw::LogLine(adw::kLogInfo, kTag, "register key not exist. path = ", kKeyPath);
        return false;
    }
    if (!DE::Registry::GetValue(HKEY_CURRENT_USER, kKeyPath, L"BlockedTimes", value, kReadAccess)) {
        adw::LogLine(adw::kLogInfo, kTag, "Get BlockTimes registry value failed.");
        return false;
    }
    return true;
}

bool LoadConfig::SetBlockTimesConfig(int value) {
    constexpr const char* kTag = "KelvaneCenter::LoadConfig::SetBlockTimesConfig";
    if (!KeyExists()) {
        adw::LogLine(adw::kLogInfo, kTag, "register key not exist. path = ", kKeyPath);
        return false;
    }
    if (!DE::Registry::SetValue(HKEY_CURRENT_USER, kKeyPath, L"BlockedTimes", value, kWriteAccess)) {
        adw::LogLine(adw::kLogInfo, kTag, "Set BlockTimes registry value failed. value = ", value);
        return false;
    }
    return true;
}

} // namespace KelvaneCenter
