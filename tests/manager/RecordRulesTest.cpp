#include <gtest/gtest.h>

#include "manager/RecordRules.h"

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

TEST(RecentBlock, FourteenDaysIsTheBoundaryAndUnreadableTimesAreNotRecent) {
    const SYSTEMTIME now = At(2026, 3, 15, 12, 0, 0);
    const SYSTEMTIME garbage = At(2026, 13, 40, 25, 61, 61);
    struct Case {
        SYSTEMTIME last, now;
        bool recent;
    } cases[] = {
        {now, now, true},
        {At(2026, 3, 1, 12, 0, 0), now, true},    // exactly 14 days
        {At(2026, 3, 1, 11, 59, 59), now, false}, // 14 days and 1 second: not less
        {At(2026, 2, 23, 12, 0, 0), now, false},
        {At(2030, 1, 1, 0, 0, 0), now, true}, // a block in the future counts as recent
        {garbage, now, false},
        {now, garbage, false},
        {SYSTEMTIME{}, now, false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(KelvaneCenter::IsBlockedRecently(c.last, c.now), c.recent)
            << c.last.wYear << "-" << c.last.wMonth << "-" << c.last.wDay << " " << c.last.wHour << ":"
            << c.last.wMinute << ":" << c.last.wSecond;
    }
}

} // namespace
