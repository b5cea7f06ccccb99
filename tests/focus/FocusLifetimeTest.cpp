// The monitor's runs against their lifetime: what a stop leaves behind, a stop
// whose judgement does not end in time, and calls made back into the monitor
// while a stop waits.

#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <mutex>

#include "Desktop.h"
#include "TestSupport.h"
#include "common/UniqueResource.h"
#include "focus/FocusScene.h"

namespace {

using KelvaneCenter::FocusScene;

constexpr wchar_t kStartTag[] = L"(KelvaneCenter::FocusScene::StartMonitor)";
constexpr wchar_t kStopTag[] = L"(KelvaneCenter::FocusScene::StopMonitor)";
constexpr UINT kCallBack = WM_APP + 7;

bool HooksAre(int count) {
    return adwtest::WaitUntil([count] { return FocusScene::InstalledHooks() == count; });
}

// A full-screen window of this process, listed as a scene application: a click
// on it is judged a scene. The scene receiver counts the judgements told to it
// and runs `onJudged` on the judging thread.
class FocusLifetime : public testing::Test {
protected:
    void SetUp() override {
        scene.SetProcessLists({}, {FocusScene::GetProcessImageName(GetCurrentProcessId())});
        screen = CreateWindowExW(WS_EX_TOPMOST | WS_EX_NOACTIVATE, L"STATIC", L"scene", WS_POPUP | WS_VISIBLE, 0, 0,
                                 GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN), nullptr, nullptr,
                                 nullptr, nullptr);
        ASSERT_NE(screen, nullptr);
        monitor = MonitorFromWindow(screen, MONITOR_DEFAULTTONEAREST);
        scene.RecordJudgement(monitor, false, ""); // no scene to begin with
        scene.SetSceneCallback([this](bool) {
            if (GetCurrentThreadId() == testThread) {
                return; // a stop's own "no scene"
            }
            judgeThread = GetCurrentThreadId();
            ++judged;
            onJudged();
        });
        ASSERT_TRUE(scene.StartMonitor() && HooksAre(3));
    }
    void TearDown() override {
        SetEvent(release.get());
        scene.StopMonitor();
        scene.SetSceneCallback(nullptr);
        DestroyWindow(screen);
    }
    void Click() { adwtest::ClickAt({GetSystemMetrics(SM_CXSCREEN) / 2, GetSystemMetrics(SM_CYSCREEN) / 2}); }

    FocusScene& scene = FocusScene::GetInstance();
    const DWORD testThread = GetCurrentThreadId();
    HWND screen = nullptr;
    HMONITOR monitor = nullptr;
    std::function<void()> onJudged = [] {};
    std::atomic<int> judged{0};
    std::atomic<DWORD> judgeThread{0};
    adw::UniqueHandle release{CreateEventW(nullptr, TRUE, FALSE, nullptr)};
};

// A host's UI thread stops the monitor while a judgement's receiver sends to it;
// the handler of that message calls back into the monitor. Both calls are
// refused at once, and the stop still ends the whole run in time.
TEST_F(FocusLifetime, CallsBackIntoTheMonitorDuringItsStopAreRefusedAtOnce) {
    struct Host {
        HWND window = nullptr;
        bool startAgain = true, stopAgain = true, stopped = false;
    };
    static Host host; // read by the window procedure
    std::atomic<bool> sent{false};
    onJudged = [&] {
        if (!sent.exchange(true)) {
            SendMessageW(host.window, kCallBack, 0, 0);
        }
    };
    struct Handler {
        static LRESULT CALLBACK Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
            if (message != kCallBack) {
                return DefWindowProcW(window, message, wParam, lParam);
            }
            host.startAgain = FocusScene::GetInstance().StartMonitor();
            host.stopAgain = FocusScene::GetInstance().StopMonitor();
            return 0;
        }
    };
    WNDCLASSW windowClass = {};
    windowClass.lpszClassName = L"FocusLifetimeHost";
    windowClass.lpfnWndProc = &Handler::Proc;
    RegisterClassW(&windowClass);
    adwtest::LogCapture log;
    std::atomic<bool> ready{false};
    auto ui = adwtest::RunDetached([&] {
        host.window = CreateWindowExW(0, windowClass.lpszClassName, nullptr, 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                      nullptr, nullptr);
        ready = true;
        // Sleeping serves no sent message: the receiver's waits for the stop.
        adwtest::WaitUntil([&] { return sent.load(); });
        host.stopped = FocusScene::GetInstance().StopMonitor();
        DestroyWindow(host.window);
    });
    ASSERT_TRUE(adwtest::WaitUntil([&] { return ready.load(); }));
    Click();
    adwtest::ExpectReturns(ui, "StopMonitor with a call back into the monitor");
    EXPECT_TRUE(sent.load());
    EXPECT_TRUE(host.stopped);
    EXPECT_FALSE(host.startAgain);
    EXPECT_FALSE(host.stopAgain);
    const std::wstring refused = L"refused: called again on a thread that is stopping the monitor";
    EXPECT_EQ(log.Count(refused + kStartTag, 4), 1) << log.Dump();
    EXPECT_EQ(log.Count(refused + kStopTag, 4), 1);
    EXPECT_EQ(log.Count(std::wstring(L"fail to stop window thread. time is out.") + kStopTag, 3), 0);
    EXPECT_FALSE(scene.IsMonitoring());
    EXPECT_EQ(FocusScene::InstalledHooks(), 0);
}

// A judgement held past the stop's 2 s: the hooks still go at once, the stop
// leaves no scene, a start runs a new monitor beside the leaving one, and what
// the old run had not judged yet is dropped once its judgement ends.
TEST_F(FocusLifetime, AStopThatTimesOutLeavesTheMonitorStartableAndNoScene) {
    onJudged = [this] {
        if (judged == 1) {
            WaitForSingleObject(release.get(), 20000);
        }
    };
    Click();
    ASSERT_TRUE(adwtest::WaitUntil([&] { return judged == 1; }));
    EXPECT_TRUE(scene.IsSceneActiveOn(monitor));
    Click(); // handed over behind the held judgement
    adwtest::LogCapture log;
    EXPECT_TRUE(scene.StopMonitor());
    EXPECT_TRUE(log.Has(std::wstring(L"fail to stop window thread. time is out.") + kStopTag, 3));
    EXPECT_FALSE(scene.IsSceneActiveOn(monitor));
    EXPECT_TRUE(HooksAre(0)); // the hook thread took its quit although a judgement is held
    EXPECT_TRUE(scene.StartMonitor());
    EXPECT_TRUE(scene.IsMonitoring());
    const adw::UniqueHandle heldThread(OpenThread(SYNCHRONIZE, FALSE, judgeThread));
    ASSERT_TRUE(heldThread);
    SetEvent(release.get());
    EXPECT_EQ(WaitForSingleObject(heldThread.get(), 10000), WAIT_OBJECT_0);
    EXPECT_EQ(judged, 1);
    EXPECT_FALSE(scene.IsSceneActiveOn(monitor));
    ASSERT_TRUE(HooksAre(3)); // the new run's
    Click();
    EXPECT_TRUE(adwtest::WaitUntil([&] { return judged == 2; }));
    EXPECT_TRUE(scene.IsSceneActiveOn(monitor));
    EXPECT_NE(judgeThread, GetThreadId(heldThread.get()));
}

// A stop leaves no scene behind, so that nothing stays held back by one.
TEST_F(FocusLifetime, AStoppedMonitorLeavesNoSceneActive) {
    Click();
    ASSERT_TRUE(adwtest::WaitUntil([&] { return judged == 1; }));
    ASSERT_TRUE(scene.IsSceneActiveOn(monitor));
    EXPECT_TRUE(scene.StopMonitor());
    EXPECT_FALSE(scene.IsSceneActiveOn(monitor));
}

} // namespace
