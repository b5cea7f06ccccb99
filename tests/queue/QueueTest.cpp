// The queues' behaviour: the same for both kinds where the kinds agree, then
// each kind's own worker.

#include <stdexcept>
#include <thread>

#include "QueueTestKit.h"

namespace queuetest {

template <typename Queue>
class QueueKind : public ::testing::Test {};
using QueueKinds = ::testing::Types<LowPowerOperationQueue, OperationQueueBase>;
TYPED_TEST_SUITE(QueueKind, QueueKinds);

TYPED_TEST(QueueKind, ItemsRunInPushOrderOnlyWhileStartedAndAThrowingOneIsLogged) {
    adwtest::LogCapture log;
    Items items;
    Inspectable<TypeParam> queue;
    queue.SetCapacity(10);
    queue.Stop(); // never started: nothing to do
    queue.Push(items.Make(-1));
    queue.Start();
    queue.Start(); // ignored while running
    queue.Push(items.Make(1));
    ASSERT_TRUE(adwtest::WaitUntil([&] { return items.Ran().size() == 1; }));
    queue.Stop();
    queue.Stop(); // the second does nothing
    queue.Push(items.Make(-2));
    queue.Start(); // a fresh worker serves the items pushed after the second Start
    queue.Push(items.Make(2));
    queue.Push([] { throw std::runtime_error("boom"); });
    queue.Push([] { throw 7; });
    queue.Push(items.Make(3));
    // Had either item pushed while stopped been queued, it would have run before 3.
    ASSERT_TRUE(adwtest::WaitUntil([&] { return items.Ran().size() >= 3; })) << log.Dump();
    EXPECT_EQ(items.Ran(), (std::vector<int>{1, 2, 3}));
    EXPECT_EQ(items.diedUnrun, 2);
    EXPECT_EQ(g_toldDiscarded, 2); // the refused ones are told of too, the run ones not
    const bool lowPower = std::is_same<TypeParam, LowPowerOperationQueue>::value;
    const std::wstring tag = lowPower ? L"(LowPowerOperationQueue::DealQueue)" : L"(OperationQueueBase::DealQueue)";
    EXPECT_EQ(log.Count(L"operation threw an exception: boom" + tag, adw::kLogError), 1) << log.Dump();
    EXPECT_EQ(log.Count(L"operation threw an exception: unknown exception" + tag, adw::kLogError), 1) << log.Dump();
}

TYPED_TEST(QueueKind, FullQueueDropsTheOldestPendingItemAtEachPush) {
    struct Case { int capacity, pushes, kept, lastCapacity; }; // pushes while the worker is held, the last one at lastCapacity
    // The default, the manager's value, below one (kept as one: the newest), and a
    // lowered capacity, which removes no more than one item per push.
    for (const Case c : {Case{2, 3, 2, 2}, Case{100, 103, 100, 100}, Case{0, 3, 1, 0}, Case{5, 6, 5, 2}}) {
        SCOPED_TRACE(c.capacity);
        const bool lowPower = std::is_same<TypeParam, LowPowerOperationQueue>::value;
        adwtest::LogCapture log;
        Items items;
        Inspectable<TypeParam> queue;
        Blocker busy;
        queue.Start();
        ASSERT_TRUE(HoldWorker(queue, busy));
        for (int i = 0; i < c.pushes; ++i) {
            queue.SetCapacity(i + 1 < c.pushes ? c.capacity : c.lastCapacity);
            queue.Push(items.Make(i));
            const int drops = i + 1 > c.kept ? i + 1 - c.kept : 0;
            ASSERT_EQ(items.diedUnrun, drops) << "push " << i; // dropped now, not later; never copied
            ASSERT_EQ(g_toldDiscarded, drops) << "push " << i;
            const int logged = log.Count(L"operation queue full(LowPowerOperationQueue::Push)", adw::kLogInfo);
            ASSERT_EQ(logged, lowPower ? drops : 0) << log.Dump();
        }
        EXPECT_EQ(queue.Pending(), static_cast<size_t>(c.kept));
        busy.Release();
        ASSERT_TRUE(adwtest::WaitUntil([&] { return items.Ran().size() == static_cast<size_t>(c.kept); }));
        EXPECT_EQ(items.Ran(), Range(c.pushes - c.kept, c.pushes)); // the newest, in push order
        EXPECT_EQ(items.diedUnrun, c.pushes - c.kept);
    }
}

TYPED_TEST(QueueKind, ConcurrentStopsBothWaitForTheRunningItemAndDiscardTheRest) {
    Items pending;
    Inspectable<TypeParam> queue;
    Blocker busy;
    queue.Start();
    ASSERT_TRUE(HoldWorker(queue, busy));
    queue.Push(pending.Make(1));
    auto stop = [&] {
        queue.Stop();
        return busy.Finished(); // false: returned while the item still ran
    };
    auto first = std::async(std::launch::async, stop), second = std::async(std::launch::async, stop);
    // One Stop is at its join, so the item is released under it (the other waits its turn).
    EXPECT_TRUE(adwtest::WaitUntil([&] { return queue.stopping == 1; })); // not ASSERT: the futures wait for the Stops
    busy.Release();
    adwtest::Watchdog bound("Stop");
    EXPECT_TRUE(first.get());
    EXPECT_TRUE(second.get());
    EXPECT_EQ(pending.diedUnrun, 1); // neither run nor left pending
    EXPECT_EQ(g_toldDiscarded, 1);
}

TYPED_TEST(QueueKind, StopFromInsideAnItemReturnsAndDeletingTheQueueWaitsForThatItem) {
    Items later;
    auto* queue = new Inspectable<TypeParam>; // deleted on another thread below
    Blocker busy, gate; // the stopping item waits on the gate once its Stop has returned
    queue->Start();
    ASSERT_TRUE(HoldWorker(*queue, busy));
    queue->Push([queue, afterStop = gate.Make()] {
        queue->Stop();
        afterStop();
    });
    queue->Push(later.Make(1)); // pending when the item stops the queue
    busy.Release();
    ASSERT_TRUE(adwtest::WaitUntil([&] { return gate.Entered(); })) << "Stop inside an item did not return";
    queue->Push(later.Make(2)); // refused: the queue is stopped
    EXPECT_EQ(later.diedUnrun, 2);
    std::atomic<bool> deleting{false};
    auto deleted = std::async(std::launch::async, [&] {
        deleting = true;
        delete queue;
        return gate.Finished(); // false: delete returned while the item still ran
    });
    EXPECT_TRUE(adwtest::WaitUntil([&] { return deleting.load(); }));
    gate.Release();
    adwtest::Watchdog bound("delete");
    EXPECT_TRUE(deleted.get());
}

// One producer pushes numbered items without pause while the test starts and stops the queue.
TYPED_TEST(QueueKind, PushRacingStopLeavesNothingPendingAndNothingRunsAfterStop) {
    Inspectable<TypeParam> queue;
    queue.SetCapacity(1 << 20); // no drops: every item either runs or is discarded by Stop
    std::atomic<int> ran{0}, concurrent{0};
    std::atomic<bool> wrong{false}, done{false};
    int last = -1; // written by the items only
    std::thread pusher([&] {
        for (int n = 0; !done; ++n) {
            queue.Push([&, n] {
                wrong = wrong || concurrent.fetch_add(1) != 0 || n <= last; // two at once, or out of order
                last = n;
                ++ran;
                --concurrent;
            });
        }
    });
    auto rounds = [&] { // asserts return from here, so the pusher is always joined
        for (int round = 0; round < 200; ++round) {
            queue.Start();
            const int before = ran;
            ASSERT_TRUE(adwtest::WaitUntil([&] { return ran > before; })) << round;
            queue.Stop();
            const int ranAtStop = ran, workersAtStop = queue.workers;
            ASSERT_EQ(queue.Pending(), 0u) << "item queued behind Stop in round " << round;
            // Waiting cannot prove that nothing ever runs: this window catches a
            // worker started after Stop, or an item run after it, only if that
            // happens within 20 ms. The pending check above is exact.
            ASSERT_FALSE(adwtest::WaitUntil([&] { return ran != ranAtStop || queue.workers != workersAtStop; },
                                            std::chrono::milliseconds(20)))
                << "a worker or an item ran after Stop returned, round " << round;
        }
    };
    rounds();
    done = true;
    pusher.join();
    EXPECT_FALSE(wrong);
}

// Holds the worker inside the Pop that finds the queue empty, once `pause` is
// set, so that a test can push exactly while the worker is deciding to finish.
class LowPowerView : public Inspectable<LowPowerOperationQueue> {
public:
    bool WorkerActive() const { return workerActive_; }
    bool Pop(std::function<void()>& item) override {
        const bool got = LowPowerOperationQueue::Pop(item);
        if (!got && pause.exchange(false)) {
            paused = true;
            adwtest::WaitUntil([this] { return !paused.load(); });
        }
        return got;
    }
    std::atomic<bool> pause{false}, paused{false};
};

TEST(LowPowerWorker, WorkerLivesOnlyWhileItemsArePendingAndAFinishingOneStrandsNothing) {
    Items items;
    LowPowerView queue;
    queue.SetCapacity(10);
    queue.Start();
    EXPECT_FALSE(queue.WorkerActive()) << "Start alone started a worker";
    queue.pause = true;
    queue.Push(items.Make(0));
    ASSERT_TRUE(adwtest::WaitUntil([&] { return queue.paused.load(); }));
    ASSERT_TRUE(queue.WorkerActive());
    queue.Push(items.Make(1)); // the worker is still active: no new worker is started for it
    queue.paused = false;
    ASSERT_TRUE(adwtest::WaitUntil([&] { return items.Ran().size() == 2; })) << "item stranded by a finishing worker";
    for (int next = 2; next < 92; next += 3) { // a new worker for each busy period, order kept across them
        queue.Push(items.Make(next));
        queue.Push(items.Make(next + 1));
        queue.Push(items.Make(next + 2));
        ASSERT_TRUE(adwtest::WaitUntil([&] { return !queue.WorkerActive(); })) << "worker outlived item " << next;
    }
    EXPECT_EQ(items.Ran(), Range(0, 92));
}

// A base queue with its wake-up handle replaced: none, or one that cannot be waited on.
class BaseWithWakeHandle : public OperationQueueBase {
public:
    explicit BaseWithWakeHandle(HANDLE handle) { wakeEvent_.reset(handle); }
};

// Stop wakes a worker sleeping on its minute-long idle wait; without an event
// Start is refused, with a line and nothing thrown; a failed wait is logged and the worker goes on.
TEST(BaseQueueWorker, WakeUpEventEndsTheIdleWaitAtStopAndItsFailuresAreHandled) {
    adwtest::LogCapture log;
    Items items;
    OperationQueueBase sleeping;
    sleeping.Start();
    auto stopped = std::async(std::launch::async, [&] { sleeping.Stop(); });
    EXPECT_EQ(stopped.wait_for(std::chrono::seconds(30)), std::future_status::ready);
    BaseWithWakeHandle eventless(nullptr);
    EXPECT_NO_THROW(eventless.Start());
    EXPECT_TRUE(log.Has(L"no wake-up event, not started(OperationQueueBase::Start)", adw::kLogError)) << log.Dump();
    eventless.Push(items.Make(0)); // refused: stopped
    EXPECT_EQ(items.diedUnrun, 1);
    BaseWithWakeHandle unwaitable(CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, 4096, nullptr));
    unwaitable.Start();
    const std::wstring waitFailed = L"wait object failed(OperationQueueBase::DealQueue)";
    ASSERT_TRUE(adwtest::WaitUntil([&] { return log.Has(waitFailed, adw::kLogInfo); })) << log.Dump();
    unwaitable.Push(items.Make(1));
    ASSERT_TRUE(adwtest::WaitUntil([&] { return items.Ran().size() == 1; }));
}

} // namespace queuetest
