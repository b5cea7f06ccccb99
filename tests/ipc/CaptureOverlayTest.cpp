// The capture overlay on the desktop: the manager in this process with a UI
// thread like the host's, windows of fixture programs to point at, the
// assistant stand-in behind the pipe, and real clicks and keys.

#include "AssistantProcess.h"
#include "Desktop.h"
#include "HostFixture.h"
#include "TestRoot.h"
#include "common/LogLine.h"
#include "manager/AdWarden.h"
#include "qeevent/QeEventCapture.h"
#include "telemetry/DataReporter.h"
#include "ui/CaptureGeometry.h"
#include "ui/CaptureTarget.h"
#include "ui/CaptureWindowDialog.h"

namespace {

using namespace KelvaneCenter;

TEST(CaptureGeometry, DesktopPointerAndTip) {
    const ScreenUnion both = UniteMonitor(UniteMonitor({}, {0, 0, 1920, 1080}), {-1920, 0, 0, 1080});
    EXPECT_EQ(PosText({both.left, both.top, both.right, both.bottom}), L"-1920,0,1920,1080");
    EXPECT_EQ(PointerToScreen(MAKELPARAM(100, 7), both.left, both.top).x, -1820);
    const struct { RECT target; float scale; const wchar_t* tip; } rows[] = {{{100, 100, 500, 300}, 1.0f, L"200,175,400,225"},
                {{100, 100, 500, 300}, 1.5f, L"150,162,450,237"},
                {{100, 1050, 500, 1080}, 1.0f, L"200,1030,400,1080"}}; // pushed up to the bottom edge
    for (const auto& row : rows) EXPECT_EQ(PosText(TipPixels(row.target, 200, 50, row.scale, 1080)), row.tip);
}

TEST(CaptureTarget, PointingPassesOverWindowsNobodyCanPointAtAndTakesTheNextBelow) {
    WNDCLASSW coreClass = {};
    coreClass.lpfnWndProc = DefWindowProcW;
    coreClass.lpszClassName = L"Windows.UI.Core.CoreWindow";
    RegisterClassW(&coreClass);
    const auto make = [](const wchar_t* cls, DWORD exStyle, DWORD style) {
        return CreateWindowExW(exStyle, cls, L"", WS_POPUP | style, 300, 300, 200, 100, nullptr, nullptr, nullptr, nullptr);
    };
    const HWND below = make(L"STATIC", 0, WS_VISIBLE);
    const HWND above[] = {make(L"STATIC", WS_EX_TRANSPARENT, WS_VISIBLE), make(L"STATIC", WS_EX_NOACTIVATE, WS_VISIBLE),
                          make(L"STATIC", 0, 0), make(L"Windows.UI.Core.CoreWindow", 0, WS_VISIBLE),
                          make(L"STATIC", 0, WS_VISIBLE), make(L"STATIC", 0, WS_VISIBLE)};
    SetWindowLongW(above[4], GWL_STYLE, GetWindowLongW(above[4], GWL_STYLE) | WS_MINIMIZE);
    for (const POINT p : {POINT{400, 350}, POINT{500, 350}, POINT{400, 400}}) { // inside, right edge, bottom edge
        EXPECT_EQ(FindWindowAtPoint(p.x, p.y, above[5]), below) << p.x << "," << p.y;
    }
    EXPECT_NE(FindWindowAtPoint(501, 350, above[5]), below);
    for (HWND w : above) DestroyWindow(w);
    DestroyWindow(below);
}

const wchar_t kClickToBlock[] = L"Click to block this window's pop-ups";
// Presses and releases each key in turn through the input system; true if all were sent.
bool Type(const std::wstring& virtualKeys) {
    std::vector<INPUT> keys;
    for (const WORD key : virtualKeys)
        for (const DWORD flags : {DWORD{0}, DWORD{KEYEVENTF_KEYUP}}) {
            INPUT input = {};
            input.type = INPUT_KEYBOARD, input.ki.wVk = key, input.ki.dwFlags = flags;
            keys.push_back(input);
        }
    return SendInput(static_cast<UINT>(keys.size()), keys.data(), sizeof(INPUT)) == keys.size();
}

const wchar_t kCannotBlock[] = L"This window cannot be blocked";

class CaptureTest : public hosttest::HostTest {
protected:
    void SetUp() override {
        HostTest::SetUp();
        QeEventCapture::Begin();
        InitAndSettle();
    }
    void TearDown() override {
        AdWarden::Instance().DestroyCaptureDialog();
        HostTest::TearDown();
        QeEventCapture::End();
    }
    // Opens the overlay with the pointer at `at`; its window once it is up.
    HWND Open(POINT at) {
        SetCursorPos(at.x, at.y);
        EXPECT_EQ(client->ScreenshotBlocking(), 0);
        EXPECT_TRUE(ui.Run([] {}));
        return FindWindowW(L"CaptureWindowDialog", nullptr);
    }
    // A window of a fixture program at (300,300)-(700,550).
    void Target(const wchar_t* exe = L"unsigned_app.exe") { ShowAds(L"300,300,400,250", 1, exe); }
    std::wstring Tip() {
        std::wstring text;
        ui.Run([&] { text = AdWarden::Instance().CaptureDialog()->tipText->GetText().GetData(); });
        return text;
    }
    std::vector<QeCapturedPair> ScreenShotEvent() {
        DataReporter::Flush(5000);
        for (const auto& e : QeEventCapture::Events()) if (e.id == 992614517) return e.pairs;
        return {};
    }
    adwtest::UiThread ui;
};

// The tip says whether a click blocks; a click on a blockable window has the
// engine block it, is reported (counted only when the engine took it) and closes.
// The maker's programs (signed under a trusted root) are never blockable.
TEST_F(CaptureTest, TheTipTellsWhetherAClickBlocksAndABlockIsReported) {
    const adwtest::TestRootInstalled root;
    ASSERT_TRUE(root.Ok());
    // result null: the click does nothing and the overlay stays
    const struct { const wchar_t* exe; int supported, taken; const wchar_t* tip; const char* result; } rows[] = {
        {L"chained_technologies.exe", 1, 1, kCannotBlock, nullptr},
                // The maker's name on a self-made certificate is no exemption.
                {L"signed_technologies.exe", 1, 0, kClickToBlock, "0"}, {L"unsigned_app.exe", 0, 1, kCannotBlock, nullptr},
                {L"unsigned_app.exe", 1, 1, kClickToBlock, "1"}, {L"unsigned_app.exe", 1, 0, kClickToBlock, "0"}};
    for (const auto& row : rows) {
        SCOPED_TRACE(testing::Message() << row.tip << row.supported << row.taken);
        adwtest::LogCapture log;
        QeEventCapture::Begin();
        engine.SetIsSuppotBlockResult(row.supported);
        engine.SetAddBlockByScreenShotResult(row.taken);
        Target(row.exe);
        const HWND overlay = Open({500, 400});
        ASSERT_NE(overlay, nullptr);
        EXPECT_EQ(Tip(), row.tip);
        if (row.result != nullptr && *row.result == '1') {
            adwtest::PumpMessages(300);
            adwtest::SaveScreenshotPng(L"capture-overlay-over-a-window", {0, 0, 1920, 1080});
        }
        adwtest::ClickAt({500, 400});
        // Handled once its line is logged and the UI thread is free again.
        ASSERT_TRUE(adwtest::WaitUntil(
            [&] { return log.Has(L"LButtonUp(KelvaneCenter::CaptureWindowDialog::OnLButtonUp)", adw::kLogInfo); }))
            << log.Dump();
        ASSERT_TRUE(ui.Run([] {}));
        EXPECT_TRUE(row.result == nullptr ? IsWindow(overlay) != FALSE : adwtest::WaitUntil([&] { return !IsWindow(overlay); }));
        EXPECT_EQ(log.CountPrefix(L"AddBlockByScreenShot returns "), row.result != nullptr ? 1 : 0);
        const auto pairs = ScreenShotEvent();
        if (row.result != nullptr) {
            ASSERT_EQ(pairs.size(), 4u);
            EXPECT_EQ(pairs[0].value, row.result);
            EXPECT_EQ(pairs[3].value != "0", *row.result == '1'); // counted only when taken
        }
        AdWarden::Instance().DestroyCaptureDialog();
    }
}

// However it closes, the assistant hears once that it opened and once that it
// closed, and only a click blocks anything.
TEST_F(CaptureTest, EachWayOfClosingPostsOneCloseMessage) {
    const std::function<void(HWND)> ways[] = {
        [](HWND w) { PostMessageW(w, WM_RBUTTONUP, 0, 0); },
        [](HWND) { Type({wchar_t(VK_ESCAPE)}); },
        [this](HWND) { ASSERT_EQ(client->ScreenshotBlocking(), 0); }, // a second opening closes the first
        [](HWND) { AdWarden::Instance().DestroyCaptureDialog(); },
        [](HWND) { adwtest::ClickAt({500, 400}); }}; // the last: the one that blocks
    engine.SetIsSuppotBlockResult(1);
    engine.SetAddBlockByScreenShotResult(1);
    Target();
    for (const auto& close : ways) {
        adwtest::AssistantProcess assistant(L"");
        ASSERT_TRUE(assistant.WaitListening());
        QeEventCapture::Begin();
        const HWND overlay = Open({500, 400});
        ASSERT_NE(overlay, nullptr);
        close(overlay);
        EXPECT_TRUE(adwtest::WaitUntil([&] { return !IsWindow(overlay); }));
        EXPECT_TRUE(adwtest::WaitUntil([&] { return assistant.Received().size() >= 2; }));
        EXPECT_TRUE(ui.Run([] {}));
        const auto received = assistant.Received();
        EXPECT_EQ(std::count_if(received.begin(), received.end(),
                                [](const std::string& m) { return m.find("code=0x2A8400C9") != std::string::npos; }),
                  1);
        EXPECT_EQ(ScreenShotEvent().empty(), &close != &ways[4]);
        AdWarden::Instance().DestroyCaptureDialog();
    }
}

// Another program posts a move and a click at a blockable window, with the
// pointer there: nothing is blocked and the overlay stays. (Each way a click is
// told apart, and a real click after posted ones: the hat's case.)
TEST_F(CaptureTest, ClicksPostedByAnotherProgramBlockNothing) {
    engine.SetIsSuppotBlockResult(1);
    engine.SetAddBlockByScreenShotResult(1);
    Target();
    const HWND overlay = Open({500, 400});
    ASSERT_NE(overlay, nullptr);
    adwtest::LogCapture log;
    adwtest::ChildProcess poster(Fixture(L"unsigned_app.exe"), L"--post-click CaptureWindowDialog 500 400");
    ASSERT_EQ(poster.WaitForExit(), 0u);
    ASSERT_TRUE(ui.Run([] {})); // the UI thread has handled what was posted before
    EXPECT_TRUE(IsWindow(overlay));
    EXPECT_EQ(log.CountPrefix(L"click not from the input system, ignored"), 1) << log.Dump();
    EXPECT_EQ(log.CountPrefix(L"AddBlockByScreenShot returns "), 0);
}

// Opening covers every monitor; the host's request returns before the overlay
// exists. (With a peer that answers late or never: the fault matrix's pipe rows.)
TEST_F(CaptureTest, OpeningCoversTheDesktopAndTheRequestReturnsFirst) {
    adw::UniqueHandle gate(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    ASSERT_TRUE(DuiLib::UIMainQueue::getInstance().dispatch([&] { WaitForSingleObject(gate.get(), 10000); }));
    EXPECT_EQ(client->ScreenshotBlocking(), 0);
    EXPECT_EQ(FindWindowW(L"CaptureWindowDialog", nullptr), nullptr);
    SetEvent(gate.get());
    const auto opened = adwtest::RunDetached([&] { ui.Run([] {}); });
    adwtest::ExpectReturns(opened, "opening the overlay");
    RECT overlay = {};
    GetWindowRect(FindWindowW(L"CaptureWindowDialog", nullptr), &overlay);
    EXPECT_EQ(PosText(overlay), PosText({GetSystemMetrics(SM_XVIRTUALSCREEN), GetSystemMetrics(SM_YVIRTUALSCREEN),
                                         GetSystemMetrics(SM_XVIRTUALSCREEN) + GetSystemMetrics(SM_CXVIRTUALSCREEN),
                                         GetSystemMetrics(SM_YVIRTUALSCREEN) + GetSystemMetrics(SM_CYVIRTUALSCREEN)}));
}

// Keyboard raw input is registered per process: a host with a registration of
// its own still gets every key to the open overlay, none but Esc leaving a trace
// in the log, Esc closing it; and the host gets its registration back.
TEST_F(CaptureTest, AHostsOwnKeyboardRegistrationGivesWayToTheOverlayAndComesBack) {
    HWND hostWindow = nullptr;
    ASSERT_TRUE(ui.Run([&] {
        hostWindow = CreateWindowExW(0, L"STATIC", L"host", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
        const RAWINPUTDEVICE keyboard = {1, 6, RIDEV_INPUTSINK, hostWindow};
        RegisterRawInputDevices(&keyboard, 1, sizeof keyboard);
    }));
    const auto registeredTarget = [this] {
        HWND target = nullptr;
        ui.Run([&] {
            RAWINPUTDEVICE devices[8];
            UINT count = 8;
            const UINT n = GetRegisteredRawInputDevices(devices, &count, sizeof(RAWINPUTDEVICE));
            for (UINT i = 0; i < n && n != UINT(-1); ++i)
                if (devices[i].usUsagePage == 1 && devices[i].usUsage == 6) target = devices[i].hwndTarget;
        });
        return target;
    };
    ASSERT_EQ(registeredTarget(), hostWindow);
    Target();
    adwtest::LogCapture log;
    const HWND overlay = Open({500, 400});
    ASSERT_NE(overlay, nullptr);
    EXPECT_TRUE(log.Has(L"RegisterRawInputDevices Success!(KelvaneCenter::CaptureWindowDialog::RegisterKeyboardRawInput)", 3))
        << log.Dump();
    ASSERT_TRUE(Type(std::wstring(L"ABCDEFGHIJKLMNOPQRSTUVWXYZ") + wchar_t(VK_ESCAPE)));
    EXPECT_TRUE(adwtest::WaitUntil([&] { return !IsWindow(overlay); })) << "Esc did not close the overlay";
    for (const auto& line : log.Lines()) {
        const bool keyLine = line.text.find(L"HandleRawInput)") != std::wstring::npos || line.text.find(L"INPUT!") != std::wstring::npos;
        EXPECT_TRUE(!keyLine || line.text == L"Esc KEY_DOWN!!!!!!!(KelvaneCenter::CaptureWindowDialog::HandleRawInput)")
            << testing::PrintToString(line.text);
    }
    EXPECT_EQ(registeredTarget(), hostWindow);
    ui.Run([&] { DestroyWindow(hostWindow); });
}

} // namespace
