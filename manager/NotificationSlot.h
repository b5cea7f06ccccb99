#pragma once

#include <windows.h>

#include <string>

#include "manager/NotificationReport.h"

class OperationQueueBase;

namespace KelvaneCenter {

// One engine notification on its way through the work queue: what its job
// needs and the usage event it owes. Slots are reused (NotificationSlotPool),
// so handing a notification over allocates nothing once the pool holds as many
// slots as there are notifications in flight and their keys fit.
struct alignas(MEMORY_ALLOCATION_ALIGNMENT) NotificationSlot {
    enum class Kind { AdHat, AdBlock, OtherAd };

    SLIST_ENTRY link{}; // the pool's free list
    Kind kind = Kind::AdHat;
    std::wstring key; // never from a null key: those are not handed over
    HWND window = nullptr;
    OperationQueueBase* queue = nullptr; // the queue the job was pushed to
    NotificationReport report;
};

} // namespace KelvaneCenter
