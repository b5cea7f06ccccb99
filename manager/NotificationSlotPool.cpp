#include "manager/NotificationSlotPool.h"

#include <string>

#include "common/EnginePath.h"
namespace KelvaneCenter {

namespace {
NotificationSlot* SlotOf(PSLIST_ENTRY entry) {
    return CONTAINING_RECORD(entry, NotificationSlot, link);
}
} // namespace

NotificationSlotPool::~NotificationSlotPool() {
    while (PSLIST_ENTRY entry = ::InterlockedPopEntrySList(&free_)) {
        delete SlotOf(entry);
    }
}

ADW_ENGINE_PATH NotificationSlot* NotificationSlotPool::Take() {
    if (PSLIST_ENTRY entry = ::InterlockedPopEntrySList(&free_)) {
        return SlotOf(entry);
    }
    return new NotificationSlot;
}

void NotificationSlotPool::GiveBack(NotificationSlot* slot) noexcept {
    std::wstring().swap(slot->longKey); // a long key's buffer is not kept
    slot->window = nullptr;
    slot->queue = nullptr;
    slot->report = NotificationReport();
    ::InterlockedPushEntrySList(&free_, &slot->link);
}

} // namespace KelvaneCenter
