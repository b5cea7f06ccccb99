#include <mutex>
#include "Desktop.h"
#include "HostFixture.h"
#include "focus/FocusScene.h"
#include "manager/AdWarden.h"
#include "qeevent/QeEventCapture.h"
#include "telemetry/DataReporter.h"

namespace hosttest {
namespace {
using namespace KelvaneCenter;
using FocusManager = HostTest;

TEST(FocusRules, FullScreenMeansReachingEveryEdgeOfTheMonitor) {
    const RECT monitor{-1280, 0, 0, 1024};
    struct { RECT window; bool full; } cases[] = {{{-1280, 0, 0, 1024}, true}, {{-1288, -8, 8, 1032}, true},
        {{-1280, 0, -1, 1024}, false}, {{-1279, 0, 0, 1024}, false}, {{-1280, 0, 0, 1023}, false}};
    for (const auto& c : cases)
        EXPECT_EQ(CoversMonitor(c.window, monitor), c.full) << c.window.left << " " << c.window.right << " " << c.window.bottom;
}

// One scene at a time over two monitors, and the foreground skip it brings on its monitor.
TEST(FocusRules, OneSceneAcrossTwoMonitors) {
    constexpr std::uint64_t A = 0x10001, B = 0x20002;
    struct { std::uint64_t monitor; bool active; const char* name; bool flag; const char* owner; bool onA, onB, skip; } steps[] = {
        {A, true, "a.exe", true, "a.exe", true, false, true},   // a scene on A: other applications in front there are not judged
        {B, true, "b.exe", true, "b.exe", false, true, false},  // one on B replaces it
        {A, true, "a.exe", true, "a.exe", true, false, true},   // back on A
        {B, false, "x.exe", true, "a.exe", true, false, true},  // a non-scene judgement on B keeps A
        {A, false, "x.exe", false, "", false, false, false}};   // a click judged on A ends it
    MonitorScenes scenes;
    std::string owner;
    auto on = [&](std::uint64_t m) { return scenes.count(m) != 0 && scenes.at(m); };
    for (const auto& s : steps) {
        EXPECT_EQ(ApplyJudgement(scenes, owner, s.monitor, s.active, s.name), s.flag) << s.name;
        EXPECT_EQ(owner, s.owner);
        EXPECT_EQ(std::make_pair(on(A), on(B)), std::make_pair(s.onA, s.onB));
        EXPECT_EQ(SkipForeEvent(scenes, owner, A, "other.exe"), s.skip);
        EXPECT_FALSE(SkipForeEvent(scenes, owner, A, owner)); // the scene's own application is always judged
    }
}

// The events of one id sent since the capture began, as their first two values joined by `joint`.
std::vector<std::string> Reports(int id = DataReporter::kModeSwitchEventId, const char* joint = "/") {
    EXPECT_TRUE(DataReporter::Flush(10000));
    std::vector<std::string> reports;
    for (const auto& e : QeEventCapture::Events())
        if (e.id == id) reports.push_back(e.pairs[0].value + joint + e.pairs[1].value);
    return reports;
}

// With the gate open in the machine's key, a window the engine names is closed
// only while a scene of another process is active on its monitor, when it is a
// shown top-level window of another process whose name was read and is not
// exempt (the list is read at Init, its names lower-cased). The user's key opens nothing.
TEST_F(FocusManager, NamedWindowIsClosedOnlyWhenShownTopLevelAndNotLeftAlone) {
    enum Kind { kTopLevel, kHidden, kChild, kUnreadable, kOwn };
    struct { HKEY gateRoot; DWORD gate; bool scene, exempt; Kind kind; bool closed; } cases[] = {
        {HKEY_LOCAL_MACHINE, 1, true, false, kTopLevel, true}, {HKEY_CURRENT_USER, 1, true, false, kTopLevel, false},
        {HKEY_LOCAL_MACHINE, 0, true, false, kTopLevel, false}, {HKEY_LOCAL_MACHINE, 1, false, false, kTopLevel, false},
        {HKEY_LOCAL_MACHINE, 1, true, false, kHidden, false}, {HKEY_LOCAL_MACHINE, 1, true, true, kTopLevel, false},
        {HKEY_LOCAL_MACHINE, 1, true, false, kChild, false}, {HKEY_LOCAL_MACHINE, 1, true, false, kUnreadable, false},
        {HKEY_LOCAL_MACHINE, 1, true, false, kOwn, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "row " << (&c - cases));
        if (c.gateRoot == HKEY_LOCAL_MACHINE) SetGate(L"CloseAdWindowEnabled", c.gate);
        else SetSwitch(L"CloseAdWindowEnabled", c.gate);
        SetGateList(L"FocusExemptProcesses", c.exempt ? L"UNSIGNED_APP.EXE" : L"");
        InitAndSettle();
        std::unique_ptr<adwtest::ChildProcess> app;
        HWND window = nullptr;
        if (c.kind == kOwn) {
            window = CreateWindowExW(WS_EX_NOACTIVATE, L"BUTTON", L"ad", WS_POPUP | WS_VISIBLE, 0, 0, 50, 50, nullptr,
                                     nullptr, nullptr, nullptr);
        } else {
            const wchar_t* flags = c.kind == kChild ? L",C" : c.kind == kUnreadable ? L",D" : L"";
            app = std::make_unique<adwtest::ChildProcess>(Fixture(L"unsigned_app.exe"), std::wstring(L"--ads 0,0,200,100") + flags);
            window = app->WaitForWindow(); // of this row's process, not a window of the last one still going
            ASSERT_NE(window, nullptr);
            if (c.kind == kChild) window = FindWindowExW(window, nullptr, L"AdFixture", L"ad0.child");
            ASSERT_NE(window, nullptr);
            if (c.kind == kHidden) {
                ShowWindow(window, SW_HIDE);
                ASSERT_TRUE(adwtest::WaitUntil([&] { return !IsWindowVisible(window); }));
            }
        }
        FocusScene::GetInstance().RecordJudgement(MonitorFromWindow(window, MONITOR_DEFAULTTONEAREST), c.scene, "scene.exe");
        ASSERT_EQ(engine.FireAdWindow(window), 1);
        bool closed = false;
        if (c.kind == kOwn) {
            for (MSG m; PeekMessageW(&m, window, WM_CLOSE, WM_CLOSE, PM_REMOVE);) closed = true;
            DestroyWindow(window);
        } else {
            // Posted after any WM_CLOSE: once handled, a close would have been too.
            PostMessageW(window, WM_SYSCOMMAND, SC_MINIMIZE, 0);
            ASSERT_TRUE(adwtest::WaitUntil([&] { return !IsWindow(window) || IsIconic(window); }));
            closed = !IsWindow(window);
        }
        EXPECT_EQ(closed, c.closed);
        client->UnInit();
        SetGate(L"CloseAdWindowEnabled", 0);
        SetSwitch(L"CloseAdWindowEnabled", 0);
    }
}

// Each row: the registry at Init, whether threads can be created, Init's result, the blocking switch at the
// call, the call (F: SetFocusState, B: SetBlockingState, P: SetPowerState); then its result, the focus switch,
// the engine's tracker mode, whether the monitor runs (-1: not examined), the reports and a level-4 line.
TEST_F(FocusManager, SwitchesAnswerWithTheirCodesStateAndReports) {
    const FocusScene::ThreadStarter noThread = [](FocusScene::ThreadEntry, void*) -> std::uintptr_t { return 0; };
    constexpr int kNoInit = -1, kStopped = -2, kKeyGone = -1, kAny = -1; // kStopped: Init, then UnInit
    struct Row { DWORD blocking, focus, gate; bool failThreads; int init, blockingAtCall; char op; int arg;
                 int result, focusAfter, tracker, monitoring; std::vector<std::string> reports; const wchar_t* log; } rows[] = {
        {1, 0, 1, true, 0, 1, 'F', 1, 402, 0, 1, kAny, {}, L"Start Monitor Failed!(KelvaneCenter::AdWarden::StartFocusMode)"},
        {1, 1, 1, true, 101, 1, 'F', 0, 403, 1, 1, kAny, {}, nullptr},
        {1, 1, 1, true, 101, 0, 'B', 0, 403, 1, 1, kAny, {}, nullptr},
        {0, 0, 1, false, 0, 0, 'F', 1, 401, 0, 0, 0, {}, L"blocking switch is close. set focus state fail(KelvaneCenter::AdWarden::SetFocusState)"},
        {1, 0, 0, false, 0, 1, 'F', 1, 0, 1, 1, 0, {"FOCUS_MODE/1"}, nullptr},
        {1, 0, 1, false, 0, 1, 'F', 1, 0, 1, 1, 1, {"FOCUS_MODE/1"}, nullptr},
        {1, 1, 1, false, 0, 1, 'F', 0, 0, 0, 1, 0, {"FOCUS_MODE/0"}, nullptr},
        {1, 1, 1, false, 0, 0, 'B', 1, 0, 1, 0, 0, {"BLOCKING_MODE/1"}, nullptr},
        {0, 0, 0, false, 0, 7, 'B', 3, 0, 0, 1, 0, {"BLOCKING_MODE/3"}, nullptr},
        {1, 0, 0, false, 0, kKeyGone, 'B', 2, 101, 0, 1, 0, {}, L"Load Config Failed!(KelvaneCenter::AdWarden::SetBlockingState)"},
        {1, 0, 0, false, kNoInit, 0, 'B', 4, 102, 0, kAny, 0, {"BLOCKING_MODE/4"}, nullptr},
        {1, 0, 0, false, kNoInit, 1, 'P', -1, 102, 0, kAny, 0, {"POWER_MODE/-1"}, L"powerState set success(KelvaneCenter::AdWarden::SetPowerState)"},
        // After UnInit the switch is kept for the next Init, and no monitor starts (its thread would outlive an unload).
        {1, 0, 1, false, kStopped, 1, 'F', 1, 102, 1, kAny, 0, {}, L"manager not started, focus mode not changed(KelvaneCenter::AdWarden::SetFocusState)"},
        {1, 0, 0, false, 0, 1, 'P', 1, 0, 0, 2, 0, {"POWER_MODE/1"}, nullptr}};
    for (const Row& r : rows) {
        SCOPED_TRACE(&r - rows);
        SetSwitch(L"PopUpBlockingStatus", r.blocking);
        SetSwitch(L"FocusModeStatus", r.focus);
        SetGate(L"FocusModeSupported", r.gate);
        FocusScene::SetThreadStarter(r.failThreads ? noThread : nullptr);
        EXPECT_TRUE(r.init == kNoInit || client->Init() == (r.init == kStopped ? 0 : r.init));
        if (r.init == kStopped) client->UnInit();
        if (r.blockingAtCall == kKeyGone) adwtest::DeleteHkcuTree(kConfigKey);
        else SetSwitch(L"PopUpBlockingStatus", static_cast<DWORD>(r.blockingAtCall));
        QeEventCapture::Begin();
        adwtest::LogCapture log;
        EXPECT_EQ(r.op == 'F' ? settings->SetFocusState(r.arg != 0)
                  : r.op == 'B' ? settings->SetBlockingState(r.arg) : settings->SetPowerState(r.arg), r.result);
        EXPECT_EQ(KelvaneCenter::AdWarden::Instance().Switches().FocusModeStatus, r.focusAfter);
        EXPECT_EQ(KelvaneCenter::AdWarden::Instance().Switches().PowerfulModeStatus, r.op == 'P' ? r.arg : 0);
        EXPECT_TRUE(r.tracker == kAny || engine.TrackerState() == r.tracker) << engine.TrackerState();
        EXPECT_TRUE(r.monitoring == kAny || FocusScene::GetInstance().IsMonitoring() == (r.monitoring == 1));
        EXPECT_EQ(Reports(), r.reports);
        EXPECT_TRUE(r.log == nullptr || log.Has(r.log, 4)) << log.Dump();
        FocusScene::SetThreadStarter(nullptr);
        FocusScene::GetInstance().StopMonitor();
        client->UnInit();
        ASSERT_TRUE(adwtest::CreateKey(HKEY_CURRENT_USER, kConfigKey));
    }
}

// Concurrent calls stay whole: the host hears the states in the order their reports go out.
TEST_F(FocusManager, ConcurrentBlockingStatesAreSerialised) {
    InitAndSettle();
    QeEventCapture::Begin();
    host.onCall = [](HostEvent::Kind) { Sleep(1); }; // widens the window another call could slip into
    std::vector<std::shared_ptr<std::atomic<bool>>> callers;
    for (int t = 0; t < 4; ++t)
        callers.push_back(adwtest::RunDetached([this, t] { for (int i = 0; i < 5; ++i) settings->SetBlockingState(t * 10 + i); }));
    for (const auto& caller : callers) adwtest::ExpectReturns(caller, "SetBlockingState");
    std::vector<std::string> heard;
    for (int state : host.Values(HostEvent::StateChanged)) heard.push_back("BLOCKING_MODE/" + std::to_string(state));
    EXPECT_EQ(heard.size(), 20u);
    EXPECT_EQ(Reports(), heard);
}

// Injected moves leave the cursor where it is while a mouse hook is installed (Wine): it is set instead.
void RightClick(POINT down, POINT up) {
    SetCursorPos(down.x, down.y), mouse_event(MOUSEEVENTF_RIGHTDOWN, 0, 0, 0, 0);
    SetCursorPos(up.x, up.y), mouse_event(MOUSEEVENTF_RIGHTUP, 0, 0, 0, 0);
}

// The helper's full-screen window comes to the front, keys are pressed and
// buttons clicked: the monitor judges what it must, in the order it happened,
// and each judgement tells the scene receiver whether a scene is active.
TEST(FocusEvents, ForegroundSystemKeysAndButtonReleasesAreJudgedInOrder) {
    const std::wstring app = adwtest::Fixture(L"Focus_App.EXE"); // reported in lower case
    ASSERT_TRUE(CopyFileW(adwtest::Fixture(L"unsigned_app.exe").c_str(), app.c_str(), FALSE));
    adwtest::ChildProcess helper(app, L"--focus");
    const HWND screen = helper.WaitForWindow();
    ASSERT_TRUE(screen != nullptr && adwtest::WaitUntil([&] { return GetForegroundWindow() == screen; }));
    // A window of this process above it at (0,0)-(100,100): a click there is judged "no scene".
    const HWND own = CreateWindowExW(WS_EX_TOPMOST | WS_EX_NOACTIVATE, L"BUTTON", L"own", WS_POPUP, 0, 0, 100, 100,
                                     nullptr, nullptr, nullptr, nullptr);
    ShowWindow(own, SW_SHOWNOACTIVATE);
    FocusScene& scene = FocusScene::GetInstance();
    scene.SetProcessLists({}, {"focus_app.exe"});
    scene.RecordJudgement(MonitorFromWindow(screen, MONITOR_DEFAULTTONEAREST), false, ""); // no scene left by another case
    std::mutex lock;
    std::vector<bool> told;
    scene.SetSceneCallback([&](bool active) { std::lock_guard<std::mutex> guard(lock); told.push_back(active); });
    auto toldOnce = [&](size_t n) {
        std::vector<bool> seen;
        adwtest::WaitUntil([&] { std::lock_guard<std::mutex> guard(lock); return (seen = told).size() >= n; });
        return seen;
    };
    adwtest::LogCapture log;
    QeEventCapture::Begin();
    ASSERT_TRUE(scene.StartMonitor() && adwtest::WaitUntil([] { return FocusScene::InstalledHooks() == 3; }));
    SendMessageW(screen, WM_APP + 1, 1, 0); // comes to the front: a scene
    EXPECT_EQ(toldOnce(1), std::vector<bool>{true});
    // Two system-key releases skip the next foreground change only; a click on our window ends the scene.
    for (int i = 0; i < 4; ++i) keybd_event(VK_F10, 0, i % 2 != 0 ? KEYEVENTF_KEYUP : 0, 0);
    SendMessageW(screen, WM_APP + 1, 2, 0);
    RightClick({50, 50}, {50, 50});
    EXPECT_EQ(toldOnce(3), (std::vector<bool>{true, true, false}));
    RightClick({500, 500}, {50, 50}); // the press on the scene window is not judged, the release is
    EXPECT_EQ(toldOnce(4), (std::vector<bool>{true, true, false, false}));
    EXPECT_TRUE(scene.StopMonitor());
    DestroyWindow(own);
    const std::vector<std::string> twice = {"MEETING focus_app.exe", "FULL_SCENE focus_app.exe",
                                            "MEETING focus_app.exe", "FULL_SCENE focus_app.exe"};
    EXPECT_EQ(Reports(DataReporter::kFocusSceneEventId, " "), twice);
    EXPECT_EQ(log.Count(L"window is fullscreen.(KelvaneCenter::FocusScene::IsValidFullScreenWin)", 4), 2);
}
// With focus mode open, an undecided ad window on a monitor with a scene gets
// its record at once and its hat when a judgement there ends the scene.
TEST_F(FocusManager, AHatWaitsForTheSceneOnItsMonitorToEnd) {
    SetSwitch(L"PopUpBlockingStatus", 1);
    SetSwitch(L"FocusModeStatus", 1);
    SetGate(L"FocusModeSupported", 1);
    adwtest::UiThread ui;
    InitAndSettle();
    FocusScene& scene = FocusScene::GetInstance();
    ASSERT_TRUE(scene.IsMonitoring());
    const HWND ad = ShowAds(L"300,300,300,150", 1)[0];
    engine.AddItem(Item(L"held", kAdPopHandleUndecided));
    scene.RecordJudgement(MonitorFromWindow(ad, MONITOR_DEFAULTTONEAREST), true, "film.exe");
    auto hats = [] { return adwtest::VisibleWindowOfClass(L"BlockingPopup") != nullptr; };
    QueueHat(L"held", ad);
    ASSERT_TRUE(host.WaitFor(HostEvent::Record, 1) && ui.Run([] {}));
    EXPECT_FALSE(hats());
    scene.FocusSceneJudge(ad); // a window that is not full screen comes to the front there
    EXPECT_TRUE(adwtest::WaitUntil(hats));
    EXPECT_EQ(host.CountOf(HostEvent::Record), 1u);
    // Stopped with the monitor running, the manager leaves no monitor and no hook (no judgement) behind.
    client->UnInit();
    EXPECT_FALSE(scene.IsMonitoring());
    EXPECT_TRUE(adwtest::WaitUntil([] { return FocusScene::InstalledHooks() == 0; }));
}
} // namespace
} // namespace hosttest
