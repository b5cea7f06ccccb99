#include "AdPopBlocker64/ItemTable.h"

#include <algorithm>

namespace adpop {

void ItemTable::Reset() {
    const auto lock = Lock();
    listed_.clear();
    owned_.clear();
    failures_.clear();
    defaultHandleTypeResult_ = 1;
    ScriptedItem::SetNullTexts(false);
}

unsigned ItemTable::Add(const AdPopScriptItem& script) {
    auto item = std::make_unique<ScriptedItem>(script, defaultHandleTypeResult_);
    const auto lock = Lock();
    listed_.push_back(item.get());
    owned_.push_back(std::move(item));
    return static_cast<unsigned>(listed_.size() - 1);
}

bool ItemTable::Remove(const wchar_t* key) {
    const auto lock = Lock();
    ScriptedItem* item = FindLocked(key);
    if (item == nullptr) {
        return false;
    }
    listed_.erase(std::find(listed_.begin(), listed_.end(), item));
    return true;
}

void ItemTable::FailAt(unsigned index, int result, bool leaveNull) {
    const auto lock = Lock();
    failures_[index] = Failure{result, leaveNull};
}

bool ItemTable::SetHandleTypeResult(const wchar_t* key, int result) {
    if (key == nullptr) {
        defaultHandleTypeResult_ = result;
        return true;
    }
    const auto lock = Lock();
    ScriptedItem* item = FindLocked(key);
    if (item == nullptr) {
        return false;
    }
    item->SetHandleTypeResult(result);
    return true;
}

unsigned ItemTable::Count() {
    const auto lock = Lock();
    return static_cast<unsigned>(listed_.size());
}

int ItemTable::ItemAt(unsigned index, PopWndItem** out) {
    const auto lock = Lock();
    ScriptedItem* item = index < listed_.size() ? listed_[index] : nullptr;
    auto failure = failures_.find(index);
    if (failure != failures_.end()) {
        *out = failure->second.leaveNull ? nullptr : item;
        return failure->second.result;
    }
    *out = item;
    return item != nullptr ? 1 : 0;
}

int ItemTable::ByKey(const wchar_t* key, PopWndItem** out) {
    const auto lock = Lock();
    ScriptedItem* item = FindLocked(key);
    *out = item;
    return item != nullptr ? 1 : 0;
}

int ItemTable::HandleTypeOf(const wchar_t* key) {
    const auto lock = Lock();
    ScriptedItem* item = FindLocked(key);
    return item != nullptr ? item->GetHandleType() : -1;
}

std::unique_lock<std::recursive_mutex> ItemTable::Lock() {
    ++waiters_;
    std::unique_lock<std::recursive_mutex> lock(mutex_);
    --waiters_;
    return lock;
}

ScriptedItem* ItemTable::FindLocked(const wchar_t* key) const {
    if (key == nullptr) {
        return nullptr;
    }
    for (ScriptedItem* item : listed_) {
        if (item->Key() == key) {
            return item;
        }
    }
    return nullptr;
}

} // namespace adpop
