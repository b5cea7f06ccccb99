#pragma once

#include <windows.h>

#include <atomic>

#include "common/UniqueResource.h"

namespace adw {

// Guards calls into something that may be shut down while they run: an
// in-flight count and a closing flag. Once Close has begun, Acquire fails at
// once, so a caller that arrives late never waits and never reaches what is
// going away; Close waits only for the calls already inside.
//
// A thread that closes from inside one of its own calls (a callback that stops
// what called it) does not wait for itself: each thread's calls in flight are
// the RundownRefs on its stack, innermost first, linked through a TLS slot.
// While it waits, the closing thread still serves messages sent to it, so a
// call in flight that SendMessage's to the closing thread (a host handing a
// callback to its UI thread) cannot deadlock it.
class Rundown {
public:
    Rundown() noexcept;
    Rundown(const Rundown&) = delete;
    Rundown& operator=(const Rundown&) = delete;

    // Refuses new calls and returns once no call of another thread is inside,
    // or false once `timeoutMs` has passed with calls still inside; the
    // rundown stays closed either way.
    bool Close(DWORD timeoutMs = INFINITE) noexcept;
    // Accepts calls again.
    void Open() noexcept;

private:
    friend class RundownRef;
    // True when the call may go on; it must then end with Leave.
    bool Enter() noexcept;
    void Leave() noexcept;
    long HeldByThisThread() const noexcept;

    std::atomic<long> inFlight_{0};
    std::atomic<bool> closing_{false};
    UniqueHandle released_; // auto-reset; set by each Leave while closing
};

// One call under a rundown, released when the scope ends; false when refused.
// A thread's refs must end in the reverse order they began (as on a stack):
// its list of calls in flight relies on it.
class RundownRef {
public:
    explicit RundownRef(Rundown& rundown) noexcept;
    ~RundownRef();
    RundownRef(const RundownRef&) = delete;
    RundownRef& operator=(const RundownRef&) = delete;

    explicit operator bool() const noexcept { return rundown_ != nullptr; }

private:
    friend class Rundown;
    Rundown* rundown_ = nullptr;
    const RundownRef* outer_ = nullptr; // this thread's next call in flight outwards
};

// Waits for `event` (or `timeoutMs`) while serving messages sent to this thread.
// True when the event was signalled.
bool WaitServingSentMessages(HANDLE event, DWORD timeoutMs) noexcept;

} // namespace adw
