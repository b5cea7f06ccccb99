#include "manager/RecordRules.h"

#include <algorithm>
#include <climits>

namespace KelvaneCenter {

namespace {
int Saturated(long long value) {
    return static_cast<int>(std::clamp<long long>(value, INT_MIN, INT_MAX));
}

bool ToTicks(const SYSTEMTIME& time, unsigned long long& ticks) {
    FILETIME file;
    if (!SystemTimeToFileTime(&time, &file)) {
        return false;
    }
    ticks = (static_cast<unsigned long long>(file.dwHighDateTime) << 32) | file.dwLowDateTime;
    return true;
}
} // namespace

bool IsBlockedRecently(const SYSTEMTIME& lastBlock, const SYSTEMTIME& now) {
    unsigned long long blockTicks = 0;
    unsigned long long nowTicks = 0;
    if (!ToTicks(lastBlock, blockTicks) || !ToTicks(now, nowTicks)) {
        return false;
    }
    return nowTicks < blockTicks || nowTicks - blockTicks < kRecentBlockSpan;
}

int RebasedCount(int base, int current, int since) {
    return Saturated(static_cast<long long>(base) + (static_cast<long long>(current) - since));
}

int CountedOnce(int count) {
    return Saturated(static_cast<long long>(count) + 1);
}

} // namespace KelvaneCenter
