// Engine notifications: cheap work on the engine's threads, the rest queued.

#include <functional>
#include <memory>
#include <string>
#include <utility>

#include "common/LogLine.h"
#include "manager/AdWarden.h"
#include "manager/NotificationReport.h"
#include "manager/RecordRules.h"
#include "telemetry/DataReporter.h"
#include "vendor/AdPopWndTracker.h"
#include "vendor/PopUpBlockingVendor.h"
#include "vendor/ProcessImagePath.h"

namespace KelvaneCenter {

using KelvaneMsgCenter::BlockingRecordModel;

namespace {
constexpr const char* kAdHatTag = "KelvaneCenter::AdWarden::CallBackAdHat";
constexpr const char* kAdHatJobTag = "KelvaneCenter::AdWarden::CallBackAdHat::Job";
constexpr const char* kAdBlockTag = "KelvaneCenter::AdWarden::CallBackAdBlock";
constexpr const char* kAdBlockJobTag = "KelvaneCenter::AdWarden::CallBackAdBlock::Job";
constexpr const char* kOtherAdTag = "KelvaneCenter::AdWarden::CallBackOtherAdNotify";
constexpr const char* kOtherAdJobTag = "KelvaneCenter::AdWarden::CallBackOtherAdNotify::Job";
} // namespace

// Worker thread: an undecided pop-up of a valid window reaches the host as
// "not blocked". False when the engine has no such item; else `exePath`, when
// asked for, gets the item's program.
bool AdWarden::NotifyIfUndecided(const std::wstring& key, HWND window, const char* jobTag, std::wstring* exePath) {
    PopWndItem* item = nullptr;
    GetValidWndItem(key.c_str(), window, item);
    if (item == nullptr) {
        adw::LogLine(adw::kLogError, jobTag, "pItem", " is null");
        return false;
    }
    if (exePath != nullptr) {
        const wchar_t* path = item->GetExePath();
        exePath->assign(path != nullptr ? path : L"");
    }
    if (item->GetHandleType() != kAdPopHandleUndecided) {
        return true;
    }
    BlockingRecordModel record = ConvertToModel(item);
    record.status = KelvaneMsgCenter::kRecordNotBlocked;
    NotifyRecord(record);
    return true;
}

// Worker thread. Window handles are reused: by the time a hat's job runs, the
// ad window may have gone and its handle name a window of another program, and
// a hat there would offer to block the wrong thing. Where either program is
// unknown (no path from the engine, a process this one may not open) the
// window is taken as the engine's.
bool AdWarden::WindowOfProgram(HWND window, const std::wstring& exePath) {
    DWORD processId = 0;
    const std::wstring image = exePath.empty() || GetWindowThreadProcessId(window, &processId) == 0
                                   ? std::wstring()
                                   : GetProcessImagePathById(processId);
    if (image.empty() || SameFileName(image, exePath)) {
        return true;
    }
    adw::LogLine(adw::kLogError, kAdHatJobTag, "ad window now belongs to another program, no hat: ", image);
    return false;
}

void AdWarden::CallBackAdHat(const wchar_t* const& key, const HWND& window) {
    if (key == nullptr) {
        adw::LogLine(adw::kLogError, kAdHatTag, "key", " is null");
        return;
    }
    PushJob(kAdHatTag, [this, keyCopy = std::wstring(key), target = window] {
        std::wstring exePath;
        if (NotifyIfUndecided(keyCopy, target, kAdHatJobTag, &exePath) && IsWindow(target) && !keyCopy.empty() &&
            WindowOfProgram(target, exePath) && JobIsCurrent()) {
            DispatchAdHat(target, keyCopy);
        }
    });
}

void AdWarden::CallBackAdBlock(const wchar_t* const& key) {
    if (key == nullptr) {
        adw::LogLine(adw::kLogError, kAdBlockTag, "AdBlockNotify lpkey is nullptr");
        return;
    }
    int count = blockedTimes.load();
    while (!blockedTimes.compare_exchange_weak(count, CountedOnce(count))) {
    }
    // The job carries the key and the report: one hand-over on the engine's thread.
    auto report = std::make_shared<NotificationReport>(reportSequence_, &DataReporter::ReportAutoBlock, key);
    PushJob(kAdBlockTag, [this, report] {
        report->Send();
        HandleAdBlock(report->Key());
    });
}

// Worker thread: record "blocked just now", the new counter, then "blocked".
void AdWarden::HandleAdBlock(const std::wstring& key) {
    PopWndItem* item = nullptr;
    const wchar_t* rawKey = key.c_str();
    PopUpBlockingVendor::GetInstance().GetPopByKey(rawKey, item);
    if (item == nullptr) {
        adw::LogLine(adw::kLogError, kAdBlockJobTag, "pItem", " is null");
        return;
    }
    BlockingRecordModel record = ConvertToModel(item);
    record.status = KelvaneMsgCenter::kRecordBlockedRecently;
    NotifyRecord(record);
    record.status = KelvaneMsgCenter::kRecordBlocked;
    NotifyRecord(record);
}

void AdWarden::CallBackOtherAdNotify(const wchar_t* const& key, const HWND& window) {
    auto report = std::make_shared<NotificationReport>(reportSequence_, &DataReporter::ReportSuspectedWindow, key);
    if (key == nullptr) {
        report->Send(); // the report comes before the key is looked at
        adw::LogLine(adw::kLogError, kOtherAdTag, "key", " is null");
        return;
    }
    // No hat for these: only the record.
    PushJob(kOtherAdTag, [this, report, target = window] {
        report->Send();
        NotifyIfUndecided(report->Key(), target, kOtherAdJobTag);
    });
}

} // namespace KelvaneCenter
