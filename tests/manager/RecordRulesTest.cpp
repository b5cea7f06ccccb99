#include <gtest/gtest.h>

#include <climits>
#include <vector>

#include "manager/RecordRules.h"

namespace {

// year, month, day of week (unused), day, hour, minute, second, milliseconds
constexpr SYSTEMTIME kNow = {2026, 3, 0, 15, 12, 0, 0, 0};

TEST(RecentBlock, FourteenDaysIsTheBoundaryAndUnreadableTimesAreNotRecent) {
    const SYSTEMTIME garbage = {2026, 13, 0, 40, 25, 61, 61, 0};
    struct Case { SYSTEMTIME last, now; bool recent; } cases[] = {
        {kNow, kNow, true},
        {{2026, 3, 0, 1, 12, 0, 0, 0}, kNow, true},    // exactly 14 days
        {{2026, 3, 0, 1, 11, 59, 59, 0}, kNow, false}, // 14 days and 1 second: not less
        {{2026, 2, 0, 23, 12, 0, 0, 0}, kNow, false},
        {{2030, 1, 0, 1, 0, 0, 0, 0}, kNow, true}, // a block in the future counts as recent
        {garbage, kNow, false},
        {kNow, garbage, false},
        {SYSTEMTIME{}, kNow, false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(KelvaneCenter::IsBlockedRecently(c.last, c.now), c.recent)
            << c.last.wYear << "-" << c.last.wMonth << "-" << c.last.wDay << " " << c.last.wHour << ":"
            << c.last.wMinute << ":" << c.last.wSecond;
    }
}

// A stored counter near the end of int stays there instead of wrapping around.
TEST(BlockCounter, StopsAtTheEndsOfInt) {
    using namespace KelvaneCenter;
    EXPECT_EQ(std::vector<int>({RebasedCount(10, 7, 5), RebasedCount(INT_MAX - 1, 5, 0), RebasedCount(INT_MIN, 0, 1), CountedOnce(INT_MAX)}),
              std::vector<int>({12, INT_MAX, INT_MIN, INT_MAX}));
}

} // namespace
