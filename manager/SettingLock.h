#pragma once

#include <windows.h>

#include <atomic>
#include <chrono>
#include <mutex>

#include "common/Rundown.h"
#include "common/UniqueResource.h"

namespace KelvaneCenter {

// SetBlockingState's lock: a thread waiting for it still serves messages sent
// to it. The operation holds it across the host's OnStateChanged, the engine's
// tracker mode and its report, so that concurrent calls stay whole and in
// order; a callback that hands work to another host thread with SendMessage,
// while that thread waits here, therefore cannot deadlock with it. The
// engine's notifications never take it.
// Serving sent messages lets the holder itself come back in (a handler of a
// served message calling SetBlockingState again): that call is refused at
// once instead of waiting for itself. A wait may be bounded, for the host's
// UI thread, whose loop the holder's callback may be waiting for.
class SettingLock {
public:
    enum class Taken { Yes, ReEntered, NotInTime };

    SettingLock() : free_(::CreateEventW(nullptr, FALSE, TRUE, nullptr)) {}
    SettingLock(const SettingLock&) = delete;
    SettingLock& operator=(const SettingLock&) = delete;

    Taken Lock(DWORD timeoutMs) {
        if (owner_.load() == ::GetCurrentThreadId()) {
            return Taken::ReEntered;
        }
        if (!free_) {
            // No event to wait on: an ordinary lock still serialises.
            if (timeoutMs == INFINITE) {
                fallback_.lock();
            } else if (!fallback_.try_lock_for(std::chrono::milliseconds(timeoutMs))) {
                return Taken::NotInTime;
            }
        } else if (timeoutMs == INFINITE) {
            while (!adw::WaitServingSentMessages(free_.get(), INFINITE)) {
            }
        } else {
            const ULONGLONG start = ::GetTickCount64();
            for (;;) {
                const ULONGLONG spent = ::GetTickCount64() - start;
                if (spent >= timeoutMs) {
                    return Taken::NotInTime;
                }
                if (adw::WaitServingSentMessages(free_.get(), static_cast<DWORD>(timeoutMs - spent))) {
                    break;
                }
            }
        }
        owner_.store(::GetCurrentThreadId());
        return Taken::Yes;
    }

    void Unlock() {
        owner_.store(0);
        if (!free_) {
            fallback_.unlock();
            return;
        }
        ::SetEvent(free_.get());
    }

private:
    adw::UniqueHandle free_; // auto-reset, signalled while nobody holds the lock
    std::timed_mutex fallback_;
    std::atomic<DWORD> owner_{0};
};

} // namespace KelvaneCenter
