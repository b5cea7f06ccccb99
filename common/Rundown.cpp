#include "common/Rundown.h"

#include "common/EnginePath.h"
#include "common/ThreadSlot.h"

namespace adw {

namespace {
// This thread's innermost call in flight. Nothing is allocated for it: engine
// and hook threads are not ours.
const ThreadSlot<const RundownRef> g_innermost;
} // namespace

ADW_ENGINE_PATH RundownRef::RundownRef(Rundown& rundown) noexcept {
    if (rundown.Enter()) {
        rundown_ = &rundown;
        outer_ = g_innermost.Get();
        g_innermost.Set(this);
    } // a refused call is not listed: an outer call of this thread stays listed
}

ADW_ENGINE_PATH RundownRef::~RundownRef() {
    if (rundown_ != nullptr) {
        g_innermost.Set(outer_);
        rundown_->Leave();
    }
}

Rundown::Rundown() noexcept : released_(::CreateEventW(nullptr, FALSE, FALSE, nullptr)) {}

ADW_ENGINE_PATH bool Rundown::Enter() noexcept {
    inFlight_.fetch_add(1);
    if (closing_.load()) {
        Leave();
        return false;
    }
    return true;
}

ADW_ENGINE_PATH void Rundown::Leave() noexcept {
    inFlight_.fetch_sub(1);
    if (closing_.load() && released_) {
        ::SetEvent(released_.get());
    }
}

long Rundown::HeldByThisThread() const noexcept {
    long mine = 0;
    for (const RundownRef* call = g_innermost.Get(); call != nullptr; call = call->outer_) {
        mine += call->rundown_ == this ? 1 : 0;
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
