#include <atomic>

#include "HostFixture.h"

namespace hosttest {
namespace {

// Counts host calls that arrive while the manager is stopped: none may.
class StopAwareCallback : public KelvaneMsgCenter::IPopUpBlockingCallback {
public:
    void OnBlockingRecords(const std::vector<BlockingRecordModel>&) override { Hit(); }
    void OnBlockingRecord(const BlockingRecordModel&) override { Hit(); }
    void OnBlockedTimes(int) override { Hit(); }
    void OnError(int) override { Hit(); }
    void OnStateChanged(int) override { Hit(); }

    std::atomic<bool> stopped{false};
    std::atomic<long> calls{0};
    std::atomic<long> callsWhileStopped{0};

private:
    void Hit() {
        ++calls;
        if (stopped.load()) ++callsWhileStopped;
    }
};

using ManagerStress = HostTest;

TEST_F(ManagerStress, NotificationsInFlightNeverOutliveUnInit) {
    MessageWindow window;
    engine.AddItem(Item(L"storm", 2));
    StopAwareCallback cb;
    client->RegisterCallback(&cb);
    adwtest::LogCapture log;

    constexpr int kCycles = 40;
    unsigned long long lastStormCalls = 0;
    for (int cycle = 0; cycle < kCycles; ++cycle) {
        cb.stopped = false;
        ASSERT_EQ(client->Init(), 0);
        if (cycle == 0) {
            ASSERT_TRUE(engine.StartStorm(4, L"storm", window.get()));
        }
        // Let the engine threads reach the manager in this period before stopping it.
        ASSERT_TRUE(adwtest::WaitUntil([&] { return engine.StormCalls() > lastStormCalls + 20; }));
        lastStormCalls = engine.StormCalls();
        client->UnInit();
        cb.stopped = true;
        // Between periods nothing may reach the host; the next Init lifts the flag.
        client->GetBlockingRecords(); // no queue: answered with 206 on this thread
    }
    ASSERT_TRUE(engine.StopStorm());
    client->UnRegisterCallback();

    EXPECT_GT(cb.calls.load(), kCycles);
    // The 206 answers above are the host's own calls on its own thread.
    EXPECT_EQ(cb.callsWhileStopped.load(), kCycles);
    // A handler that runs while its manager stops would find the queue gone.
    EXPECT_EQ(log.CountPrefix(L"getModelListQueue is null(KelvaneCenter::AdWarden::CallBack"), 0);
}

} // namespace
} // namespace hosttest
