// Hats on the desktop: ad windows of another process, the manager in this one,
// a UI thread like the host's, and clicks injected at the hat's buttons.

#include "Desktop.h"
#include "DuiLib/UIMainQueue.h"
#include "HostFixture.h"
#include "common/UniqueResource.h"
#include "qeevent/QeEventCapture.h"

namespace hosttest {
namespace {

const wchar_t kKey[] = L"hat-key";

std::vector<HWND> VisibleHats() { return adwtest::VisibleWindows(L"BlockingPopup"); }

RECT RectOf(HWND window) {
    RECT r = {};
    GetWindowRect(window, &r);
    return r;
}

class HatTest : public HostTest {
protected:
    void SetUp() override {
        HostTest::SetUp();
        QeEventCapture::Begin();
        SetSwitch(L"PopUpBlockingStatus", 1);
        InitAndSettle();
    }
    void TearDown() override {
        HostTest::TearDown();
        QeEventCapture::End();
    }

    void AddItem(const std::wstring& key, int handleType) { engine.AddItem(Item(key, handleType)); }

    // A hat's job done on the worker, and on the UI thread what it dispatched there.
    void NotifyHat(const wchar_t* key, HWND window) {
        QueueHat(key, window);
        ASSERT_TRUE(ui.Run([] {}));
    }

    // One undecided pop-up with its hat; returns the hat.
    HWND HatOverOneAd(HWND* adWindow = nullptr) {
        const HWND ad = ShowAds(L"300,300,300,150", 1)[0];
        AddItem(kKey, kAdPopHandleUndecided);
        NotifyHat(kKey, ad);
        if (adWindow != nullptr) *adWindow = ad;
        const std::vector<HWND> hats = VisibleHats();
        EXPECT_EQ(hats.size(), 1u);
        return hats.empty() ? nullptr : hats[0];
    }

    // The centre of the hat's button `fromRight` pixels from its client right edge (layout at scale 1).
    static POINT Button(HWND hat, int fromRight) {
        RECT client = {};
        GetClientRect(hat, &client);
        POINT button = {client.right - fromRight, client.bottom / 2};
        ClientToScreen(hat, &button);
        return button;
    }

    // The pairs of the hat's report of that manner once it is sent (manner, windowInfo, version, count); none in time: empty.
    static std::vector<QeCapturedPair> WaitForManner(const std::string& manner) {
        std::vector<QeCapturedPair> found;
        adwtest::WaitUntil([&] {
            for (const auto& event : QeEventCapture::Events())
                if (event.id == 992614519 && !event.pairs.empty() && event.pairs[0].value == manner) found = event.pairs;
            return !found.empty();
        });
        return found;
    }

    adwtest::UiThread ui;
};

TEST_F(HatTest, AnUndecidedItemGetsARecordAndAHatAboveItsTopRightCorner) {
    const HWND hatWindow = HatOverOneAd();
    EXPECT_EQ(host.RecordsTold(), (adwtest::KeysStatuses{{kKey, 3}}));
    const RECT hat = RectOf(hatWindow);
    const RECT expected = {294, 246, 294 + 308, 246 + 56}; // 300 px wide at scale 1: 308 units
    EXPECT_TRUE(EqualRect(&hat, &expected)) << hat.left << "," << hat.top << "," << hat.right << "," << hat.bottom;
    adwtest::PumpMessages(300);
    adwtest::SaveScreenshotPng(L"hat-over-ad-window", {200, 180, 700, 500});
}

TEST_F(HatTest, DecidedItemsGetAHatWithoutARecordAndAnEmptyKeyNoHat) {
    const std::vector<HWND> windows = ShowAds(L"100,300,300,150 500,300,300,150", 2);
    AddItem(kKey, kAdPopHandleBlocked);
    AddItem(L"", kAdPopHandleUndecided);
    NotifyHat(L"", windows[1]);
    NotifyHat(kKey, windows[0]);
    EXPECT_EQ(host.CountOf(HostEvent::Record), 1u); // the empty key's record only
    ASSERT_EQ(VisibleHats().size(), 1u);
    EXPECT_LT(RectOf(VisibleHats()[0]).right, 500) << "the hat is not over the blocked item's window";
}

TEST_F(HatTest, TwoPopUpsOfOneProcessGetOneHatEachUnlessOneIsLayered) {
    struct Case { const wchar_t* geometry; size_t hats; };
    for (const Case& c : {Case{L"100,300,300,150 500,300,300,150", 2}, Case{L"100,300,300,150 500,300,300,150,L", 1},
                          Case{L"100,300,300,150,L 500,300,300,150", 1}}) {
        SCOPED_TRACE(testing::Message() << c.geometry);
        adwtest::LogCapture log;
        const std::vector<HWND> windows = ShowAds(c.geometry, 2);
        AddItem(L"first", kAdPopHandleUndecided);
        AddItem(L"second", kAdPopHandleUndecided);
        NotifyHat(L"first", windows[0]);
        NotifyHat(L"second", windows[1]);
        EXPECT_EQ(VisibleHats().size(), c.hats);
        EXPECT_EQ(log.Count(L"Layered Window, will not add extra hat(KelvaneCenter::AdWarden::CreateAdHatWnd)", 3),
                  c.hats == 1 ? 1 : 0);
        client->UnInit();
        InitAndSettle();
    }
}

TEST_F(HatTest, AButtonClickDecidesReportsAndClosesTheHat) {
    struct Case { int fromRight; int handleType; const char* manner; };
    for (const Case& c : {Case{10 + 52 + 6 + 28, kAdPopHandleBlocked, "CLICK_BLOCKING"},
                          Case{10 + 26, kAdPopHandleAllowed, "CLICK_IGNORE"}}) {
        SCOPED_TRACE(c.manner);
        const HWND hat = HatOverOneAd();
        ASSERT_NE(hat, nullptr);
        adwtest::ClickAt(Button(hat, c.fromRight));
        ASSERT_TRUE(adwtest::WaitUntil([&] { return !IsWindow(hat); }));
        EXPECT_EQ(engine.ItemHandleType(kKey), c.handleType);
        const auto pairs = WaitForManner(c.manner);
        ASSERT_EQ(pairs.size(), 4u);
        EXPECT_NE(pairs[1].value.find("\"softwareName\":\"Some Software\""), std::string::npos) << pairs[1].value;
        engine.Reset();
        QeEventCapture::Begin();
    }
}

// Another program posts a click at "Ignore", with the pointer there or not:
// nothing is decided and the hat stays, until the user really clicks.
TEST_F(HatTest, ClicksPostedByAnotherProgramDecideNothing) {
    const HWND hat = HatOverOneAd();
    ASSERT_NE(hat, nullptr);
    const POINT ignore = Button(hat, 10 + 26);
    for (const POINT pointer : {POINT{5, 5}, ignore}) {
        adwtest::LogCapture log;
        SetCursorPos(pointer.x, pointer.y);
        adwtest::ChildProcess poster(Fixture(L"unsigned_app.exe"),
                                     L"--post-click BlockingPopup " + std::to_wstring(ignore.x) + L" " + std::to_wstring(ignore.y));
        ASSERT_EQ(poster.WaitForExit(), 0u);
        ASSERT_TRUE(ui.Run([] {})); // the UI thread has handled what was posted before
        EXPECT_TRUE(IsWindow(hat));
        EXPECT_EQ(engine.ItemHandleType(kKey), kAdPopHandleUndecided);
        EXPECT_EQ(log.CountPrefix(L"click not from the input system, ignored"), 1) << log.Dump();
    }
    adwtest::ClickAt(ignore);
    EXPECT_TRUE(adwtest::WaitUntil([&] { return !IsWindow(hat); }));
    EXPECT_EQ(engine.ItemHandleType(kKey), kAdPopHandleAllowed);
}

// One hat per ad window and no more than 32 at once, however many windows are
// flagged; a hat closed by a WM_CLOSE from anyone makes room for another, even
// when the hidden window kept ready for the next hat was closed too.
TEST_F(HatTest, AtMostOneHatPerAdWindowAndThirtyTwoInAll) {
    constexpr int kWindows = 200;
    std::wstring geometry;
    for (int i = 0; i < kWindows; ++i)
        geometry += std::to_wstring(40 + (i % 20) * 90) + L"," + std::to_wstring(80 + (i / 20) * 90) + L",60,30 ";
    const std::vector<HWND> windows = ShowAds(geometry, kWindows);
    for (int i = 0; i < kWindows; ++i) AddItem(L"ad" + std::to_wstring(i), kAdPopHandleUndecided);
    // In batches the work queue holds whole; each waits until its jobs have run.
    for (int i = 0; i < kWindows; ++i) {
        engine.FireAdHat((L"ad" + std::to_wstring(i)).c_str(), windows[static_cast<size_t>(i)]);
        if (i % 50 == 49) NotifyHat(L"ad0", windows[0]); // again for a window that has its hat
    }
    const std::vector<HWND> hats = VisibleHats();
    EXPECT_EQ(hats.size(), 32u);
    ASSERT_FALSE(hats.empty());
    PostMessageW(hats[0], WM_CLOSE, 0, 0);
    HWND spare = nullptr;
    for (HWND w = FindWindowW(L"BlockingPopup", nullptr); w != nullptr; w = FindWindowExW(nullptr, w, L"BlockingPopup", nullptr))
        if (!IsWindowVisible(w)) PostMessageW(spare = w, WM_CLOSE, 0, 0);
    ASSERT_NE(spare, nullptr);
    ASSERT_TRUE(adwtest::WaitUntil([&] { return !IsWindow(hats[0]) && !IsWindow(spare); }));
    NotifyHat(L"ad199", windows[kWindows - 1]);
    EXPECT_EQ(VisibleHats().size(), 32u);
}

TEST_F(HatTest, TheHatClosesWhenItsAdWindowGoesHidesMovesOrIsMinimised) {
    struct Case { const char* manner; std::function<void(HWND)> change; };
    const std::vector<Case> cases = {
        {"AUTO_HIDE", [](HWND w) { ShowWindow(w, SW_HIDE); }},
        {"AUTO_HIDE", [](HWND w) { PostMessageW(w, WM_CLOSE, 0, 0); }},
        {"WINDOW_MOVE", [](HWND w) { SetWindowPos(w, nullptr, 301, 300, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE); }},
        {"WINDOW_MOVE", [](HWND w) { ShowWindowAsync(w, SW_SHOWMINNOACTIVE); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.manner);
        HWND ad = nullptr;
        const HWND hat = HatOverOneAd(&ad);
        ASSERT_NE(hat, nullptr);
        c.change(ad);
        EXPECT_TRUE(adwtest::WaitUntil([&] { return !IsWindow(hat); }));
        EXPECT_FALSE(WaitForManner(c.manner).empty());
        QeEventCapture::Begin();
    }
}

TEST_F(HatTest, TheHatSitsBelowItsAdWindowAndTurnsTopMostUnderTheMouse) {
    SetCursorPos(5, 5);
    HWND ad = nullptr;
    const HWND hat = HatOverOneAd(&ad);
    ASSERT_NE(hat, nullptr);
    EXPECT_TRUE(adwtest::WaitUntil([&] {
        adwtest::PumpMessages(50);
        return GetWindow(ad, GW_HWNDNEXT) == hat && (GetWindowLongW(hat, GWL_EXSTYLE) & WS_EX_TOPMOST) == 0;
    }));
    const RECT r = RectOf(hat);
    SetCursorPos((r.left + r.right) / 2, r.top + 5);
    EXPECT_TRUE(adwtest::WaitUntil([&] { return (GetWindowLongW(hat, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0; }));
}

// UnInit deletes the hats on the UI thread, whichever thread the host calls it
// from, and a hat job that reaches the UI thread after it makes nothing.
TEST_F(HatTest, UnInitWithHatsOpenLeavesNoHatBehind) {
    enum class From { HostThread, UiThread, PendingHatJob };
    for (From from : {From::HostThread, From::UiThread, From::PendingHatJob}) {
        SCOPED_TRACE(static_cast<int>(from));
        const std::vector<HWND> windows = ShowAds(L"100,300,300,150 500,300,300,150", 2);
        AddItem(L"first", kAdPopHandleUndecided);
        AddItem(L"second", kAdPopHandleUndecided);
        NotifyHat(L"first", windows[0]);
        ASSERT_EQ(VisibleHats().size(), 1u);
        const HWND hat = VisibleHats()[0];
        if (from == From::UiThread) {
            ASSERT_TRUE(ui.Run([&] { client->UnInit(); }));
        } else if (from == From::HostThread) {
            client->UnInit();
        } else {
            const auto release = std::make_shared<adw::UniqueHandle>(CreateEventW(nullptr, TRUE, FALSE, nullptr));
            ui.Run([] {}); // the UI thread is held while the second hat job is dispatched behind it
            DuiLib::UIMainQueue::getInstance().dispatch([release] { WaitForSingleObject(release->get(), 10000); });
            QueueHat(L"second", windows[1]);
            auto done = adwtest::RunDetached([&] { client->UnInit(); });
            SetEvent(release->get());
            adwtest::ExpectReturns(done, "UnInit with a hat job pending");
        }
        EXPECT_FALSE(IsWindow(hat));
        ui.Run([] {});
        EXPECT_TRUE(VisibleHats().empty());
        InitAndSettle();
    }
}

} // namespace
} // namespace hosttest
