#pragma once

#include <atomic>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "AdPopBlocker64/PopupRules.h"
#include "common/UniqueResource.h"
#include "vendor/AdPopWndTracker.h"

namespace adpop {

// Tells the engine's thread that the items changed and the file is behind.
class ChangeSignal {
public:
    void Changed() {
        dirty_ = true;
        ::SetEvent(event_.get());
    }
    // Wakes the thread without a change to write.
    void Wake() { ::SetEvent(event_.get()); }
    bool TakeDirty() { return dirty_.exchange(false); }
    HANDLE Event() const { return event_.get(); }

private:
    std::atomic<bool> dirty_{false};
    adw::UniqueHandle event_{::CreateEventW(nullptr, FALSE, FALSE, nullptr)};
};

// One pop-up the working engine knows. The texts are fixed at creation; the
// decision, counts and times change and may be read from any thread.
class WorkingItem final : public PopWndItem {
public:
    WorkingItem(const ItemRecord& record, ChangeSignal& changes);

    const wchar_t* ADPOP_CALL GetKey() override { return key_.c_str(); }
    int ADPOP_CALL GetHideFlag() override { return hideFlag_.load(); }
    const wchar_t* ADPOP_CALL GetExePath() override { return exePath_.c_str(); }
    const wchar_t* ADPOP_CALL GetTextA() override { return textA_.c_str(); }
    void ADPOP_CALL Reserved04() override {}
    int ADPOP_CALL GetPopupType() override { return popupType_; }
    const wchar_t* ADPOP_CALL GetTextB() override { return textB_.c_str(); }
    void ADPOP_CALL Reserved07() override {}
    void ADPOP_CALL Reserved08() override {}
    const wchar_t* ADPOP_CALL GetSoftwareName() override { return softwareName_.c_str(); }
    void ADPOP_CALL Reserved10() override {}
    void ADPOP_CALL Reserved11() override {}
    void ADPOP_CALL Reserved12() override {}
    unsigned ADPOP_CALL GetBlockCount() override { return blockCount_.load(); }
    SYSTEMTIME ADPOP_CALL GetLastBlockTime() override { return SystemTimeFromStamp(lastBlock_.load()); }
    int ADPOP_CALL SetHandleType(int handleType) override;
    int ADPOP_CALL GetHandleType() override { return handleType_.load(); }

    const std::wstring& Key() const { return key_; }
    LocalStamp LastSeen() const { return lastSeen_.load(); }
    void Seen(LocalStamp now);
    void CountBlock(LocalStamp now);
    ItemRecord Record() const;

private:
    const std::wstring key_;
    const std::wstring textA_;
    const std::wstring textB_;
    const std::wstring exePath_;
    const std::wstring softwareName_;
    const int popupType_;
    std::atomic<int> handleType_;
    std::atomic<unsigned> blockCount_;
    std::atomic<LocalStamp> lastBlock_;
    std::atomic<LocalStamp> lastSeen_;
    std::atomic<int> hideFlag_;
    ChangeSignal& changes_;
};

// The working engine's items in index order. An item taken out of the list
// (forgotten, or replaced by a reload) stays alive as long as the store, since
// a caller may still hold it from a lookup made just before.
class ItemStore {
public:
    void Load(unsigned periodDays, const std::vector<ItemRecord>& records, LocalStamp now);
    // The item with the record's key, added from the record when there is none.
    WorkingItem* FindOrAdd(const ItemRecord& record);
    WorkingItem* Find(const wchar_t* key);
    WorkingItem* At(unsigned index);
    unsigned Count();
    // Forgets the items the period leaves behind; the period is kept for later loads.
    void SetPeriod(unsigned periodDays, LocalStamp now);
    std::string Snapshot();

    ChangeSignal& Changes() { return changes_; }

private:
    void ForgetLocked(LocalStamp now);
    WorkingItem* FindLocked(const std::wstring& key) const;

    std::mutex mutex_;
    unsigned periodDays_ = 0;
    std::vector<std::unique_ptr<WorkingItem>> listed_;
    std::vector<std::unique_ptr<WorkingItem>> retired_;
    ChangeSignal changes_;
};

// Whole-file read and replace. The write goes to a side file first and then
// replaces the old one, so a crash mid-write leaves the last good file.
bool ReadStoreFile(const std::wstring& path, std::string& text);
bool WriteStoreFile(const std::wstring& path, const std::string& text);

} // namespace adpop
