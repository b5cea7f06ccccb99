#include "AdPopBlocker64/EngineThreads.h"

#include <memory>

namespace adpop {

namespace {

constexpr DWORD kJoinTimeoutMs = 10000;

constexpr Notification kAllNotifications[] = {Notification::AdHat, Notification::AdBlock, Notification::AdWindow,
                                              Notification::OtherAd};

struct FireJob {
    NotificationHub* hub = nullptr;
    Notification kind = Notification::AdHat;
    std::wstring key;
    bool keyIsNull = false;
    HWND window = nullptr;
    std::atomic<int> delivered{0};
    std::atomic<long long>* firedAt = nullptr;
};

void Fire(FireJob& job) {
    LARGE_INTEGER now;
    ::QueryPerformanceCounter(&now);
    job.firedAt->store(now.QuadPart);
    job.delivered = job.hub->Deliver(job.kind, job.keyIsNull ? nullptr : job.key.c_str(), job.window) ? 1 : 0;
}

} // namespace

int EngineThreads::FireOnce(Notification kind, const wchar_t* key, HWND window) {
    auto job = std::make_shared<FireJob>();
    job->hub = &hub_;
    job->firedAt = &lastFiredAt_;
    job->kind = kind;
    job->keyIsNull = key == nullptr;
    job->key = key != nullptr ? key : L"";
    job->window = window;

    const int ended = RunOnEngineThread(job, &Fire, kJoinTimeoutMs);
    return ended == 0 ? job->delivered.load() : ended;
}

bool EngineThreads::StartStorm(unsigned threads, const wchar_t* key, HWND window) {
    std::lock_guard<std::mutex> lock(stormMutex_);
    if (threads == 0 || !storm_.empty()) {
        return false;
    }
    stormKeyIsNull_ = key == nullptr;
    stormKey_ = key != nullptr ? key : L"";
    stormWindow_ = window;
    stopStorm_ = false;
    stormCalls_ = 0;
    for (unsigned i = 0; i < threads; ++i) {
        adw::UniqueHandle thread(::CreateThread(nullptr, 0, StormThread, this, 0, nullptr));
        if (!thread) {
            break;
        }
        storm_.push_back(std::move(thread));
    }
    if (storm_.size() == threads) {
        return true;
    }
    stopStorm_ = true;
    for (auto& thread : storm_) {
        ::WaitForSingleObject(thread.get(), kJoinTimeoutMs);
    }
    storm_.clear();
    return false;
}

bool EngineThreads::StopStorm() {
    std::lock_guard<std::mutex> lock(stormMutex_);
    stopStorm_ = true;
    const ULONGLONG deadline = ::GetTickCount64() + kJoinTimeoutMs;
    for (auto& thread : storm_) {
        const ULONGLONG now = ::GetTickCount64();
        const DWORD left = now < deadline ? static_cast<DWORD>(deadline - now) : 0;
        if (::WaitForSingleObject(thread.get(), left) != WAIT_OBJECT_0) {
            return false;
        }
    }
    storm_.clear();
    return true;
}

DWORD WINAPI EngineThreads::StormThread(void* self) {
    try {
        static_cast<EngineThreads*>(self)->RunStorm();
    } catch (...) {
        // An engine thread ends quietly.
    }
    return 0;
}

void EngineThreads::RunStorm() {
    const wchar_t* key = stormKeyIsNull_ ? nullptr : stormKey_.c_str();
    while (!stopStorm_) {
        unsigned delivered = 0;
        for (Notification kind : kAllNotifications) {
            if (hub_.Deliver(kind, key, stormWindow_)) {
                ++delivered;
            }
        }
        stormCalls_ += delivered;
        // Give the other threads of a small machine their turn; idle politely
        // while nobody listens.
        if (delivered == 0) {
            ::Sleep(1);
        } else {
            ::SwitchToThread();
        }
    }
}

} // namespace adpop

namespace adpop {

DWORD WINAPI EngineThreads::LockHolderThread(void* param) {
    auto& self = *static_cast<EngineThreads*>(param);
    try {
        const auto lock = self.items_.Lock();
        ::SetEvent(self.lockTaken_.get());
        ::WaitForSingleObject(self.holdGate_.get(), INFINITE);
        if (self.heldKind_ >= 0) {
            const bool delivered = self.hub_.Deliver(static_cast<Notification>(self.heldKind_),
                                                     self.heldKey_.c_str(), self.heldWindow_);
            self.heldDelivered_ = delivered ? 1 : 0;
        }
    } catch (...) {
        // An engine thread ends quietly; the caller sees "not delivered".
    }
    return 0;
}

bool EngineThreads::HoldTableLock() {
    if (holder_) {
        return false;
    }
    ::ResetEvent(lockTaken_.get());
    ::ResetEvent(holdGate_.get());
    heldKind_ = -1;
    heldDelivered_ = 0;
    holder_.reset(::CreateThread(nullptr, 0, LockHolderThread, this, 0, nullptr));
    return holder_ && ::WaitForSingleObject(lockTaken_.get(), kJoinTimeoutMs) == WAIT_OBJECT_0;
}

int EngineThreads::NotifyUnderTableLock(Notification kind, const wchar_t* key, HWND window) {
    if (!holder_) {
        return -1;
    }
    heldKind_ = static_cast<int>(kind);
    heldKey_ = key != nullptr ? key : L"";
    heldWindow_ = window;
    ::SetEvent(holdGate_.get());
    if (::WaitForSingleObject(holder_.get(), kJoinTimeoutMs) != WAIT_OBJECT_0) {
        (void)holder_.release(); // still stuck in a notification: left running, never freed under it
        return -2;
    }
    holder_.reset();
    return heldDelivered_.load();
}

void EngineThreads::ReleaseTableLock() {
    if (holder_) {
        heldKind_ = -1;
        ::SetEvent(holdGate_.get());
        if (::WaitForSingleObject(holder_.get(), kJoinTimeoutMs) == WAIT_OBJECT_0) {
            holder_.reset();
        } else {
            (void)holder_.release();
        }
    }
}

} // namespace adpop
