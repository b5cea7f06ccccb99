#include <atomic>

#include "HostFixture.h"

namespace hosttest {
namespace {

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
        if (cycle == 0) {
            ASSERT_TRUE(engine.StartStorm(4, L"storm", window.get()));
        }
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
