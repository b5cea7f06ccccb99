// A hat over a top-most ad window while the capture overlay is open: the
// overlay covers everything, so the hat's upkeep leaves it underneath until
// the overlay closes.

#include "Desktop.h"
#include "HostFixture.h"
#include "manager/AdWarden.h"
#include "ui/BlockingPopup.h"

namespace {

using namespace KelvaneCenter;

bool IsAbove(HWND upper, HWND lower) {
    for (HWND w = GetWindow(lower, GW_HWNDPREV); w != nullptr; w = GetWindow(w, GW_HWNDPREV)) {
        if (w == upper) return true;
    }
    return false;
}

class HatUnderOverlayTest : public hosttest::HostTest {
protected:
    void TearDown() override {
        AdWarden::Instance().DestroyCaptureDialog();
        HostTest::TearDown();
    }
    // One watch tick of the hat, run on the UI thread as its timer runs it.
    void Tick(HWND hat) { SendMessageW(hat, WM_TIMER, BlockingPopup::kWatchTimer, 0); }

    adwtest::UiThread ui;
};

TEST_F(HatUnderOverlayTest, TheHatStaysUnderTheOpenOverlayAndRisesAgainOnceItCloses) {
    SetSwitch(L"PopUpBlockingStatus", 1);
    InitAndSettle();
    const HWND ad = ShowAds(L"300,300,300,150,T", 1)[0];
    engine.AddItem(Item(L"hat-key", kAdPopHandleUndecided));
    engine.FireAdHat(L"hat-key", ad);
    HWND hat = nullptr;
    ASSERT_TRUE(adwtest::WaitUntil([&] { return (hat = adwtest::VisibleWindowOfClass(L"BlockingPopup")) != nullptr; }));
    SetCursorPos(5, 5); // the pointer away from the hat

    ASSERT_EQ(client->ScreenshotBlocking(), 0);
    ASSERT_TRUE(ui.Run([] {}));
    const HWND overlay = FindWindowW(L"CaptureWindowDialog", nullptr);
    ASSERT_NE(overlay, nullptr);
    // The display may restack a window raised just before the overlay opened
    // once the UI thread next pumps (Wine): each round lets that happen first.
    for (int tick = 0; tick < 3; ++tick) {
        Tick(hat);
        ASSERT_TRUE(ui.Run([] {}));
        Tick(hat);
        EXPECT_TRUE(IsAbove(overlay, hat)) << "tick " << tick;
    }
    adwtest::PumpMessages(300);
    adwtest::SaveScreenshotPng(L"hat-under-capture-overlay", {0, 0, 1920, 1080});

    AdWarden::Instance().DestroyCaptureDialog();
    ASSERT_TRUE(adwtest::WaitUntil([&] { return !IsWindow(overlay); }));
    Tick(hat);
    EXPECT_TRUE(IsAbove(hat, ad));
    EXPECT_NE(GetWindowLongW(hat, GWL_EXSTYLE) & WS_EX_TOPMOST, 0);
}

} // namespace
