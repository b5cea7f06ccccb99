// Engine notifications: cheap work on the engine's threads, the rest queued.

#include <string>

#include "common/LogLine.h"
#include "manager/AdWarden.h"
#include "telemetry/DataReporter.h"
#include "vendor/AdPopWndTracker.h"
#include "vendor/PopUpBlockingVendor.h"
#include "vendor/PopupDescription.h"

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

void AdWarden::CallBackAdHat(const wchar_t* const& key, const HWND& window) {
    if (key == nullptr) {
        adw::LogLine(adw::kLogError, kAdHatTag, "key", " is null");
        return;
    }
    std::wstring keyCopy(key);
    IOperationQueue* queue = getModelListQueue.load();
    if (queue == nullptr) {
        adw::LogLine(adw::kLogError, kAdHatTag, "getModelListQueue", " is null");
        return;
    }
    HWND target = window;
    queue->Push([this, keyCopy, target] { HandleAdHat(keyCopy, target); });
}

// Worker thread. The hat window itself comes with the user-interface windows;
// until then an undecided pop-up reaches the host as a record only.
void AdWarden::HandleAdHat(const std::wstring& key, HWND window) {
    PopWndItem* item = nullptr;
    GetValidWndItem(key.c_str(), window, item);
    if (item == nullptr) {
        adw::LogLine(adw::kLogError, kAdHatJobTag, "pItem", " is null");
        return;
    }
    if (item->GetHandleType() == kAdPopHandleUndecided) {
        BlockingRecordModel record = ConvertToModel(item);
        record.status = KelvaneMsgCenter::kRecordNotBlocked;
        NotifyRecord(record);
    }
}

void AdWarden::CallBackAdBlock(const wchar_t* const& key) {
    if (key == nullptr) {
        adw::LogLine(adw::kLogError, kAdBlockTag, "AdBlockNotify lpkey is nullptr");
        return;
    }
    ++blockedTimes;
    DataReporter::ReportAutoBlock(GetPopupInfo(key));
    std::wstring keyCopy(key);
    IOperationQueue* queue = getModelListQueue.load();
    if (queue == nullptr) {
        adw::LogLine(adw::kLogError, kAdBlockTag, "getModelListQueue", " is null");
        return;
    }
    queue->Push([this, keyCopy] { HandleAdBlock(keyCopy); });
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

// Closing engine-named windows is gated off: nothing in this library opens the
// gate, so the notification has no effect.
void AdWarden::CallBackAdWindow(const HWND&) {
    if (!closeAdWindowEnabled) {
        return;
    }
}

void AdWarden::CallBackOtherAdNotify(const wchar_t* const& key, const HWND& window) {
    DataReporter::ReportSuspectedWindow(GetPopupInfo(key));
    if (key == nullptr) {
        adw::LogLine(adw::kLogError, kOtherAdTag, "key", " is null");
        return;
    }
    std::wstring keyCopy(key);
    IOperationQueue* queue = getModelListQueue.load();
    if (queue == nullptr) {
        adw::LogLine(adw::kLogError, kOtherAdTag, "getModelListQueue", " is null");
        return;
    }
    HWND target = window;
    queue->Push([this, keyCopy, target] { HandleOtherAd(keyCopy, target); });
}

// Worker thread: only an undecided pop-up becomes a record; no hat for these.
void AdWarden::HandleOtherAd(const std::wstring& key, HWND window) {
    PopWndItem* item = nullptr;
    GetValidWndItem(key.c_str(), window, item);
    if (item == nullptr) {
        adw::LogLine(adw::kLogError, kOtherAdJobTag, "pItem", " is null");
        return;
    }
    if (item->GetHandleType() != kAdPopHandleUndecided) {
        return;
    }
    BlockingRecordModel record = ConvertToModel(item);
    record.status = KelvaneMsgCenter::kRecordNotBlocked;
    NotifyRecord(record);
}

} // namespace KelvaneCenter
