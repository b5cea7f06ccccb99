// Start, Stop and failing items, the same for both kinds of queue.

#include <gtest/gtest.h>

#include <stdexcept>
#include <system_error>
#include <thread>

#include "QueueTestKit.h"

using namespace queuetest;

namespace {

template <typename Queue>
class QueueLifecycle : public ::testing::Test {};

using QueueKinds = ::testing::Types<LowPowerOperationQueue, OperationQueueBase>;
TYPED_TEST_SUITE(QueueLifecycle, QueueKinds);

TYPED_TEST(QueueLifecycle, ItemsRunOnlyBetweenStartAndStop) {
    ItemCounters outside;
    Recorder order;
    Inspectable<TypeParam> queue;
    EXPECT_FALSE(queue.IsRunning());
    EXPECT_EQ(queue.GetCapacity(), 2);
    queue.Stop(); // never started: nothing to do
    queue.Push(Counted(outside));
    EXPECT_EQ(outside.destroyedUnrun, 1); // at once, not at the queue's end
    EXPECT_EQ(queue.Pending(), 0u);

    queue.Start();
    queue.Push(order.Record(1));
    ASSERT_TRUE(adwtest::WaitUntil([&] { return order.Size() == 1; }));
    queue.Stop();
    queue.Stop(); // the second does nothing
    EXPECT_FALSE(queue.IsRunning());
    queue.Push(Counted(outside));
    EXPECT_EQ(outside.destroyedUnrun, 2);
    EXPECT_EQ(queue.Pending(), 0u);

    queue.Start(); // a fresh worker serves the items pushed after the second Start
    queue.Push(order.Record(2));
    queue.Push(order.Record(3));
    ASSERT_TRUE(adwtest::WaitUntil([&] { return order.Size() == 3; }));
    EXPECT_EQ(order.Values(), (std::vector<int>{1, 2, 3}));
    EXPECT_EQ(outside.ran, 0);
}

TYPED_TEST(QueueLifecycle, StopWaitsForTheRunningItemAndDiscardsTheRest) {
    ItemCounters pending;
    Inspectable<TypeParam> queue;
    Blocker busy;
    queue.Start();
    ASSERT_TRUE(HoldWorker(queue, busy));
    queue.Push(Counted(pending));
    queue.Push(Counted(pending));

    std::atomic<bool> stopReturned{false};
    std::atomic<bool> itemFinishedWhenStopReturned{false};
    std::thread stopper([&] {
        queue.Stop();
        itemFinishedWhenStopReturned = busy.Finished();
        stopReturned = true;
    });
    ASSERT_TRUE(adwtest::WaitUntil([&] { return !queue.IsRunning(); })) << "Stop never began";
    EXPECT_FALSE(stopReturned) << "Stop returned while an item was still running";
    busy.Release();
    stopper.join();

    EXPECT_TRUE(itemFinishedWhenStopReturned);
    EXPECT_EQ(pending.ran, 0);
    EXPECT_EQ(pending.destroyedUnrun, 2);
    EXPECT_EQ(queue.Pending(), 0u);
}

TYPED_TEST(QueueLifecycle, ThrowingItemIsLoggedAndTheNextOneRuns) {
    adwtest::LogCapture log;
    Recorder order;
    Inspectable<TypeParam> queue;
    queue.SetCapacity(10);
    queue.Start();
    queue.Push([] { throw std::runtime_error("boom"); });
    queue.Push([] { throw 7; });
    queue.Push(order.Record(1));
    ASSERT_TRUE(adwtest::WaitUntil([&] { return order.Size() == 1; })) << log.Dump();

    const std::wstring tag =
        kIsLowPower<TypeParam> ? L"(LowPowerOperationQueue::DealQueue)" : L"(OperationQueueBase::DealQueue)";
    EXPECT_EQ(log.Count(L"operation threw an exception: boom" + tag, adw::kLogError), 1) << log.Dump();
    EXPECT_EQ(log.Count(L"operation threw an exception: unknown exception" + tag, adw::kLogError), 1) << log.Dump();
}

TYPED_TEST(QueueLifecycle, StopFromInsideAnItemFailsInsteadOfHanging) {
    Inspectable<TypeParam> queue;
    std::atomic<int> outcome{0}; // 1: refused with resource_deadlock_would_occur, 2: returned, 3: other
    queue.Start();
    queue.Push([&] {
        try {
            queue.Stop();
            outcome = 2;
        } catch (const std::system_error& e) {
            outcome = e.code() == std::errc::resource_deadlock_would_occur ? 1 : 3;
        }
    });
    ASSERT_TRUE(adwtest::WaitUntil([&] { return outcome != 0; }));
    EXPECT_EQ(outcome, 1);
    EXPECT_FALSE(queue.IsRunning());
}

} // namespace
