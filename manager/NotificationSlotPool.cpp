#include "manager/NotificationSlotPool.h"

#include <string>

namespace KelvaneCenter {

namespace {
// A key buffer up to this many characters stays with its slot for the next key.
constexpr size_t kKeptKeyChars = 256;

NotificationSlot* SlotOf(PSLIST_ENTRY entry) {
    return CONTAINING_RECORD(entry, NotificationSlot, link);
}
} // namespace

NotificationSlotPool::~NotificationSlotPool() {
    while (PSLIST_ENTRY entry = ::InterlockedPopEntrySList(&free_)) {
        delete SlotOf(entry);
    }
}

NotificationSlot* NotificationSlotPool::Take() {
    if (PSLIST_ENTRY entry = ::InterlockedPopEntrySList(&free_)) {
        return SlotOf(entry);
    }
    return new NotificationSlot;
}

void NotificationSlotPool::GiveBack(NotificationSlot* slot) noexcept {
    if (slot->key.capacity() > kKeptKeyChars) {
        std::wstring().swap(slot->key);
    }
    slot->window = nullptr;
    slot->queue = nullptr;
    slot->report = NotificationReport();
    ::InterlockedPushEntrySList(&free_, &slot->link);
}

} // namespace KelvaneCenter
