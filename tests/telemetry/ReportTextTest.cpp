#include <gtest/gtest.h>

#include <climits>
#include <utility>

#include "telemetry/ReportText.h"
#include "telemetry/TextCache.h"

using namespace KelvaneCenter;

TEST(ReportText, GuidIsBracedUpperCaseHexInFieldOrder) {
    const GUID guid = {0x0123abcd, 0x4e5f, 0x0a0b, {0xc1, 0xd2, 0x03, 0x04, 0xe5, 0xf6, 0x07, 0x08}};
    std::string text;
    ASSERT_TRUE(FormatGuid(guid, text));
    EXPECT_EQ(text, "{0123ABCD-4E5F-0A0B-C1D2-0304E5F60708}");
}

TEST(ReportText, StoredCounterTextReadsLikeAtoiAndCountsNeverWrap) {
    const std::pair<const char*, int> cases[] = {
        {"41", 41}, {"  17 blocks", 17}, {"-3", -3}, {"+8", 8}, {"many", 0}, {"x12", 0}, {"", 0},
        {"99999999999", INT_MAX}, {"-99999999999", INT_MIN},
    };
    for (const auto& c : cases) EXPECT_EQ(LeadingInt(c.first), c.second) << '"' << c.first << '"';
    EXPECT_EQ(NextCount(41), 42);
    EXPECT_EQ(NextCount(INT_MAX), INT_MAX);
}

TEST(TextCache, UserKeyIsLookedUpOncePerSessionAndNotKeptWhenNoneIsFound) {
    TextCache<DWORD, std::wstring> cache;
    int lookUps = 0;
    auto lookUp = [&lookUps](const wchar_t* found) {
        ++lookUps;
        return std::wstring(found);
    };
    // Per step: the console session, what a look-up would find, what Get gives, look-ups made so far.
    const struct { DWORD session; const wchar_t* found; const wchar_t* result; int lookUps; } steps[] = {
        {1, L"", L"", 1}, {1, L"S-1", L"S-1", 2}, {1, L"S-2", L"S-1", 2}, {2, L"S-2", L"S-2", 3},
        {2, L"S-3", L"S-2", 3}, {1, L"S-4", L"S-4", 4}};
    for (const auto& s : steps) {
        EXPECT_EQ(cache.Get(s.session, [&] { return lookUp(s.found); }), s.result) << s.lookUps;
        EXPECT_EQ(lookUps, s.lookUps);
    }
}
