#include <windows.h>

#include "common/LogLine.h"
#include "telemetry/ReportWorker.h"

// Only logs, and at unload lets the reporter's pool go: the manager already
// exists through static initialisation, and nothing may wait under the loader lock. At process exit (`reserved` set)
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
        // Nothing of ours is running: every thread, pool callback, UI job and
        // window of the library holds a reference on it until it is done.
        KelvaneCenter::ReleaseReportWorkerAtUnload();
        break;
    default:
        break;
    }
    return TRUE;
}
