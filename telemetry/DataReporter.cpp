#include "telemetry/DataReporter.h"

#include <windows.h>
#include <objbase.h>

#include <climits>
#include <memory>
#include <mutex>
#include <new>
#include <string>
#include <utility>

#include "KrFileUtil/Registry.h"
#include "common/CallLoggingExceptions.h"
#include "common/LogLine.h"
#include "qeevent/QeEvent.h"
#include "telemetry/ReportText.h"
#include "telemetry/ReportWorker.h"
#include "telemetry/TextCache.h"
#include "vendor/ProcessIdentity.h"

namespace KelvaneCenter {
namespace {

constexpr wchar_t kHostProgramPath[] = L"C:\\Program Files\\Norvane\\Hubrix\\components\\Kelvane\\KelvaneCenter.exe";
constexpr wchar_t kUserKeySuffix[] = L"\\SOFTWARE\\Norvane\\Hubrix\\Kelvane";
// Each call asks for the access it uses, no more.
constexpr unsigned long kReadAccess = KEY_QUERY_VALUE;
constexpr unsigned long kWriteAccess = KEY_SET_VALUE;
constexpr wchar_t kFocusModeGuidValue[] = L"DataReporterFocusModeGUID";

constexpr wchar_t kOverCapCount[] = L"DataReporterOverCapCount";
constexpr wchar_t kAutoBlockCount[] = L"DataReporterAutoBlockCount";
constexpr wchar_t kSuspectedWindowCount[] = L"DataReporterSuspectedWindowCount";
constexpr wchar_t kScreenShotWindowCount[] = L"DataReporterScreenShotWindowCount";

// Module state, used by reports only. Reports run one at a time on the
// reporter's worker, which also keeps each counter's read, increment and write
// from interleaving with another report's.
struct ReporterState {
    std::string lastOperationId;
    std::string focusModeOperationId;
    std::mutex lastOperationIdLock;
    // The user's SID text per console session: the look-up (WTS, impersonation,
    // account name) is made once per session, again when another session is at the console.
    TextCache<DWORD, std::wstring> userSid;
    // The host program's version: the first one read is kept. One that cannot be
    // read is tried again at the next report, so a host program installed or
    // repaired while the library runs is still reported.
    TextCache<int, std::string> appVersion;
};

ReporterState* g_state = nullptr;

ReporterState& State() {
    // Not a static object, like the worker: a report may still be running
    // while an executable that links these objects runs its static destructors
    // at exit. A dynamic unload, when no report runs any more, releases it.
    static ReporterState* const state = g_state = new ReporterState();
    return *state;
}

std::wstring UserKeyPath() {
    return State().userSid.Get(::WTSGetActiveConsoleSessionId(), [] { return GetActiveUserSid(); }) + kUserKeySuffix;
}

std::wstring AnsiToWide(const std::string& text) {
    if (text.empty() || text.size() > static_cast<size_t>(INT_MAX)) {
        return std::wstring();
    }
    const int length = static_cast<int>(text.size());
    int chars = ::MultiByteToWideChar(CP_ACP, 0, text.c_str(), length, nullptr, 0);
    if (chars <= 0) {
        return std::wstring();
    }
    std::wstring converted(static_cast<size_t>(chars), L'\0');
    ::MultiByteToWideChar(CP_ACP, 0, text.c_str(), length, &converted[0], chars);
    return converted;
}

// Adds "count" = stored value + 1, sends the event and stores the value sent.
void SendCounted(QeEvent& event, const wchar_t* valueName) {
    const int count = NextCount(GetCountFromReg(valueName));
    event = event.PutInt("count", count);
    QeView::Report(event);
    RegCountToKey(valueName, std::to_wstring(count));
}

std::string ReadAppVersion() {
    constexpr const char* kTag = "KelvaneCenter::DataReporter::GetAppVersion";
    DWORD size = ::GetFileVersionInfoSizeW(kHostProgramPath, nullptr);
    if (size == 0) {
        return std::string();
    }
    std::unique_ptr<BYTE[]> infoData(new (std::nothrow) BYTE[size]);
    if (!infoData) {
        adw::LogLine(adw::kLogError, kTag, "infoData is nullptr");
        return std::string();
    }
    if (!::GetFileVersionInfoW(kHostProgramPath, 0, size, infoData.get())) {
        return std::string();
    }
    void* lpBuffer = nullptr;
    UINT length = 0;
    if (!::VerQueryValueW(infoData.get(), L"\\", &lpBuffer, &length)) {
        return std::string();
    }
    if (lpBuffer == nullptr) {
        adw::LogLine(adw::kLogError, kTag, "lpBuffer is null ptr");
        return std::string();
    }
    const auto* fixed = static_cast<const VS_FIXEDFILEINFO*>(lpBuffer);
    return FormatVersion(fixed->dwProductVersionMS, fixed->dwProductVersionLS);
}

// Hands `report(args...)` to the reporter's worker. On the caller's thread
// (an engine thread, a hook, the UI thread) only the arguments are copied and
// queued. Telemetry never fails its caller: here and on the worker, whatever
// is thrown is logged under the builder's tag.
template <typename Report, typename... Args>
void Send(const char* tag, Report report, const Args&... args) noexcept {
    adw::CallLoggingExceptions([&] {
        auto job = [tag, report, args...] {
            adw::CallLoggingExceptions([&] { report(args...); }, tag, "report failed: ");
        };
        if (!TheReportWorker().Post(std::move(job))) {
            adw::LogLine(adw::kLogError, tag, "report queue full, event dropped");
        }
    }, tag, "report failed: ");
}

void SendScreenShotWindow(int result, const std::string& windowInfo) {
    const std::string version = DataReporter::GetAppVersion();
    QeEvent event(DataReporter::kScreenShotWindowEventId);
    event = event.PutString("result", std::to_string(result));
    event = event.PutString("windowInfo", windowInfo);
    event = event.PutString("version", version);
    if (result == 0) {
        // A failed screenshot block is reported but not counted.
        event = event.PutInt("count", 0);
    } else {
        const int count = NextCount(GetCountFromReg(kScreenShotWindowCount));
        event = event.PutInt("count", count);
        RegCountToKey(kScreenShotWindowCount, std::to_wstring(count));
    }
    QeView::Report(event);
}

void SendModeSwitch(const std::string& mode, const std::string& status) {
    const std::string version = DataReporter::GetAppVersion();
    QeEvent event(DataReporter::kModeSwitchEventId);
    event = event.PutString("mode", mode);
    event = event.PutString("status", status);
    event = event.PutString("version", version);
    QeView::Report(event);
}

void SendOverCap(const std::string& manner, const std::string& windowInfo) {
    const std::string version = DataReporter::GetAppVersion();
    QeEvent event(DataReporter::kOverCapEventId);
    event = event.PutString("manner", manner);
    event = event.PutString("windowInfo", windowInfo);
    event = event.PutString("version", version);
    SendCounted(event, kOverCapCount);
}

void SendAutoBlock(const std::string& windowInfo) {
    const std::string version = DataReporter::GetAppVersion();
    QeEvent event(DataReporter::kAutoBlockEventId);
    event = event.PutString("windowInfo", windowInfo);
    event = event.PutString("version", version);
    SendCounted(event, kAutoBlockCount);
}

void SendFocusScene(const std::string& sceneType, const std::string& triggeringApp) {
    const std::string version = DataReporter::GetAppVersion();
    // Every focus-scene event gets an operation id of its own.
    std::string& focusModeOperationId = State().focusModeOperationId;
    focusModeOperationId = GuidToString();
    RegFocusModeGUIDToKey(AnsiToWide(focusModeOperationId));
    QeEvent event(DataReporter::kFocusSceneEventId);
    event = event.PutString("sceneType", sceneType);
    event = event.PutString("triggeringApp", triggeringApp);
    event = event.PutString("operation_id", focusModeOperationId);
    event = event.PutString("version", version);
    QeView::Report(event);
}

void SendSuspectedWindow(const std::string& windowInfo) {
    const std::string version = DataReporter::GetAppVersion();
    QeEvent event(DataReporter::kSuspectedWindowEventId);
    event = event.PutString("windowInfo", windowInfo);
    event = event.PutString("version", version);
    SendCounted(event, kSuspectedWindowCount);
}

} // namespace

std::string GuidToString() {
    ReporterState& state = State();
    std::lock_guard<std::mutex> guard(state.lastOperationIdLock);
    std::string& lastOperationId = state.lastOperationId;
    lastOperationId.clear();
    GUID guid = {};
    if (FAILED(::CoCreateGuid(&guid))) {
        return lastOperationId;
    }
    std::string text;
    if (!FormatGuid(guid, text)) {
        adw::LogLine(adw::kLogError, "GuidToString", "GUID TO String failed");
        text.clear();
    }
    lastOperationId = text;
    return lastOperationId;
}

bool RegFocusModeGUIDToKey(const std::wstring& guid) {
    if (!DE::Registry::SetValue(HKEY_USERS, UserKeyPath(), kFocusModeGuidValue, guid, kWriteAccess)) {
        adw::LogLine(adw::kLogError, "RegFocusModeGUIDToKey", "set focus mode operation id value failed");
        return false;
    }
    return true;
}

bool RegCountToKey(const std::wstring& valueName, const std::wstring& count) {
    // The key is the host's: a missing key is reported, not created.
    if (!DE::Registry::SetValue(HKEY_USERS, UserKeyPath(), valueName, count, kWriteAccess)) {
        adw::LogLine(adw::kLogError, "RegCountToKey", "set reg value count failed, value = ", valueName, "count = ",
                     count);
        return false;
    }
    return true;
}

int GetCountFromReg(const std::wstring& valueName) {
    const std::wstring keyPath = UserKeyPath();
    std::wstring text;
    if (!DE::Registry::GetValue(HKEY_USERS, keyPath, valueName, text, kReadAccess)) {
        const unsigned long error = ::GetLastError();
        adw::LogLine(adw::kLogError, "GetCountFromReg", "get reg value count failed, value = ", valueName, "error = ",
                     error);
        return 0;
    }
    return LeadingInt(WideToAnsi(text));
}

std::string DataReporter::GetAppVersion() {
    return State().appVersion.Get(0, ReadAppVersion);
}

bool DataReporter::Flush(unsigned long timeoutMs) noexcept {
    try {
        return TheReportWorker().Flush(timeoutMs);
    } catch (...) {
        return true; // no worker could be made, so nothing was handed over
    }
}

void DataReporter::ReportScreenShotWindow(int result, const std::string& windowInfo) {
    Send("KelvaneCenter::DataReporter::ReportScreenShotWindow", SendScreenShotWindow, result,
         windowInfo);
}

void DataReporter::ReportModeSwitch(const std::string& mode, const std::string& status) {
    Send("KelvaneCenter::DataReporter::ReportModeSwitch", SendModeSwitch, mode, status);
}

void DataReporter::ReportOverCap(const std::string& manner, const std::string& windowInfo) {
    Send("KelvaneCenter::DataReporter::ReportOverCap", SendOverCap, manner, windowInfo);
}

void DataReporter::ReportAutoBlock(const std::string& windowInfo) {
    Send("KelvaneCenter::DataReporter::ReportAutoBlock", SendAutoBlock, windowInfo);
}

void DataReporter::ReportFocusScene(const std::string& sceneType, const std::string& triggeringApp) {
    Send("KelvaneCenter::DataReporter::ReportFocusScene", SendFocusScene, sceneType,
         triggeringApp);
}

void DataReporter::ReportSuspectedWindow(const std::string& windowInfo) {
    Send("KelvaneCenter::DataReporter::ReportSuspectedWindow", SendSuspectedWindow, windowInfo);
}

void ReleaseReporterStateAtUnload() noexcept {
    delete std::exchange(g_state, nullptr);
}

} // namespace KelvaneCenter
