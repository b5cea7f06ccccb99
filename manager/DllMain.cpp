#include <windows.h>

#include "common/LogLine.h"

// Only logs: the manager already exists through static initialisation, and
// nothing else may run under the loader lock. At process exit (`reserved` set)
// the other threads were killed wherever they were, perhaps inside the
// logger's lock, so the detach is logged only on a dynamic unload.
BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID reserved) {
    switch (reason) {
    case DLL_PROCESS_ATTACH:
        adw::LogLine(adw::kLogInfo, "DllMain", "process attach AdWarden");
        break;
    case DLL_PROCESS_DETACH:
        if (reserved != nullptr) {
            break;
        }
        adw::LogLine(adw::kLogInfo, "DllMain", "process detach AdWarden");
        break;
    default:
        break;
    }
    return TRUE;
}
