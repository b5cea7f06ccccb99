// Leaks: Init/UnInit periods with notifications, a hat and the overlay in each;
// what the process holds comes back to its starting level within a stated
// tolerance. Prints the figures. (Loads and unloads of the DLL: tests/lifetime.)

#include "AssistantProcess.h"
#include "ProcessCounts.h"
#include "ReliabilityFixture.h"

namespace reliability {
namespace {

using Leaks = ReliabilityTest;

// 300 periods: at about 270 ms each here, 1,000 would outlast the 2-minute
// limit of one case and take a third of the suite's 15 minutes.
constexpr int kPeriods = 300;
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
    const auto period = [&] {
        ASSERT_EQ(client->Init(), 0);
        ASSERT_EQ(engine.FireAdBlock(kKey), 1);
        ASSERT_EQ(NotifyHat(ad), 1);
        ASSERT_NE(VisibleWindowOfClass(L"BlockingPopup"), nullptr);
        ASSERT_EQ(client->ScreenshotBlocking(), 0);
        ASSERT_TRUE(ui.Run([] {}));
        ASSERT_NE(VisibleWindowOfClass(L"CaptureWindowDialog"), nullptr);
        client->UnInit();
        host.Clear();
    };
    for (int i = 0; i < 5; ++i) period(); // what the first periods make stays for the process
    adwtest::PumpMessages(500);
    const adwtest::ProcessCounts start;
    const ULONGLONG begin = GetTickCount64();
    for (int i = 0; i < kPeriods && !HasFatalFailure(); ++i) period();
    const double perPeriodMs = static_cast<double>(GetTickCount64() - begin) / kPeriods;
    const auto flat = [&] {
        return adwtest::ProcessCounts().Within(start, kThreadSlack, kHandleSlack, kWindowSlack, kPrivateSlack);
    };
    adwtest::WaitUntil(flat, std::chrono::seconds(5));
    adwtest::ProcessCounts().Print(stdout, ("after " + std::to_string(kPeriods) + " periods").c_str(), start);
    std::printf("%.1f ms per period (Init, block, hat, overlay, UnInit)\n", perPeriodMs);
    EXPECT_TRUE(flat());
}

} // namespace
} // namespace reliability
