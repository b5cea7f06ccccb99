#include "common/Rundown.h"

namespace adw {

namespace {

// The rundowns this thread is inside, innermost last. Fixed size: engine and
// hook threads are not ours, and nothing here may allocate on them.
struct HeldRundowns {
    static constexpr int kMax = 16;
    const Rundown* held[kMax];
    int count = 0;
};
thread_local HeldRundowns t_held;

} // namespace

Rundown::Rundown() noexcept : released_(::CreateEventW(nullptr, FALSE, FALSE, nullptr)) {}

bool Rundown::Acquire() noexcept {
    if (t_held.count == HeldRundowns::kMax) {
        return false; // nesting this deep is a runaway recursion: refuse rather than lose track
    }
    inFlight_.fetch_add(1);
    if (closing_.load()) {
        Leave(); // not listed as held: an outer call of this thread stays listed
        return false;
    }
    t_held.held[t_held.count++] = this;
    return true;
}

void Rundown::Release() noexcept {
    for (int i = t_held.count - 1; i >= 0; --i) {
        if (t_held.held[i] == this) {
            t_held.held[i] = t_held.held[--t_held.count];
            break;
        }
    }
    Leave();
}

void Rundown::Leave() noexcept {
    inFlight_.fetch_sub(1);
    if (closing_.load() && released_) {
        ::SetEvent(released_.get());
    }
}

long Rundown::HeldByThisThread() const noexcept {
    long mine = 0;
    for (int i = 0; i < t_held.count; ++i) {
        if (t_held.held[i] == this) {
            ++mine;
        }
    }
    return mine;
}

bool Rundown::Close(DWORD timeoutMs) noexcept {
    closing_.store(true);
    const long mine = HeldByThisThread();
    const ULONGLONG start = ::GetTickCount64();
    while (inFlight_.load() > mine) {
        if (timeoutMs != INFINITE && ::GetTickCount64() - start >= timeoutMs) {
            return false;
        }
        // The short time-out only covers a missing event; normally each Release wakes us.
        if (released_) {
            WaitServingSentMessages(released_.get(), 10);
        } else {
            WaitServingSentMessages(nullptr, 1);
        }
    }
    return true;
}

void Rundown::Open() noexcept {
    closing_.store(false);
}

bool WaitServingSentMessages(HANDLE event, DWORD timeoutMs) noexcept {
    const DWORD count = event != nullptr ? 1 : 0;
    const DWORD result = ::MsgWaitForMultipleObjectsEx(count, event != nullptr ? &event : nullptr, timeoutMs,
                                                       QS_SENDMESSAGE, 0);
    if (result == WAIT_OBJECT_0 + count) {
        // Peeking delivers the messages sent to this thread and takes nothing posted.
        MSG message;
        ::PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
    }
    return event != nullptr && result == WAIT_OBJECT_0;
}

} // namespace adw
