#include <gtest/gtest.h>

#include <climits>
#include <utility>

#include "telemetry/ReportText.h"

using namespace KelvaneCenter;

TEST(ReportText, GuidIsBracedUpperCaseHexInFieldOrder) {
    const GUID guid = {0x0123abcd, 0x4e5f, 0x0a0b, {0xc1, 0xd2, 0x03, 0x04, 0xe5, 0xf6, 0x07, 0x08}};
    std::string text;
    ASSERT_TRUE(FormatGuid(guid, text));
    EXPECT_EQ(text, "{0123ABCD-4E5F-0A0B-C1D2-0304E5F60708}");
}

TEST(ReportText, VersionIsHighThenLowWordOfEachHalf) {
    EXPECT_EQ(FormatVersion(MAKELONG(0, 12), MAKELONG(5, 1)), "12.0.1.5");
    EXPECT_EQ(FormatVersion(0xFFFFFFFFu, 0x00010000u), "65535.65535.1.0");
}

TEST(ReportText, StoredCounterTextReadsLikeAtoi) {
    const std::pair<const char*, int> cases[] = {
        {"41", 41}, {"  17 blocks", 17}, {"-3", -3}, {"+8", 8}, {"many", 0}, {"x12", 0}, {"", 0},
        {"99999999999", INT_MAX}, {"-99999999999", INT_MIN},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(LeadingInt(c.first), c.second) << '"' << c.first << '"';
    }
}

TEST(ReportText, CountsGrowByOneAndNeverWrap) {
    EXPECT_EQ(NextCount(0), 1);
    EXPECT_EQ(NextCount(41), 42);
    EXPECT_EQ(NextCount(-1), 0);
    EXPECT_EQ(NextCount(INT_MAX), INT_MAX);
}
