// Engine notifications: cheap work on the engine's threads, the rest queued.

#include <functional>
#include <string>
#include <utility>

#include "common/EnginePath.h"
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

ADW_ENGINE_PATH void AdWarden::CallBackAdHat(const wchar_t* const& key, const HWND& window) {
    if (key == nullptr) {
        adw::LogLine(adw::kLogError, kAdHatTag, "key", " is null");
        return;
    }
    HandOver(NotificationSlot::Kind::AdHat, key, window, nullptr, kAdHatTag);
}

// Worker thread.
void AdWarden::HandleAdHat(const std::wstring& key, HWND window) {
    std::wstring exePath;
    if (NotifyIfUndecided(key, window, kAdHatJobTag, &exePath) && IsWindow(window) && !key.empty() &&
        WindowOfProgram(window, exePath) && JobIsCurrent()) {
        DispatchAdHat(window, key);
    }
}

ADW_ENGINE_PATH void AdWarden::CallBackAdBlock(const wchar_t* const& key) {
    if (key == nullptr) {
        adw::LogLine(adw::kLogError, kAdBlockTag, "AdBlockNotify lpkey is nullptr");
        return;
    }
    int count = blockedTimes.load();
    while (!blockedTimes.compare_exchange_weak(count, CountedOnce(count))) {
    }
    HandOver(NotificationSlot::Kind::AdBlock, key, nullptr, &DataReporter::ReportAutoBlock, kAdBlockTag);
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

ADW_ENGINE_PATH void AdWarden::CallBackOtherAdNotify(const wchar_t* const& key, const HWND& window) {
    if (key == nullptr) {
        // The report comes before the key is looked at.
        NotificationReport(reportSequence_, &DataReporter::ReportSuspectedWindow).Send(nullptr);
        adw::LogLine(adw::kLogError, kOtherAdTag, "key", " is null");
        return;
    }
    // No hat for these: only the record.
    HandOver(NotificationSlot::Kind::OtherAd, key, window, &DataReporter::ReportSuspectedWindow, kOtherAdTag);
}

ADW_ENGINE_PATH void AdWarden::HandOver(NotificationSlot::Kind kind, const wchar_t* key, HWND window,
                                        NotificationReport::Report report, const char* tag) {
    NotificationSlot* const slot = slots_.Take();
    slot->kind = kind;
    slot->window = window;
    try {
        slot->SetKey(key);
    } catch (...) {
        slots_.GiveBack(slot);
        throw;
    }
    if (report != nullptr) {
        slot->report = NotificationReport(reportSequence_, report); // last: nothing after it can fail unsent
    }
    adw::RundownRef call(queueCalls_);
    OperationQueueBase* const queue = call ? getModelListQueue.load() : nullptr;
    if (queue == nullptr) {
        RetireSlot(*slot);
        adw::LogLine(adw::kLogError, tag, "getModelListQueue", " is null");
        return;
    }
    slot->queue = queue;
    try {
        queue->Push(EngineJob{this, slot}); // a job the queue refuses or drops is retired by its discard handler
    } catch (...) {
        RetireSlot(*slot); // not queued
        throw;
    }
}

void AdWarden::RunEngineJob(NotificationSlot& slot) {
    struct Retire {
        AdWarden& manager;
        NotificationSlot& slot;
        ~Retire() { manager.RetireSlot(slot); }
    } const retire{*this, slot}; // however the job ends
    const JobScope scope(slot.queue);
    LoadCounterIfPending();
    slot.report.Send(slot.Key());
    const std::wstring key = slot.Key();
    switch (slot.kind) {
    case NotificationSlot::Kind::AdHat:
        HandleAdHat(key, slot.window);
        break;
    case NotificationSlot::Kind::AdBlock:
        HandleAdBlock(key);
        break;
    case NotificationSlot::Kind::OtherAd:
        NotifyIfUndecided(key, slot.window, kOtherAdJobTag);
        break;
    }
}

void AdWarden::RetireSlot(NotificationSlot& slot) noexcept {
    slot.report.Send(slot.Key());
    slots_.GiveBack(&slot);
}

void AdWarden::RetireDiscardedJob(std::function<void()>& item) noexcept {
    if (const EngineJob* job = item.target<EngineJob>()) {
        job->manager->RetireSlot(*job->slot);
    }
}

} // namespace KelvaneCenter
