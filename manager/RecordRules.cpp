#include "manager/RecordRules.h"

namespace KelvaneCenter {

namespace {
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

} // namespace KelvaneCenter
