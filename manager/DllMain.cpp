#include <windows.h>

#include "common/LogLine.h"
#include "telemetry/DataReporter.h"
#include "telemetry/ReportWorker.h"

#if defined(__GLIBCXX__)
namespace __gnu_cxx {
void __freeres() noexcept;
}
#endif

// Only logs, and at unload frees what would outlive the module in the host
// (the reporter's pool and state, the C++ runtime's reserve): the manager
// already exists through static initialisation, and nothing may wait under the
// loader lock. At process exit (`reserved` set) the other threads were killed
// wherever they were, perhaps inside the logger's lock, so the detach is
// logged, and anything freed, only on a dynamic unload.
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
        KelvaneCenter::ReleaseReporterStateAtUnload();
#if defined(__GLIBCXX__)
        // The C++ runtime linked into this module keeps a pool for exceptions
        // thrown when memory is short (about 70 KiB), which only this frees:
        // without it every unload would leave one behind in the host.
        __gnu_cxx::__freeres();
#endif
        break;
    default:
        break;
    }
    return TRUE;
}
