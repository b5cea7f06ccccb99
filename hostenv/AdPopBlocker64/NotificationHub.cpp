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

bool NotificationHub::Deliver(Notification kind, const wchar_t* key, HWND window) {
    SharedLock lock(lock_);
    switch (kind) {
    case Notification::AdHat:
        if (hat_ == nullptr) {
            return false;
        }
        hat_(key, window);
        return true;
    case Notification::AdBlock:
        if (block_ == nullptr) {
            return false;
        }
        block_(key);
        return true;
    case Notification::AdWindow:
        if (window_ == nullptr) {
            return false;
        }
        window_(window);
        return true;
    case Notification::OtherAd:
        if (other_ == nullptr) {
            return false;
        }
        other_(key, window);
        return true;
    }
    return false;
}

} // namespace adpop
