#include <gtest/gtest.h>

#include <windows.h>

#include <cstdint>
#include <string>

#include "ChildProcess.h"
#include "TestSupport.h"
#include "vendor/PopUpBlockingVendor.h"

namespace {

std::string WindowInfo(HWND window) {
    return KelvaneCenter::PopUpBlockingVendor::GetInstance().GetWindowInfo(window);
}

TEST(WindowInfo, ProcessIsNamedWithItsSignerOrAnEmptySign) {
    struct Case { const wchar_t* exe; std::string json; };
    const Case cases[] = {
        {L"unsigned_app.exe", R"({"processName":"unsigned_app.exe","processSign":""})"},
        {L"signed_technologies.exe",
         R"({"processName":"signed_technologies.exe","processSign":"Norvane Technologies Co., Ltd."})"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.json);
        adwtest::ChildProcess helper(adwtest::Fixture(c.exe), L"--ads 100,100,320,200");
        const HWND window = helper.WaitForWindow();
        ASSERT_NE(window, nullptr);
        adwtest::LogCapture log;
        EXPECT_EQ(WindowInfo(window), c.json);
        EXPECT_TRUE(log.Lines().empty()) << log.Dump();
    }
}

TEST(WindowInfo, NoWindowGivesNothingAndNoLogLine) {
    // A window that existed and is gone, and handles that never were windows.
    HWND gone = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(gone, nullptr);
    ASSERT_TRUE(DestroyWindow(gone));
    adwtest::LogCapture log;
    for (HWND window : {gone, HWND{}, reinterpret_cast<HWND>(static_cast<uintptr_t>(0x7FFFFFF0))}) {
        EXPECT_EQ(WindowInfo(window), "") << window;
    }
    EXPECT_TRUE(log.Lines().empty()) << log.Dump();
}

} // namespace
