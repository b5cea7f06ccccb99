#pragma once

// Usage events for the maker's telemetry library, with the host program's
// product version and a few counters per user under HKEY_USERS\<SID>.

#include <cstddef>
#include <string>

namespace KelvaneCenter {

class DataReporter {
public:
    static constexpr int kScreenShotWindowEventId = 992614517;
    static constexpr int kModeSwitchEventId = 992614518;
    static constexpr int kOverCapEventId = 992614519;
    static constexpr int kAutoBlockEventId = 992614520;
    static constexpr int kFocusSceneEventId = 992614521;
    static constexpr int kSuspectedWindowEventId = 992614523;

    // How a hat action ended (ReportOverCap's manner).
    static constexpr const char* kMannerClickBlocking = "CLICK_BLOCKING";
    static constexpr const char* kMannerClickIgnore = "CLICK_IGNORE";
    static constexpr const char* kMannerWindowMove = "WINDOW_MOVE";
    static constexpr const char* kMannerAutoHide = "AUTO_HIDE";

    // Reports handed over and not yet sent, at most; each one beyond is dropped with a log line.
    static constexpr std::size_t kMaxPendingReports = 4096;

    // Each copies its arguments and hands one event to the reporter's worker,
    // which sends the events one at a time in the order they were handed over.
    // The caller never waits for a report and never fails: whatever cannot be
    // read or written is logged and the event goes out with what there is.
    static void ReportScreenShotWindow(int result, const std::string& windowInfo);
    static void ReportModeSwitch(const std::string& mode, const std::string& status);
    static void ReportOverCap(const std::string& manner, const std::string& windowInfo);
    static void ReportAutoBlock(const std::string& windowInfo);
    static void ReportFocusScene(const std::string& sceneType, const std::string& triggeringApp);
    static void ReportSuspectedWindow(const std::string& windowInfo);

    // Waits until every report handed over before the call has been sent, at
    // most timeoutMs; true when all were. Called from a report itself, it returns at once.
    static bool Flush(unsigned long timeoutMs) noexcept;

    // The host program's product version "a.b.c.d", read once per process; "" while unreadable.
    static std::string GetAppVersion();
};

// The reporter's registry and id helpers (log tags without a class name).
std::string GuidToString();                                                  // a new GUID text, or ""
bool RegFocusModeGUIDToKey(const std::wstring& guid);                        // DataReporterFocusModeGUID
bool RegCountToKey(const std::wstring& valueName, const std::wstring& count); // a counter as text
int GetCountFromReg(const std::wstring& valueName);                          // 0 when unreadable

// At unload of the library, once the reporter's worker is gone: the reports'
// own state (counters' ids, cached user SID and version) goes too.
void ReleaseReporterStateAtUnload() noexcept;

} // namespace KelvaneCenter
