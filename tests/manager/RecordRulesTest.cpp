#include <gtest/gtest.h>

#include "manager/RecordRules.h"

using KelvaneCenter::IsBlockedRecently;

namespace {

SYSTEMTIME At(WORD year, WORD month, WORD day, WORD hour, WORD minute, WORD second) {
    SYSTEMTIME t = {};
    t.wYear = year;
    t.wMonth = month;
    t.wDay = day;
    t.wHour = hour;
    t.wMinute = minute;
    t.wSecond = second;
    return t;
}

} // namespace

TEST(RecentBlock, FourteenDaysAndOneSecondIsTheBoundary) {
    const SYSTEMTIME now = At(2026, 3, 15, 12, 0, 0);
    EXPECT_TRUE(IsBlockedRecently(At(2026, 3, 15, 12, 0, 0), now));
    EXPECT_TRUE(IsBlockedRecently(At(2026, 3, 1, 12, 0, 0), now));  // exactly 14 days
    EXPECT_FALSE(IsBlockedRecently(At(2026, 3, 1, 11, 59, 59), now)); // 14 days and 1 second: not less
    EXPECT_FALSE(IsBlockedRecently(At(2026, 2, 23, 12, 0, 0), now));
}

TEST(RecentBlock, FutureBlockCountsAsRecent) {
    EXPECT_TRUE(IsBlockedRecently(At(2030, 1, 1, 0, 0, 0), At(2026, 3, 15, 12, 0, 0)));
}

TEST(RecentBlock, UnconvertibleTimesAreNotRecent) {
    SYSTEMTIME garbage = At(2026, 13, 40, 25, 61, 61);
    EXPECT_FALSE(IsBlockedRecently(garbage, At(2026, 3, 15, 12, 0, 0)));
    EXPECT_FALSE(IsBlockedRecently(At(2026, 3, 15, 12, 0, 0), garbage));
    EXPECT_FALSE(IsBlockedRecently(SYSTEMTIME{}, At(2026, 3, 15, 12, 0, 0)));
}
