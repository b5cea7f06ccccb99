#pragma once

#include <windows.h>

namespace adw {

// Holds a slim reader/writer lock exclusively for a scope. Used where many
// threads meet briefly: under contention it waits in the system, where a
// runtime mutex of this toolchain costs far more.
class ExclusiveLock {
public:
    explicit ExclusiveLock(SRWLOCK& lock) noexcept : lock_(lock) { ::AcquireSRWLockExclusive(&lock_); }
    ~ExclusiveLock() { ::ReleaseSRWLockExclusive(&lock_); }
    ExclusiveLock(const ExclusiveLock&) = delete;
    ExclusiveLock& operator=(const ExclusiveLock&) = delete;

private:
    SRWLOCK& lock_;
};

} // namespace adw
