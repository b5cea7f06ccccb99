#include "AdPopBlocker64/ItemStore.h"

#include <algorithm>

namespace adpop {

WorkingItem::WorkingItem(const ItemRecord& record, ChangeSignal& changes)
    : key_(record.key),
      textA_(record.textA),
      textB_(record.textB),
      exePath_(record.exePath),
      softwareName_(record.softwareName),
      popupType_(record.popupType),
      handleType_(record.handleType),
      blockCount_(record.blockCount),
      lastBlock_(record.lastBlock),
      lastSeen_(record.lastSeen),
      hideFlag_(record.hideFlag),
      changes_(changes) {}

int ADPOP_CALL WorkingItem::SetHandleType(int handleType) {
    if (handleType < kAdPopHandleBlocked || handleType > kAdPopHandleAllowed) {
        return 0;
    }
    handleType_ = handleType;
    changes_.Changed();
    return 1;
}

void WorkingItem::Seen(LocalStamp now) {
    lastSeen_ = now;
    changes_.Changed();
}

void WorkingItem::CountBlock(LocalStamp now) {
    ++blockCount_;
    lastBlock_ = now;
    changes_.Changed();
}

ItemRecord WorkingItem::Record() const {
    ItemRecord record;
    record.key = key_;
    record.textA = textA_;
    record.textB = textB_;
    record.exePath = exePath_;
    record.softwareName = softwareName_;
    record.popupType = popupType_;
    record.handleType = handleType_.load();
    record.blockCount = blockCount_.load();
    record.lastBlock = lastBlock_.load();
    record.lastSeen = lastSeen_.load();
    record.hideFlag = hideFlag_.load();
    return record;
}

void ItemStore::Load(unsigned periodDays, const std::vector<ItemRecord>& records, LocalStamp now) {
    std::vector<std::unique_ptr<WorkingItem>> fresh;
    for (const ItemRecord& record : records) {
        const bool duplicate = std::any_of(fresh.begin(), fresh.end(), [&](const auto& item) {
            return item->Key() == record.key;
        });
        if (!duplicate) {
            fresh.push_back(std::make_unique<WorkingItem>(record, changes_));
        }
    }
    std::lock_guard<std::mutex> lock(mutex_);
    for (auto& item : listed_) {
        retired_.push_back(std::move(item));
    }
    listed_ = std::move(fresh);
    periodDays_ = periodDays;
    ForgetLocked(now);
}

WorkingItem* ItemStore::FindOrAdd(const ItemRecord& record) {
    auto item = std::make_unique<WorkingItem>(record, changes_);
    std::lock_guard<std::mutex> lock(mutex_);
    if (WorkingItem* known = FindLocked(record.key)) {
        return known;
    }
    listed_.push_back(std::move(item));
    changes_.Changed();
    return listed_.back().get();
}

WorkingItem* ItemStore::Find(const wchar_t* key) {
    if (key == nullptr) {
        return nullptr;
    }
    std::lock_guard<std::mutex> lock(mutex_);
    return FindLocked(key);
}

WorkingItem* ItemStore::At(unsigned index) {
    std::lock_guard<std::mutex> lock(mutex_);
    return index < listed_.size() ? listed_[index].get() : nullptr;
}

unsigned ItemStore::Count() {
    std::lock_guard<std::mutex> lock(mutex_);
    return static_cast<unsigned>(listed_.size());
}

void ItemStore::SetPeriod(unsigned periodDays, LocalStamp now) {
    std::lock_guard<std::mutex> lock(mutex_);
    periodDays_ = periodDays;
    ForgetLocked(now);
    changes_.Changed();
}

std::string ItemStore::Snapshot() {
    std::vector<ItemRecord> records;
    unsigned period = 0;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        period = periodDays_;
        for (const auto& item : listed_) {
            records.push_back(item->Record());
        }
    }
    return FormatStore(period, records);
}

void ItemStore::ForgetLocked(LocalStamp now) {
    auto kept = std::stable_partition(listed_.begin(), listed_.end(), [&](const auto& item) {
        return !IsForgotten(item->LastSeen(), now, periodDays_);
    });
    for (auto it = kept; it != listed_.end(); ++it) {
        retired_.push_back(std::move(*it));
    }
    listed_.erase(kept, listed_.end());
}

WorkingItem* ItemStore::FindLocked(const std::wstring& key) const {
    for (const auto& item : listed_) {
        if (item->Key() == key) {
            return item.get();
        }
    }
    return nullptr;
}

bool ReadStoreFile(const std::wstring& path, std::string& text) {
    adw::UniqueHandle file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                         FILE_ATTRIBUTE_NORMAL, nullptr));
    LARGE_INTEGER size{};
    // An items file is small; a huge one is not ours to load.
    if (!file || !::GetFileSizeEx(file.get(), &size) || size.QuadPart > 16 * 1024 * 1024) {
        return false;
    }
    text.assign(static_cast<size_t>(size.QuadPart), '\0');
    DWORD read = 0;
    return text.empty() || (::ReadFile(file.get(), &text[0], static_cast<DWORD>(text.size()), &read, nullptr) &&
                            read == text.size());
}

bool WriteStoreFile(const std::wstring& path, const std::string& text) {
    const size_t slash = path.find_last_of(L"\\/");
    if (slash != std::wstring::npos) {
        ::CreateDirectoryW(path.substr(0, slash).c_str(), nullptr); // already there is as good
    }
    const std::wstring side = path + L".new";
    {
        adw::UniqueHandle file(::CreateFileW(side.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                             FILE_ATTRIBUTE_NORMAL, nullptr));
        DWORD written = 0;
        if (!file || !::WriteFile(file.get(), text.data(), static_cast<DWORD>(text.size()), &written, nullptr) ||
            written != text.size() || !::FlushFileBuffers(file.get())) {
            return false;
        }
    }
    return ::MoveFileExW(side.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
}

} // namespace adpop
