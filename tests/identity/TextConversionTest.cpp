#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "vendor/ProcessIdentity.h"

using KelvaneCenter::WideToAnsi;
using KelvaneCenter::WideToUtf8;

TEST(TextConversion, TheWholeTextIsConvertedAndTheUnrepresentableBecomesTheDefaultCharacter) {
    // ascii: the same bytes in any ANSI code page.
    const struct { std::wstring wide; std::string utf8; bool ascii; } cases[] = {
        {L"", "", true}, {L"CLICK_BLOCKING", "CLICK_BLOCKING", true},
        {std::wstring(L"a\0b", 3), std::string("a\0b", 3), true}, // not only up to the first NUL
        {L"\u00E4\u8BFA\U0001F600", "\xC3\xA4\xE8\xAF\xBA\xF0\x9F\x98\x80", false},
        // A lone surrogate cannot be encoded: it becomes U+FFFD instead of failing.
        {std::wstring(1, static_cast<wchar_t>(0xD800)) + L"x", "\xEF\xBF\xBDx", false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(WideToUtf8(c.wide), c.utf8) << c.utf8;
        EXPECT_TRUE(!c.ascii || WideToAnsi(c.wide) == c.utf8) << c.utf8;
    }
    // A runic letter is in no legacy ANSI code page.
    CPINFO info = {};
    ASSERT_TRUE(GetCPInfo(CP_ACP, &info));
    if (GetACP() != CP_UTF8 && info.MaxCharSize <= 2) {
        EXPECT_EQ(WideToAnsi(L"a\u16A0b"), std::string("a") + reinterpret_cast<const char*>(info.DefaultChar) + "b");
    }
}
