// Leaks: Init/UnInit periods with notifications, a hat and the overlay in each;
// what the process holds comes back to its starting level within a stated
// tolerance. Prints the figures. (Loads and unloads of the DLL: tests/lifetime.)

#include "AssistantProcess.h"
#include "ProcessCounts.h"
#include "ReliabilityFixture.h"

namespace reliability {
namespace {

using Leaks = ReliabilityTest;

// 1,000 periods; the overlay opens in every tenth: it costs about 140 ms here
// (a screenshot of the whole desktop), two thirds of a period with it.
constexpr int kPeriods = 1000;
constexpr int kOverlayEvery = 10;
// Tolerances: pool threads that end a little later; handles and memory that
// the system's and the UI library's first uses keep (the warm-up periods make
// most of them); no window at all.
constexpr long kThreadSlack = 2;
constexpr long kHandleSlack = 10;
constexpr long kWindowSlack = 0;
constexpr long long kPrivateSlack = 1024 * 1024;

TEST_F(Leaks, PeriodsWithNotificationsAHatAndTheOverlayLeaveNothing) {
    adwtest::AssistantProcess assistant(L"");
    ASSERT_TRUE(assistant.WaitListening());
    const HWND ad = AdWindow();
    const auto period = [&](bool overlay) {
        ASSERT_EQ(client->Init(), 0);
        ASSERT_EQ(engine.FireAdBlock(kKey), 1);
        ASSERT_EQ(NotifyHat(ad), 1);
        ASSERT_NE(VisibleWindowOfClass(L"BlockingPopup"), nullptr);
        if (overlay) {
            ASSERT_EQ(client->ScreenshotBlocking(), 0);
            ASSERT_TRUE(ui.Run([] {}));
            ASSERT_NE(VisibleWindowOfClass(L"CaptureWindowDialog"), nullptr);
        }
        client->UnInit();
        host.Clear();
    };
    for (int i = 0; i < 5; ++i) period(true); // what the first periods make stays for the process
    adwtest::PumpMessages(500);
    const adwtest::ProcessCounts start;
    const ULONGLONG begin = GetTickCount64();
    for (int i = 0; i < kPeriods && !HasFatalFailure(); ++i) period(i % kOverlayEvery == 0);
    const double perPeriodMs = static_cast<double>(GetTickCount64() - begin) / kPeriods;
    const auto flat = [&] {
        return adwtest::ProcessCounts().Within(start, kThreadSlack, kHandleSlack, kWindowSlack, kPrivateSlack);
    };
    adwtest::WaitUntil(flat, std::chrono::seconds(5));
    adwtest::ProcessCounts().Print(stdout, ("after " + std::to_string(kPeriods) + " periods").c_str(), start);
    std::printf("%.1f ms per period (Init, block, hat, the overlay in one of %d, UnInit)\n", perPeriodMs,
                kOverlayEvery);
    EXPECT_TRUE(flat());
}

} // namespace
} // namespace reliability
