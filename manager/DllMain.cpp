#include <windows.h>

#include "common/LogLine.h"

// Only logs: the manager already exists through static initialisation, and
// nothing else may run under the loader lock.
BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID) {
    switch (reason) {
    case DLL_PROCESS_ATTACH:
        adw::LogLine(adw::kLogInfo, "DllMain", "process attach AdWarden");
        break;
    case DLL_PROCESS_DETACH:
        adw::LogLine(adw::kLogInfo, "DllMain", "process detach AdWarden");
        break;
    default:
        break;
    }
    return TRUE;
}
