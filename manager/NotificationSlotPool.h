#pragma once

#include <windows.h>

#include "manager/NotificationSlot.h"

namespace KelvaneCenter {

// Free notification slots, taken and given back from any thread without a
// lock. The pool grows to the most slots ever out at once and keeps them: an
// engine thread then takes one without touching the heap.
class NotificationSlotPool {
public:
    NotificationSlotPool() { ::InitializeSListHead(&free_); }
    // Frees the slots that are back; every slot must be back by then.
    ~NotificationSlotPool();
    NotificationSlotPool(const NotificationSlotPool&) = delete;
    NotificationSlotPool& operator=(const NotificationSlotPool&) = delete;

    // A free slot, or a new one; throws std::bad_alloc when none can be made.
    NotificationSlot* Take();
    // Gives `slot` back; a long key's buffer is freed, not kept.
    void GiveBack(NotificationSlot* slot) noexcept;

private:
    SLIST_HEADER free_;
};

} // namespace KelvaneCenter
