#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "vendor/ProcessIdentity.h"

using KelvaneCenter::WideToAnsi;
using KelvaneCenter::WideToUtf8;

TEST(WideToUtf8, EncodesEveryCharacter) {
    EXPECT_EQ(WideToUtf8(L"Norvane Technologies Co., Ltd."), "Norvane Technologies Co., Ltd.");
    EXPECT_EQ(WideToUtf8(L"\u00E4\u8BFA\U0001F600"), "\xC3\xA4\xE8\xAF\xBA\xF0\x9F\x98\x80");
}

TEST(WideToUtf8, EmptyAndInnerNulAndBrokenSurrogate) {
    EXPECT_EQ(WideToUtf8(L""), "");
    // The whole length is converted, not up to the first NUL.
    EXPECT_EQ(WideToUtf8(std::wstring(L"a\0b", 3)), std::string("a\0b", 3));
    // A lone surrogate cannot be encoded: it becomes U+FFFD instead of failing.
    EXPECT_EQ(WideToUtf8(std::wstring(1, static_cast<wchar_t>(0xD800)) + L"x"), "\xEF\xBF\xBDx");
}

TEST(WideToAnsi, AsciiAndEmpty) {
    EXPECT_EQ(WideToAnsi(L"CLICK_BLOCKING"), "CLICK_BLOCKING");
    EXPECT_EQ(WideToAnsi(L""), "");
    EXPECT_EQ(WideToAnsi(std::wstring(L"a\0b", 3)), std::string("a\0b", 3));
}

TEST(WideToAnsi, UnrepresentableCharactersBecomeTheDefaultCharacter) {
    CPINFO info = {};
    ASSERT_TRUE(GetCPInfo(CP_ACP, &info));
    if (GetACP() == CP_UTF8 || info.MaxCharSize > 2) {
        GTEST_SKIP() << "the ANSI code page represents every character";
    }
    // A runic letter is in no legacy ANSI code page.
    std::string converted = WideToAnsi(L"a\u16A0b");
    EXPECT_EQ(converted, std::string("a") + reinterpret_cast<const char*>(info.DefaultChar) + "b");
}
