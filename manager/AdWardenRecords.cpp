// Pop-up records for the host: listing, status changes, and the steps the
// notification jobs share.

#include <string>
#include <vector>

#include "common/CallLoggingExceptions.h"
#include "common/LogLine.h"
#include "manager/AdWarden.h"
#include "manager/RecordRules.h"
#include "vendor/AdPopWndTracker.h"
#include "vendor/PopUpBlockingVendor.h"
#include "vendor/SignerCache.h"

namespace KelvaneCenter {

using KelvaneMsgCenter::BlockingRecordModel;

namespace {
std::wstring CopyText(const wchar_t* text) {
    return text != nullptr ? std::wstring(text) : std::wstring();
}
} // namespace

BlockingRecordModel AdWarden::ConvertToModel(PopWndItem* item) {
    BlockingRecordModel model;
    if (item == nullptr) {
        adw::LogLine(adw::kLogError, "KelvaneCenter::AdWarden::ConvertToModel", "pop item is null.");
        return model;
    }
    model.popupId = CopyText(item->GetKey());
    model.textA = CopyText(item->GetTextA());
    model.textB = CopyText(item->GetTextB());
    model.popupType = item->GetPopupType();
    model.blockCount = item->GetBlockCount();
    return model;
}

void AdWarden::NotifyRecord(const BlockingRecordModel& record) {
    bool delivered = false;
    CallHost([&](auto& cb) {
        cb.OnBlockingRecord(record);
        delivered = true;
    });
    // Before the counter is loaded it is not written: the load writes and sends it.
    if (delivered && JobIsCurrent() && record.status == KelvaneMsgCenter::kRecordBlockedRecently &&
        counterLoaded_.load()) {
        LoadConfig::SetBlockTimesConfig(blockedTimes.load());
        GetBlockedTimes();
    }
}

void AdWarden::GetValidWndItem(const wchar_t* key, HWND wnd, PopWndItem*& item) {
    if (key == nullptr || wnd == nullptr || !IsWindow(wnd)) {
        return;
    }
    PopUpBlockingVendor::GetInstance().GetPopByKey(key, item);
    if (item == nullptr) {
        adw::LogLine(adw::kLogError, "KelvaneCenter::AdWarden::GetValidWndItem", "*pItem", " is null");
        return;
    }
    if (IsAdWhiteProcess(item->GetExePath())) {
        // The maker's own programs are never offered for blocking.
        item->SetHandleType(kAdPopHandleAllowed);
        item = nullptr;
    }
}

bool AdWarden::IsAdWhiteProcess(const wchar_t* const& exePath) {
    if (exePath == nullptr) {
        adw::LogLine(adw::kLogInfo, "KelvaneCenter::AdWarden::IsAdWhiteProcess", "exePath is nullptr");
        return false;
    }
    // Verified, not just read: a name alone can be copied onto anything.
    return SignerCache::Shared().Lookup(exePath).makerSigned;
}

unsigned int AdWarden::GetBlockingRecords() {
    constexpr char kTag[] = "KelvaneCenter::AdWarden::GetBlockingRecords";
    constexpr unsigned kNoQueue = 206;
    const unsigned result = adw::ReturnLoggingExceptions(
        [this, kTag] {
            if (!PushToQueue([this] { ListRecords(); }, Asker::Host)) {
                adw::LogLine(adw::kLogError, kTag, "getModelListQueue", " is null");
                return kNoQueue;
            }
            return 0u;
        },
        kNoQueue, kTag, "failed by an exception: ");
    if (result != 0) {
        ReportError(static_cast<int>(result));
    }
    return result;
}

// Worker thread. One item yields up to two records: the recent-block record
// first, then the one for its handle type.
void AdWarden::ListRecords() {
    std::vector<BlockingRecordModel> records;
    PopUpBlockingVendor& vendor = PopUpBlockingVendor::GetInstance();
    const unsigned count = vendor.EnumAllPopWnd();
    for (unsigned index = 0; index < count; ++index) {
        PopWndItem* item = nullptr;
        vendor.GetPopWndItem(index, item);
        if (item == nullptr) {
            continue;
        }
        BlockingRecordModel model = ConvertToModel(item);
        if (item->GetBlockCount() != 0) {
            SYSTEMTIME now;
            GetLocalTime(&now);
            if (IsBlockedRecently(item->GetLastBlockTime(), now)) {
                records.push_back(model);
                records.back().status = KelvaneMsgCenter::kRecordBlockedRecently;
            }
        }
        const int handleType = item->GetHandleType();
        bool undecidedOrShown = handleType == kAdPopHandleUndecided ||
                                (handleType == kAdPopHandleAllowed && item->GetHideFlag() == 0);
        if (handleType == kAdPopHandleBlocked) {
            records.push_back(model);
            records.back().status = KelvaneMsgCenter::kRecordBlocked;
        } else if (undecidedOrShown && !IsAdWhiteProcess(item->GetExePath())) {
            records.push_back(model);
            records.back().status = KelvaneMsgCenter::kRecordNotBlocked;
        }
    }
    CallHost([&](auto& cb) { cb.OnBlockingRecords(records); });
}

unsigned int AdWarden::SetBlockingStatus(const std::wstring& popupId, bool block) {
    constexpr char kTag[] = "KelvaneCenter::AdWarden::SetBlockingStatus";
    constexpr unsigned kNoQueue = 407;
    return adw::ReturnLoggingExceptions(
        [&] {
            const wchar_t* key = popupId.c_str();
            const unsigned rc = PopUpBlockingVendor::GetInstance().SetHandleType(key, block);
            if (!PushToQueue([this, popupId, block] { ApplyStatus(popupId, block); }, Asker::Host)) {
                adw::LogLine(adw::kLogError, kTag, "getModelListQueue", " is null, err = ", kNoQueue);
                return kNoQueue;
            }
            return rc;
        },
        kNoQueue, kTag, "failed by an exception: ");
}

// Worker thread: tells the host the state the user has just chosen.
void AdWarden::ApplyStatus(const std::wstring& popupId, bool block) {
    PopWndItem* item = nullptr;
    const wchar_t* key = popupId.c_str();
    PopUpBlockingVendor::GetInstance().GetPopByKey(key, item);
    if (item == nullptr) {
        adw::LogLine(adw::kLogError, "KelvaneCenter::AdWarden::SetBlockingStatus::Job", "item", " is null");
        return;
    }
    if (!block && item->GetHideFlag() != 0) {
        return;
    }
    BlockingRecordModel model = ConvertToModel(item);
    model.status = block ? KelvaneMsgCenter::kRecordBlocked : KelvaneMsgCenter::kRecordNotBlocked;
    NotifyRecord(model);
}

} // namespace KelvaneCenter
