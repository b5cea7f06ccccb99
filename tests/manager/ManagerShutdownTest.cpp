// Stopping while engine threads, host threads and host callbacks are in flight.

#include <atomic>

#include "HostFixture.h"

namespace hosttest {
namespace {

using namespace std::chrono_literals;
using adwtest::ExpectReturns;
using adwtest::RunDetached;

using ManagerShutdown = HostTest;

// Engine thread A is inside the block handler, waiting for the engine's table
// lock in its item lookup; engine thread B holds that lock and notifies. UnInit
// starting in between must neither hang nor keep B waiting.
TEST_F(ManagerShutdown, UnInitReturnsWhileTheEngineNotifiesUnderItsOwnLock) {
    engine.AddItem(Item(L"k", 2));
    InitAndSettle();
    ASSERT_TRUE(engine.HoldTableLock());
    auto handlerA = RunDetached([this] { engine.FireAdBlock(L"k"); });
    ASSERT_TRUE(adwtest::WaitUntil([&] { return engine.TableLockWaiters() == 1; }));
    auto unInit = RunDetached([this] { client->UnInit(); });
    EXPECT_FALSE(adwtest::WaitUntil([&] { return unInit->load(); }, 200ms)) << "UnInit left a handler running";

    EXPECT_EQ(engine.NotifyUnderTableLock(kAdPopScriptAdBlock, L"k", nullptr), 1) << "engine thread B was kept waiting";
    ExpectReturns(unInit, "UnInit");
    ExpectReturns(handlerA, "the block handler");
}

// The host may delete its callback as soon as it is unregistered, replaced, or
// the manager stopped, often on its UI thread, to which the callback in flight
// SendMessage's: the wait serves that message and outlasts the call.
TEST_F(ManagerShutdown, StoppingWaitsForTheCallbackInFlightServingItsSentMessages) {
    MessageWindow uiWindow; // belongs to this thread, like the host's UI
    adwtest::HostRecorder other;
    const std::pair<const char*, std::function<void()>> stops[] = {
        {"UnRegisterCallback", [&] { client->UnRegisterCallback(); }},
        {"RegisterCallback", [&] { client->RegisterCallback(&other); }},
        {"UnInit", [&] { client->UnInit(); }},
    };
    for (const auto& stop : stops) {
        SCOPED_TRACE(stop.first);
        client->RegisterCallback(&host);
        InitAndSettle();
        std::atomic<bool> inside{false};
        host.onCall = [&](HostEvent::Kind kind) {
            if (kind == HostEvent::Records) {
                inside = true;
                SendMessageW(uiWindow.get(), WM_NULL, 0, 0);
                inside = false;
            }
        };
        ASSERT_EQ(client->GetBlockingRecords(), 0u);
        ASSERT_TRUE(adwtest::WaitUntil([&] { return inside.load(); }));
        {
            adwtest::Watchdog bound(stop.first); // on this thread: it owns the window the callback sends to
            stop.second();
        }
        EXPECT_FALSE(inside) << "returned while the callback was still running";
        client->UnInit();
        host.onCall = nullptr;
    }
}

// The host calls back into the manager from inside its own callback, on the
// queue's worker: each call answers at once with its code, its own work comes
// after, and the manager then answers as the call left it.
TEST_F(ManagerShutdown, CallbacksMayCallBackIntoOrStopTheManager) {
    engine.AddItem(Item(L"k", 2));
    // recordsAfter: what GetBlockingRecords answers afterwards; heard: whether the host hears that listing
    struct Case { const char* name; std::function<int()> call; unsigned recordsAfter; bool heard; } cases[] = {
        {"GetBlockedTimes", [&] { return client->GetBlockedTimes(); }, 0u, true},
        {"GetBlockingRecords", [&] { return static_cast<int>(client->GetBlockingRecords()); }, 0u, true},
        {"SetBlockingStatus", [&] { return static_cast<int>(client->SetBlockingStatus(L"k", true)); }, 0u, true},
        {"UnRegisterCallback", [&] { return client->UnRegisterCallback(), 0; }, 0u, false},
        {"UnInit", [&] { return client->UnInit(), 0; }, 206u, false},
        {"Init", [&] { return client->Init(); }, 0u, true}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        client->RegisterCallback(&host);
        InitAndSettle();
        auto returned = std::make_shared<std::atomic<bool>>(false);
        std::atomic<int> answer{-1};
        host.onCall = [&, returned](HostEvent::Kind kind) {
            if (kind == HostEvent::Records && !*returned) {
                answer = c.call();
                *returned = true;
            }
        };
        ASSERT_EQ(client->GetBlockingRecords(), 0u);
        ExpectReturns(returned, c.name);
        EXPECT_EQ(answer, 0);
        EXPECT_EQ(client->GetBlockingRecords(), c.recordsAfter);
        EXPECT_TRUE(!c.heard || host.WaitFor(HostEvent::Records, 2));
        client->UnInit();
        host.onCall = nullptr;
        host.Clear();
    }
}

// A host call inside the engine when UnInit comes: the engine is released only after it.
TEST_F(ManagerShutdown, UnInitWaitsForAHostCallInsideTheEngine) {
    InitAndSettle();
    engine.CloseCallGate(true);
    std::atomic<int> result{-1};
    auto call = RunDetached([&] { result = settings->SetClearPeriod(30); });
    // Not an ASSERT: the gate is opened and both calls waited for whatever happens.
    EXPECT_TRUE(adwtest::WaitUntil([&] { return engine.CallsInFlight() == 1; }));
    auto unInit = RunDetached([this] { client->UnInit(); });
    EXPECT_FALSE(adwtest::WaitUntil([&] { return unInit->load(); }, 200ms)) << "released under a call";
    engine.CloseCallGate(false);
    ExpectReturns(unInit, "UnInit");
    ExpectReturns(call, "SetClearPeriod");
    EXPECT_EQ(result, 0);
    EXPECT_EQ(engine.ReleasedDuringCall(), 0);
}

// At process exit other threads were killed anywhere, perhaps inside the
// logger: the detach is logged only when the library is unloaded.
TEST_F(ManagerShutdown, DllMainLogsTheDetachOnUnloadButNotAtProcessExit) {
    const std::wstring logFile = adwtest::ExeDir() + L"\\load-and-exit.log";
    DeleteFileW(logFile.c_str());
    SetEnvironmentVariableW(L"KRLOG_FILE", logFile.c_str());
    adwtest::ChildProcess child(Fixture(L"unsigned_app.exe"), L"--load \"" + adwtest::ExeDir() + L"\\AdWarden.dll\"");
    SetEnvironmentVariableW(L"KRLOG_FILE", nullptr);
    ASSERT_EQ(child.WaitForExit(), 0u);
    const std::string text = adwtest::ReadFileText(logFile);
    EXPECT_NE(text.find("process attach AdWarden(DllMain)"), std::string::npos) << text;
    EXPECT_EQ(text.find("process detach"), std::string::npos) << text;

    const std::wstring copy = adwtest::ExeDir() + L"\\AdWardenUnload.dll";
    ASSERT_TRUE(CopyFileW((adwtest::ExeDir() + L"\\AdWarden.dll").c_str(), copy.c_str(), FALSE));
    adwtest::LogCapture log;
    HMODULE library = LoadLibraryW(copy.c_str());
    ASSERT_NE(library, nullptr);
    ASSERT_TRUE(FreeLibrary(library));
    EXPECT_EQ(log.Count(L"process detach AdWarden(DllMain)", 3), 1) << log.Dump();
}

using ManagerStress = HostTest;

TEST_F(ManagerStress, NotificationsInFlightNeverOutliveUnInit) {
    MessageWindow window;
    engine.AddItem(Item(L"storm", 2));
    std::atomic<bool> stopped{false};
    std::atomic<long> calls{0};
    std::atomic<long> callsWhileStopped{0};
    host.onCall = [&](HostEvent::Kind) {
        ++calls;
        if (stopped) ++callsWhileStopped;
    };
    adwtest::LogCapture log;
    // A host thread using the manager all along: each call gets its normal or its
    // not-started answer (300 is the adapter's, when the engine was not loaded yet).
    engine.AddItem(Item(L"hammer", 2));
    std::atomic<bool> hammering{true};
    std::atomic<int> unexpected{0};
    auto hammer = adwtest::RunDetached([&] {
        while (hammering) {
            const unsigned status = client->SetBlockingStatus(L"hammer", false);
            const int period = settings->SetClearPeriod(30);
            unexpected += (status != 0 && status != 300 && status != 407) + (period != 0 && period != 102);
        }
    });

    constexpr int kCycles = 40;
    unsigned long long lastStormCalls = 0;
    for (int cycle = 0; cycle < kCycles; ++cycle) {
        stopped = false;
        ASSERT_EQ(client->Init(), 0);
        if (cycle == 0) { ASSERT_TRUE(engine.StartStorm(4, L"storm", window.get())); }
        // Let the engine threads reach the manager in this period before stopping it.
        ASSERT_TRUE(adwtest::WaitUntil([&] { return engine.StormCalls() > lastStormCalls + 20; }));
        lastStormCalls = engine.StormCalls();
        client->UnInit();
        stopped = true;
        client->GetBlockingRecords(); // no queue: answered with 206 on this thread
    }
    ASSERT_TRUE(engine.StopStorm());
    hammering = false;
    adwtest::ExpectReturns(hammer, "the host thread");
    EXPECT_EQ(unexpected.load(), 0);

    EXPECT_GT(calls.load(), kCycles);
    // Between periods only the host's own 206 answers reach it.
    EXPECT_EQ(callsWhileStopped.load(), kCycles);
    // A handler that runs while its manager stops would find the queue gone.
    EXPECT_EQ(log.CountPrefix(L"getModelListQueue is null(KelvaneCenter::AdWarden::CallBack"), 0);
}

} // namespace
} // namespace hosttest
