#pragma once

// What the installer or an administrator sets for the focus-scene parts under
// HKEY_LOCAL_MACHINE\SOFTWARE\Norvane\Hubrix\Kelvane (the user's switches
// are under the same path in HKEY_CURRENT_USER, which decides none of these).
// Both gates ship closed: a value that is absent, unreadable or 0 leaves its
// gate closed, and a list that is absent, unreadable or over 64 KiB is empty;
// of a list of more than 256 names the first 256 count.
//   FocusModeSupported     DWORD         focus mode may start the focus-scene monitor
//   CloseAdWindowEnabled   DWORD         windows the engine names may be closed
//   FocusExemptProcesses   REG_MULTI_SZ  image names whose windows are never closed
//   FocusSceneProcesses    REG_MULTI_SZ  image names of scene applications

#include <cstddef>
#include <string>
#include <vector>

namespace KelvaneCenter {

struct FocusConfig {
    bool focusModeSupported = false;
    bool closeAdWindowEnabled = false;
    std::vector<std::string> exemptProcesses; // lower-case UTF-8 image file names
    std::vector<std::string> sceneProcesses;
};

// Reads the key afresh; never creates it.
FocusConfig ReadFocusConfig();

// The non-empty strings of a REG_MULTI_SZ block of `chars` wide characters, as
// lower-case UTF-8 (how the monitor compares image names).
std::vector<std::string> ProcessNamesFromMultiString(const wchar_t* block, std::size_t chars);

} // namespace KelvaneCenter
