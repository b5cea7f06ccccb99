#pragma once

#include <windows.h>

#include <mutex>

#include "common/Rundown.h"
#include "common/UniqueResource.h"

namespace KelvaneCenter {

// SetBlockingState's lock: not recursive, and a thread waiting for it still
// serves messages sent to it. The operation holds it across the host's
// OnStateChanged, the engine's tracker mode and its report, so that concurrent
// calls stay whole and in order; a callback that hands work to another host
// thread with SendMessage, while that thread waits here, therefore cannot
// deadlock with it. The engine's notifications never take it.
class SettingLock {
public:
    SettingLock() : free_(::CreateEventW(nullptr, FALSE, TRUE, nullptr)) {}
    SettingLock(const SettingLock&) = delete;
    SettingLock& operator=(const SettingLock&) = delete;

    void lock() {
        if (!free_) {
            fallback_.lock(); // no event to wait on: an ordinary lock still serialises
            return;
        }
        while (!adw::WaitServingSentMessages(free_.get(), INFINITE)) {
        }
    }
    void unlock() {
        if (!free_) {
            fallback_.unlock();
            return;
        }
        ::SetEvent(free_.get());
    }

private:
    adw::UniqueHandle free_; // auto-reset, signalled while nobody holds the lock
    std::mutex fallback_;
};

} // namespace KelvaneCenter
