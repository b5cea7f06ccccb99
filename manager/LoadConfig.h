#pragma once

#include <windows.h>

namespace KelvaneCenter {

// The three user switches, in registry read order; filled in one call.
struct SwitchConfig {
    int FocusModeStatus = 0;
    int PopUpBlockingStatus = 0;
    int PowerfulModeStatus = 0;
};

// The user's switches (written by the host) and the persisted blocked-pop-up
// counter (ours), under HKEY_CURRENT_USER. No state: each call opens the key anew.
class LoadConfig {
public:
    static const wchar_t* const kKeyPath;

    // False, with the destination untouched, when the key does not exist.
    static bool GetSwitchConfig(SwitchConfig& config);
    static bool GetBlockTimesConfig(int& value);
    static bool SetBlockTimesConfig(int value);
};

} // namespace KelvaneCenter
