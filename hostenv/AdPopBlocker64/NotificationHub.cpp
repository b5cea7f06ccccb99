#include "AdPopBlocker64/NotificationHub.h"

namespace adpop {

namespace {
class SharedLock {
public:
    explicit SharedLock(SRWLOCK& lock) : lock_(lock) { ::AcquireSRWLockShared(&lock_); }
    ~SharedLock() { ::ReleaseSRWLockShared(&lock_); }
    SharedLock(const SharedLock&) = delete;
    SharedLock& operator=(const SharedLock&) = delete;

private:
    SRWLOCK& lock_;
};
} // namespace

void NotificationHub::Connect(AdHatNotify hat, AdBlockNotify block, AdWindowNotify window, OtherAdNotify other) {
    ::AcquireSRWLockExclusive(&lock_);
    hat_ = hat;
    block_ = block;
    window_ = window;
    other_ = other;
    ::ReleaseSRWLockExclusive(&lock_);
}

void NotificationHub::Disconnect() {
    Connect(nullptr, nullptr, nullptr, nullptr);
}

bool NotificationHub::Deliver(Notification kind, const wchar_t* key, HWND window, double* callMicros) {
    SharedLock lock(lock_);
    const auto call = [&](auto&& callback, auto&&... args) {
        if (callback == nullptr) {
            return false;
        }
        LARGE_INTEGER before{};
        LARGE_INTEGER after{};
        if (callMicros != nullptr) {
            ::QueryPerformanceCounter(&before);
        }
        callback(args...);
        if (callMicros != nullptr) {
            ::QueryPerformanceCounter(&after);
            LARGE_INTEGER frequency;
            ::QueryPerformanceFrequency(&frequency);
            *callMicros = static_cast<double>(after.QuadPart - before.QuadPart) * 1e6 /
                          static_cast<double>(frequency.QuadPart);
        }
        return true;
    };
    switch (kind) {
    case Notification::AdHat:
        return call(hat_, key, window);
    case Notification::AdBlock:
        return call(block_, key);
    case Notification::AdWindow:
        return call(window_, window);
    case Notification::OtherAd:
        return call(other_, key, window);
    }
    return false;
}

} // namespace adpop
