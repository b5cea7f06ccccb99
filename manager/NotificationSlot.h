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

    // Copies `key` (never null: those are not handed over); throws
    // std::bad_alloc when a long key's buffer cannot be had.
    void SetKey(const wchar_t* key);
    const wchar_t* Key() const { return longKey.empty() ? shortKey : longKey.c_str(); }

    SLIST_ENTRY link{}; // the pool's free list
    Kind kind = Kind::AdHat;
    // A usual key is kept in the slot itself, so the engine's thread touches
    // no other memory for it; a longer one goes to the heap.
    static constexpr size_t kShortKeyChars = 64;
    wchar_t shortKey[kShortKeyChars] = {};
    std::wstring longKey;
    HWND window = nullptr;
    OperationQueueBase* queue = nullptr; // the queue the job was pushed to
    NotificationReport report;
};

} // namespace KelvaneCenter
