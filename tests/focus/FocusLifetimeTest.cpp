// The monitor's runs against their lifetime: starts and stops, calls back into it
// while a stop waits, a stop whose judgement does not end in time, and no scene left by a stop.
#include <atomic>
#include "Desktop.h"
#include "HostFixture.h"
#include "common/UniqueResource.h"
#include "focus/FocusScene.h"

namespace {
using KelvaneCenter::FocusScene;
const std::wstring kTimedOut = L"fail to stop window thread. time is out.(KelvaneCenter::FocusScene::StopMonitor)";

bool HooksAre(int count) {
    return adwtest::WaitUntil([count] { return FocusScene::InstalledHooks() == count; });
}

// A full-screen window of this process, a scene application's: a click on it is
// judged a scene. The receiver counts judgements and runs `onJudged` on the judging
// thread, and counts apart what it is told on the test's own thread (by a stop).
class FocusLifetime : public testing::Test {
protected:
    void SetUp() override {
        scene.SetProcessLists({}, {FocusScene::GetProcessImageName(GetCurrentProcessId())});
        screen = CreateWindowExW(WS_EX_TOPMOST | WS_EX_NOACTIVATE, L"STATIC", L"scene", WS_POPUP | WS_VISIBLE, 0, 0,
                                 GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN), 0, 0, 0, 0);
        monitor = MonitorFromWindow(screen, MONITOR_DEFAULTTONEAREST);
        scene.SetSceneCallback([this](bool) {
            if (GetCurrentThreadId() == testThread) ++toldHere;
            else judgeThread = GetCurrentThreadId(), ++judged, onJudged();
        });
        ASSERT_TRUE(screen != nullptr && scene.StartMonitor() && HooksAre(3));
    }
    void TearDown() override {
        SetEvent(release.get()), scene.StopMonitor(), scene.SetSceneCallback(nullptr), DestroyWindow(screen);
    }
    void Click() { adwtest::ClickAt({GetSystemMetrics(SM_CXSCREEN) / 2, GetSystemMetrics(SM_CYSCREEN) / 2}); }
    bool JudgedIs(int n) { return adwtest::WaitUntil([&] { return judged == n; }); }

    FocusScene& scene = FocusScene::GetInstance();
    const DWORD testThread = GetCurrentThreadId();
    HWND screen = nullptr;
    HMONITOR monitor = nullptr;
    std::function<void()> onJudged = [] {};
    std::atomic<int> judged{0}, toldHere{0};
    std::atomic<DWORD> judgeThread{0};
    adw::UniqueHandle release{CreateEventW(nullptr, TRUE, FALSE, nullptr)};
};

// Started again while it runs, the monitor stays one; once a stop returns its
// hooks are gone and it has told "no scene" on the stopping thread; a stop with
// nothing running does nothing; a new start judges again.
TEST_F(FocusLifetime, OneMonitorHoweverOftenStartedAndNoHookOnceAStopReturns) {
    adwtest::LogCapture log;
    for (int round = 1; round <= 2; ++round) {
        EXPECT_TRUE(scene.StartMonitor());
        Click();
        EXPECT_TRUE(JudgedIs(round));
        EXPECT_TRUE(scene.StopMonitor());
        EXPECT_EQ(FocusScene::InstalledHooks(), 0);
        EXPECT_TRUE(scene.StopMonitor());
        ASSERT_TRUE(scene.StartMonitor() && HooksAre(3));
    }
    EXPECT_EQ(judged, 2);
    EXPECT_EQ(toldHere, 2);
    EXPECT_EQ(log.Count(L"already exist monitor(KelvaneCenter::FocusScene::StartMonitor)", 3), 2);
    EXPECT_EQ(log.Count(L"not exist monitor(KelvaneCenter::FocusScene::StopMonitor)", 3), 2) << log.Dump();
}

// A host's UI thread stops the monitor while a judgement's receiver sends to it, and the
// message's handler calls back into the monitor: refused at once; the stop ends the run in time.
TEST_F(FocusLifetime, CallsBackIntoTheMonitorDuringItsStopAreRefusedAtOnceAndNoSceneIsLeft) {
    std::atomic<HWND> hostWindow{nullptr};
    std::atomic<bool> sent{false};
    bool startAgain = true, stopAgain = true, stopped = false;
    onJudged = [&] { if (!sent.exchange(true)) SendMessageW(hostWindow, WM_APP, 0, 0); };
    adwtest::LogCapture log;
    auto ui = adwtest::RunDetached([&] {
        const hosttest::MessageWindow host([&] { startAgain = scene.StartMonitor(), stopAgain = scene.StopMonitor(); });
        hostWindow = host.get();
        adwtest::WaitUntil([&] { return sent.load(); }); // sleeping serves no sent message: the stop does
        stopped = scene.StopMonitor();
    });
    ASSERT_TRUE(adwtest::WaitUntil([&] { return hostWindow.load() != nullptr; }));
    Click();
    adwtest::ExpectReturns(ui, "StopMonitor with a call back into the monitor");
    EXPECT_TRUE(sent && stopped && !startAgain && !stopAgain);
    const std::wstring refused = L"refused: called again on a thread that is stopping the monitor";
    EXPECT_EQ(log.Count(refused + L"(KelvaneCenter::FocusScene::StartMonitor)", 4), 1) << log.Dump();
    EXPECT_EQ(log.Count(refused + L"(KelvaneCenter::FocusScene::StopMonitor)", 4), 1);
    EXPECT_FALSE(log.Has(kTimedOut, 3));
    EXPECT_FALSE(scene.IsMonitoring() || scene.IsSceneActiveOn(monitor)); // the click made one
    EXPECT_EQ(FocusScene::InstalledHooks(), 0);
}

// A judgement held past the stop's 2 s: the hooks still go at once, the stop leaves no
// scene, a start runs a new monitor beside the leaving one, and what the old run had not
// judged yet is dropped once its judgement ends.
TEST_F(FocusLifetime, AStopThatTimesOutLeavesTheMonitorStartableAndNoScene) {
    onJudged = [this] { if (judged == 1) WaitForSingleObject(release.get(), 20000); };
    Click();
    ASSERT_TRUE(JudgedIs(1) && scene.IsSceneActiveOn(monitor));
    Click(); // handed over behind the held judgement
    adwtest::LogCapture log;
    EXPECT_TRUE(scene.StopMonitor());
    EXPECT_TRUE(log.Has(kTimedOut, 3));
    EXPECT_FALSE(scene.IsSceneActiveOn(monitor));
    EXPECT_TRUE(HooksAre(0)); // the hook thread took its quit while a judgement is held
    EXPECT_TRUE(scene.StartMonitor() && scene.IsMonitoring());
    const adw::UniqueHandle heldThread(OpenThread(SYNCHRONIZE, FALSE, judgeThread));
    SetEvent(release.get());
    EXPECT_EQ(WaitForSingleObject(heldThread.get(), 10000), WAIT_OBJECT_0);
    EXPECT_EQ(judged, 1);
    EXPECT_FALSE(scene.IsSceneActiveOn(monitor));
    ASSERT_TRUE(HooksAre(3)); // the new run's
    Click();
    EXPECT_TRUE(JudgedIs(2) && scene.IsSceneActiveOn(monitor));
    EXPECT_NE(judgeThread, GetThreadId(heldThread.get()));
}
} // namespace
