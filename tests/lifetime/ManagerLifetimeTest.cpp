// What a host relies on at the end of a period: nothing of the library runs
// after it unloads it, and no wait of the library freezes its UI thread.

#include <atomic>

#include "Desktop.h"
#include "DuiLib/UIMainQueue.h"
#include "HostFixture.h"

namespace hosttest {
namespace {

using ManagerLifetime = HostTest;

// Each host runs in a process of its own; it says what it measured in a file.
void ExpectHostEndsCleanly(const std::wstring& args) {
    const std::wstring out = adwtest::ExeDir() + L"\\lifetime-host.txt";
    DeleteFileW(out.c_str());
    SetEnvironmentVariableW(L"ADW_LIFETIME_OUT", out.c_str());
    adwtest::ChildProcess host(adwtest::ExeDir() + L"\\LifetimeHost.exe", args);
    SetEnvironmentVariableW(L"ADW_LIFETIME_OUT", nullptr);
    ASSERT_NE(host.Id(), 0u) << "LifetimeHost.exe not started, error " << GetLastError();
    const DWORD code = host.WaitForExit(90000);
    const std::string figures = adwtest::ReadFileText(out);
    std::printf("%ls: exit 0x%lx\n%s", args.c_str(), static_cast<unsigned long>(code), figures.c_str());
    // 3: the library stayed loaded; 4: threads, handles, windows or memory left; others: a crash.
    EXPECT_EQ(code, 0u) << figures;
}

TEST_F(ManagerLifetime, UnloadedWithUiJobsStillQueued) { ExpectHostEndsCleanly(L"pending-ui-jobs"); }

TEST_F(ManagerLifetime, UnloadedFromAnotherThreadWhileTheUiThreadWaits) { ExpectHostEndsCleanly(L"blocked-ui"); }

TEST_F(ManagerLifetime, LoadedAndUnloadedTwoHundredTimesLeavesThreadsHandlesWindowsAndMemoryFlat) {
    ExpectHostEndsCleanly(L"reload 200");
}

// A host callback that hands work to the UI thread and waits for it, while
// the UI thread makes a call that waits for that callback: the call gives up
// in time, so the UI thread gets back to its loop and the callback ends.
TEST_F(ManagerLifetime, CallsOnTheUiThreadDoNotWaitForACallbackWaitingForIt) {
    adwtest::UiThread ui;
    adwtest::HostRecorder other;
    std::shared_ptr<std::atomic<bool>> setter;
    const auto list = [&] { client->GetBlockingRecords(); };
    const auto setState = [&] { setter = adwtest::RunDetached([&] { settings->SetBlockingState(1); }); };
    struct Row { const char* call; HostEvent::Kind held; std::function<void()> trigger, onUiThread; } rows[] = {
        {"UnRegisterCallback", HostEvent::Records, list, [&] { client->UnRegisterCallback(); }},
        {"RegisterCallback(other)", HostEvent::Records, list, [&] { client->RegisterCallback(&other); }},
        {"UnInit", HostEvent::Records, list, [&] { client->UnInit(); }},
        {"SetBlockingState", HostEvent::StateChanged, setState, [&] { settings->SetBlockingState(2); }},
    };
    SetSwitch(L"PopUpBlockingStatus", 1);
    for (const Row& row : rows) {
        SCOPED_TRACE(row.call);
        InitAndSettle();
        adw::UniqueHandle go(CreateEventW(nullptr, TRUE, FALSE, nullptr));
        std::atomic<bool> armed{true}, entered{false}, callbackDone{false};
        host.onCall = [&](HostEvent::Kind kind) {
            if (kind != row.held || !armed.exchange(false)) return;
            entered = true;
            WaitForSingleObject(go.get(), 10000);
            auto ran = std::make_shared<std::atomic<bool>>(false);
            DuiLib::UIMainQueue::getInstance().dispatch([ran] { *ran = true; });
            adwtest::WaitUntil([&] { return ran->load(); }, std::chrono::seconds(15));
            callbackDone = true;
        };
        row.trigger();
        ASSERT_TRUE(adwtest::WaitUntil([&] { return entered.load(); }));
        auto started = std::make_shared<std::atomic<bool>>(false);
        auto returned = std::make_shared<std::atomic<bool>>(false);
        DuiLib::UIMainQueue::getInstance().dispatch([&row, started, returned] {
            *started = true;
            row.onUiThread();
            *returned = true;
        });
        ASSERT_TRUE(adwtest::WaitUntil([&] { return started->load(); }));
        SetEvent(go.get()); // the callback's job now queues behind the call
        EXPECT_TRUE(adwtest::WaitUntil([&] { return returned->load(); }, std::chrono::seconds(10)));
        EXPECT_TRUE(adwtest::WaitUntil([&] { return callbackDone.load(); }, std::chrono::seconds(20)));
        if (setter) adwtest::ExpectReturns(std::exchange(setter, nullptr), "SetBlockingState");
        client->UnInit();
        client->RegisterCallback(&host);
        host.onCall = nullptr;
    }
}

// OnStateChanged sends a message to another thread, which sends one back: the
// thread inside SetBlockingState serves it, and its handler calls
// SetBlockingState again. That call is refused instead of waiting for itself.
TEST_F(ManagerLifetime, SetBlockingStateCalledAgainFromAMessageItServesIsRefused) {
    SetSwitch(L"PopUpBlockingStatus", 1);
    InitAndSettle();
    adwtest::UiThread other;
    std::unique_ptr<MessageWindow> there;
    std::atomic<HWND> back{nullptr};
    ASSERT_TRUE(other.Run([&] { there = std::make_unique<MessageWindow>([&] { SendMessageW(back, WM_APP, 0, 0); }); }));
    std::atomic<int> inner{-1}, outer{-1};
    adwtest::LogCapture log;
    auto caller = adwtest::RunDetached([&] {
        MessageWindow here([&] { inner = settings->SetBlockingState(2); });
        back = here.get();
        host.onCall = [&](HostEvent::Kind kind) {
            if (kind == HostEvent::StateChanged && inner == -1) SendMessageW(there->get(), WM_APP, 0, 0);
        };
        outer = settings->SetBlockingState(1);
    });
    adwtest::ExpectReturns(caller, "SetBlockingState");
    EXPECT_EQ(inner.load(), 100);
    EXPECT_EQ(outer.load(), 0);
    EXPECT_EQ(log.Count(L"called again from inside itself, refused(KelvaneCenter::AdWarden::SetBlockingState)", 4), 1)
        << log.Dump();
    host.onCall = nullptr;
    ASSERT_TRUE(other.Run([&] { there.reset(); }));
}

// Judgements of the focus monitor hand nothing to the work queue while no hat
// waits for a scene, so a burst of clicks cannot push the host's and the
// engine's jobs out of it.
TEST_F(ManagerLifetime, ABurstOfClicksDropsNoJobOfTheEngine) {
    SetSwitch(L"PopUpBlockingStatus", 1);
    SetSwitch(L"FocusModeStatus", 1);
    SetGate(L"FocusModeSupported", 1);
    adwtest::ChildProcess scene(Fixture(L"unsigned_app.exe"), L"--focus");
    ASSERT_NE(scene.WaitForWindow(), nullptr);
    InitAndSettle();
    engine.AddItem(Item(L"blocked", 1));
    adw::UniqueHandle release(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    host.onCall = [&](HostEvent::Kind kind) {
        if (kind == HostEvent::Records) WaitForSingleObject(release.get(), 30000);
    };
    client->GetBlockingRecords(); // the worker waits in the host until released
    ASSERT_EQ(engine.FireAdBlock(L"blocked"), 1);
    adwtest::LogCapture log;
    // In bursts the monitor keeps up with, so that every click is judged.
    constexpr int kBursts = 5, kClicksPerBurst = 30;
    for (int burst = 1; burst <= kBursts; ++burst) {
        for (int i = 0; i < kClicksPerBurst; ++i) adwtest::ClickAt({600, 400});
        ASSERT_TRUE(adwtest::WaitUntil([&] {
            return log.Count(L"window is fullscreen.(KelvaneCenter::FocusScene::IsValidFullScreenWin)", 4) >=
                   burst * kClicksPerBurst;
        })) << "burst " << burst << " not judged";
    }
    SetEvent(release.get());
    ASSERT_TRUE(host.WaitFor(HostEvent::Record, 2));
    ASSERT_TRUE(host.WaitFor(HostEvent::BlockedTimes, 1));
    const auto records = host.OfKind(HostEvent::Record);
    EXPECT_EQ(records[0].records[0].status, KelvaneMsgCenter::kRecordBlockedRecently);
    EXPECT_EQ(records[1].records[0].status, KelvaneMsgCenter::kRecordBlocked);
    host.onCall = nullptr;
}

// A UI thread still running whose queue no longer takes jobs: UnInit cannot
// hand the hat back to it, and keeps it rather than delete it under its window.
TEST_F(ManagerLifetime, AHatItsUiThreadCannotBeAskedToCloseIsKept) {
    adwtest::UiThread ui;
    SetSwitch(L"PopUpBlockingStatus", 1);
    InitAndSettle();
    const HWND ad = CreateWindowExW(WS_EX_NOACTIVATE, L"STATIC", L"ad", WS_POPUP | WS_VISIBLE, 400, 300, 240, 120,
                                    nullptr, nullptr, nullptr, nullptr);
    engine.AddItem(Item(L"ad", 2, 0, adwtest::ExePath()));
    ASSERT_EQ(engine.FireAdHat(L"ad", ad), 1);
    HWND hat = nullptr;
    ASSERT_TRUE(adwtest::WaitUntil([&] { return (hat = adwtest::VisibleWindowOfClass(L"BlockingPopup")) != nullptr; }));
    ASSERT_TRUE(ui.Run([] { DestroyWindow(FindWindowExW(HWND_MESSAGE, nullptr, L"DuiLibMainQueue", nullptr)); }));
    adwtest::LogCapture log;
    client->UnInit();
    // The hat, and the spare built for the next one.
    EXPECT_EQ(log.Count(L"hat window kept, UI thread not reached(KelvaneCenter::AdWarden::UnInit)", 4), 2) << log.Dump();
    EXPECT_TRUE(IsWindow(hat));
    DestroyWindow(ad);
}

} // namespace
} // namespace hosttest
