#include "telemetry/DataReporter.h"

#include <windows.h>
#include <objbase.h>

#include <climits>
#include <memory>
#include <mutex>
#include <new>

#include "KrFileUtil/Registry.h"
#include "common/CallLoggingExceptions.h"
#include "common/LogLine.h"
#include "qeevent/QeEvent.h"
#include "telemetry/ReportText.h"
#include "vendor/ProcessIdentity.h"

namespace KelvaneCenter {
namespace {

constexpr wchar_t kHostProgramPath[] = L"C:\\Program Files\\Norvane\\Hubrix\\components\\Kelvane\\KelvaneCenter.exe";
constexpr wchar_t kUserKeySuffix[] = L"\\SOFTWARE\\Norvane\\Hubrix\\Kelvane";
constexpr unsigned long kAccess = KEY_ALL_ACCESS; // 0xF003F
constexpr wchar_t kFocusModeGuidValue[] = L"DataReporterFocusModeGUID";

// Engine threads report blocks and suspected windows at the same moment, and a
// counter's read, increment and write are separate registry calls: unserialised,
// two reports could both read n and both send and store n + 1, losing one. One lock
// per counter keeps reports of unrelated counters from waiting on each other; it
// orders the reports of this process only, the one process that writes these values.
struct Counter {
    explicit Counter(const wchar_t* name) : valueName(name) {}
    const wchar_t* valueName;
    std::mutex lock;
};

Counter g_overCapCount(L"DataReporterOverCapCount");
Counter g_autoBlockCount(L"DataReporterAutoBlockCount");
Counter g_suspectedWindowCount(L"DataReporterSuspectedWindowCount");
Counter g_screenShotWindowCount(L"DataReporterScreenShotWindowCount");

// Module state. Meant for the focus monitor thread alone; the locks keep a
// stray second caller from racing on the strings and make the stored operation
// id always the one of the last event sent.
std::string lastOperationId;
std::string focusModeOperationId;
std::mutex g_lastOperationIdLock;
std::mutex g_focusSceneLock;

std::wstring UserKeyPath() {
    return GetActiveUserSid() + kUserKeySuffix;
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
void SendCounted(QeEvent& event, Counter& counter) {
    std::lock_guard<std::mutex> guard(counter.lock);
    const int count = NextCount(GetCountFromReg(counter.valueName));
    event = event.PutInt("count", count);
    QeView::Report(event);
    RegCountToKey(counter.valueName, std::to_wstring(count));
}

} // namespace

std::string GuidToString() {
    std::lock_guard<std::mutex> guard(g_lastOperationIdLock);
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
    if (!DE::Registry::SetValue(HKEY_USERS, UserKeyPath(), kFocusModeGuidValue, guid, kAccess)) {
        adw::LogLine(adw::kLogError, "RegFocusModeGUIDToKey", "set focus mode operation id value failed");
        return false;
    }
    return true;
}

bool RegCountToKey(const std::wstring& valueName, const std::wstring& count) {
    // The key is the host's: a missing key is reported, not created.
    if (!DE::Registry::SetValue(HKEY_USERS, UserKeyPath(), valueName, count, kAccess)) {
        adw::LogLine(adw::kLogError, "RegCountToKey", "set reg value count failed, value = ", valueName, "count = ",
                     count);
        return false;
    }
    return true;
}

int GetCountFromReg(const std::wstring& valueName) {
    const std::wstring keyPath = UserKeyPath();
    std::wstring text;
    if (!DE::Registry::GetValue(HKEY_USERS, keyPath, valueName, text, kAccess)) {
        const unsigned long error = ::GetLastError();
        adw::LogLine(adw::kLogError, "GetCountFromReg", "get reg value count failed, value = ", valueName, "error = ",
                     error);
        return 0;
    }
    return LeadingInt(WideToAnsi(text));
}

std::string DataReporter::GetAppVersion() {
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

// Telemetry never fails its caller, who may be an engine thread or a hook:
// every builder catches at its edge and logs.
void DataReporter::ReportScreenShotWindow(int result, const std::string& windowInfo) {
    adw::CallLoggingExceptions([&] {
        const std::string version = GetAppVersion();
        QeEvent event(kScreenShotWindowEventId);
        event = event.PutString("result", std::to_string(result));
        event = event.PutString("windowInfo", windowInfo);
        event = event.PutString("version", version);
        if (result == 0) {
            // A failed screenshot block is reported but not counted.
            event = event.PutInt("count", 0);
        } else {
            std::lock_guard<std::mutex> guard(g_screenShotWindowCount.lock);
            const int count = NextCount(GetCountFromReg(g_screenShotWindowCount.valueName));
            event = event.PutInt("count", count);
            RegCountToKey(g_screenShotWindowCount.valueName, std::to_wstring(count));
        }
        QeView::Report(event);
    }, "KelvaneCenter::DataReporter::ReportScreenShotWindow", "report failed: ");
}

void DataReporter::ReportModeSwitch(const std::string& mode, const std::string& status) {
    adw::CallLoggingExceptions([&] {
        const std::string version = GetAppVersion();
        QeEvent event(kModeSwitchEventId);
        event = event.PutString("mode", mode);
        event = event.PutString("status", status);
        event = event.PutString("version", version);
        QeView::Report(event);
    }, "KelvaneCenter::DataReporter::ReportModeSwitch", "report failed: ");
}

void DataReporter::ReportOverCap(const std::string& manner, const std::string& windowInfo) {
    adw::CallLoggingExceptions([&] {
        const std::string version = GetAppVersion();
        QeEvent event(kOverCapEventId);
        event = event.PutString("manner", manner);
        event = event.PutString("windowInfo", windowInfo);
        event = event.PutString("version", version);
        SendCounted(event, g_overCapCount);
    }, "KelvaneCenter::DataReporter::ReportOverCap", "report failed: ");
}

void DataReporter::ReportAutoBlock(const std::string& windowInfo) {
    adw::CallLoggingExceptions([&] {
        const std::string version = GetAppVersion();
        QeEvent event(kAutoBlockEventId);
        event = event.PutString("windowInfo", windowInfo);
        event = event.PutString("version", version);
        SendCounted(event, g_autoBlockCount);
    }, "KelvaneCenter::DataReporter::ReportAutoBlock", "report failed: ");
}

void DataReporter::ReportFocusScene(const std::string& sceneType, const std::string& triggeringApp) {
    adw::CallLoggingExceptions([&] {
        const std::string version = GetAppVersion();
        std::lock_guard<std::mutex> guard(g_focusSceneLock);
        // Every focus-scene event gets an operation id of its own.
        focusModeOperationId = GuidToString();
        RegFocusModeGUIDToKey(AnsiToWide(focusModeOperationId));
        QeEvent event(kFocusSceneEventId);
        event = event.PutString("sceneType", sceneType);
        event = event.PutString("triggeringApp", triggeringApp);
        event = event.PutString("operation_id", focusModeOperationId);
        event = event.PutString("version", version);
        QeView::Report(event);
    }, "KelvaneCenter::DataReporter::ReportFocusScene", "report failed: ");
}

void DataReporter::ReportSuspectedWindow(const std::string& windowInfo) {
    adw::CallLoggingExceptions([&] {
        const std::string version = GetAppVersion();
        QeEvent event(kSuspectedWindowEventId);
        event = event.PutString("windowInfo", windowInfo);
        event = event.PutString("version", version);
        SendCounted(event, g_suspectedWindowCount);
    }, "KelvaneCenter::DataReporter::ReportSuspectedWindow", "report failed: ");
}

} // namespace KelvaneCenter
