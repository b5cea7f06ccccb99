#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "vendor/ProcessIdentity.h"

using KelvaneCenter::WideToAnsi;
using KelvaneCenter::WideToUtf8;

TEST(TextConversion, TheWholeTextIsConverted) {
    struct Case {
        std::wstring wide;
        std::string utf8;
        bool ascii; // the same bytes in any ANSI code page
    };
    const Case cases[] = {
        {L"", "", true},
        {L"CLICK_BLOCKING", "CLICK_BLOCKING", true},
        {std::wstring(L"a\0b", 3), std::string("a\0b", 3), true}, // not only up to the first NUL
        {L"\u00E4\u8BFA\U0001F600", "\xC3\xA4\xE8\xAF\xBA\xF0\x9F\x98\x80", false},
        // A lone surrogate cannot be encoded: it becomes U+FFFD instead of failing.
        {std::wstring(1, static_cast<wchar_t>(0xD800)) + L"x", "\xEF\xBF\xBDx", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.utf8);
        EXPECT_EQ(WideToUtf8(c.wide), c.utf8);
        if (c.ascii) {
            EXPECT_EQ(WideToAnsi(c.wide), c.utf8);
        }
    }
}

TEST(TextConversion, UnrepresentableCharactersBecomeTheAnsiDefaultCharacter) {
    CPINFO info = {};
    ASSERT_TRUE(GetCPInfo(CP_ACP, &info));
    if (GetACP() == CP_UTF8 || info.MaxCharSize > 2) {
        GTEST_SKIP() << "the ANSI code page represents every character";
    }
    // A runic letter is in no legacy ANSI code page.
    EXPECT_EQ(WideToAnsi(L"a\u16A0b"), std::string("a") + reinterpret_cast<const char*>(info.DefaultChar) + "b");
}
