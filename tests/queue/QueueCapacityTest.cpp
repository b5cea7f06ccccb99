// Push order, the pending-item bound and what happens to dropped items, for both kinds.

#include <gtest/gtest.h>

#include <numeric>

#include "QueueTestKit.h"
#include "TestSupport.h"

using namespace queuetest;

namespace {

template <typename Queue>
class QueueCapacity : public ::testing::Test {
protected:
    // Lines "operation queue full" the queue kind is expected to have written for `drops` drops.
    static int ExpectedFullLines(int drops) { return KindOf<Queue>::kLogsDrops ? drops : 0; }
};

using QueueKinds = ::testing::Types<LowPowerOperationQueue, OperationQueueBase>;
TYPED_TEST_SUITE(QueueCapacity, QueueKinds);

std::vector<int> Range(int from, int to) {
    std::vector<int> values(static_cast<size_t>(to - from));
    std::iota(values.begin(), values.end(), from);
    return values;
}

TYPED_TEST(QueueCapacity, RunsItemsInPushOrder) {
    Recorder order;
    Inspectable<TypeParam> queue;
    Blocker busy;
    queue.SetCapacity(50);
    queue.Start();
    queue.Push(busy.Make());
    ASSERT_TRUE(adwtest::WaitUntil([&] { return busy.Entered(); }));
    for (int i = 0; i < 50; ++i) {
        queue.Push(order.Record(i));
    }
    EXPECT_EQ(queue.Pending(), 50u);
    busy.Release();
    ASSERT_TRUE(adwtest::WaitUntil([&] { return order.Size() == 50; }));
    EXPECT_EQ(order.Values(), Range(0, 50));
}

TYPED_TEST(QueueCapacity, DefaultCapacityKeepsTheTwoNewest) {
    adwtest::LogCapture log;
    Recorder order;
    ItemCounters oldest;
    Inspectable<TypeParam> queue;
    Blocker busy;
    queue.Start();
    queue.Push(busy.Make());
    ASSERT_TRUE(adwtest::WaitUntil([&] { return busy.Entered(); }));

    queue.Push(Counted(oldest, [&] { order.Add(1); }));
    queue.Push(order.Record(2));
    EXPECT_EQ(oldest.Destroyed(), 0);
    queue.Push(order.Record(3)); // full: the first of the three goes, now and unrun
    EXPECT_EQ(oldest.destroyedUnrun, 1);
    EXPECT_EQ(queue.Pending(), 2u);

    busy.Release();
    ASSERT_TRUE(adwtest::WaitUntil([&] { return order.Size() == 2; }));
    EXPECT_EQ(order.Values(), (std::vector<int>{2, 3}));
    EXPECT_EQ(oldest.ran, 0);
    EXPECT_EQ(log.Count(kQueueFullLine, adw::kLogInfo), this->ExpectedFullLines(1)) << log.Dump();
    EXPECT_EQ(log.Lines().size(), static_cast<size_t>(this->ExpectedFullLines(1))) << log.Dump();
}

TYPED_TEST(QueueCapacity, HundredPendingDropsTheOldestOncePerPush) {
    adwtest::LogCapture log;
    Recorder order;
    ItemCounters dropped;
    Inspectable<TypeParam> queue;
    Blocker busy;
    queue.SetCapacity(100);
    queue.Start();
    queue.Push(busy.Make());
    ASSERT_TRUE(adwtest::WaitUntil([&] { return busy.Entered(); }));

    for (int i = 0; i < 3; ++i) {
        queue.Push(Counted(dropped, [&order, i] { order.Add(i); }));
    }
    for (int i = 3; i < 100; ++i) {
        queue.Push(order.Record(i));
    }
    EXPECT_EQ(dropped.destroyedUnrun, 0) << "dropped before the queue was full";
    EXPECT_EQ(log.Count(kQueueFullLine, adw::kLogInfo), 0);

    queue.Push(order.Record(100)); // the 101st pending item
    EXPECT_EQ(dropped.destroyedUnrun, 1);
    EXPECT_EQ(log.Count(kQueueFullLine, adw::kLogInfo), this->ExpectedFullLines(1)) << log.Dump();
    queue.Push(order.Record(101));
    queue.Push(order.Record(102));
    EXPECT_EQ(dropped.destroyedUnrun, 3);
    EXPECT_EQ(queue.Pending(), 100u);
    EXPECT_EQ(log.Count(kQueueFullLine, adw::kLogInfo), this->ExpectedFullLines(3)) << log.Dump();

    busy.Release();
    ASSERT_TRUE(adwtest::WaitUntil([&] { return order.Size() == 100; }));
    EXPECT_EQ(order.Values(), Range(3, 103));
    EXPECT_EQ(dropped.ran, 0);
}

TYPED_TEST(QueueCapacity, SmallerCapacityDropsOnlyOneItemPerPush) {
    Recorder order;
    Inspectable<TypeParam> queue;
    Blocker busy;
    queue.SetCapacity(5);
    queue.Start();
    queue.Push(busy.Make());
    ASSERT_TRUE(adwtest::WaitUntil([&] { return busy.Entered(); }));
    for (int i = 0; i < 5; ++i) {
        queue.Push(order.Record(i));
    }
    queue.SetCapacity(2);
    EXPECT_EQ(queue.Pending(), 5u) << "a smaller capacity removes nothing by itself";
    queue.Push(order.Record(5));
    EXPECT_EQ(queue.Pending(), 5u);

    busy.Release();
    ASSERT_TRUE(adwtest::WaitUntil([&] { return order.Size() == 5; }));
    EXPECT_EQ(order.Values(), (std::vector<int>{1, 2, 3, 4, 5}));
}

TYPED_TEST(QueueCapacity, CapacityBelowOneKeepsTheNewestItem) {
    Recorder order;
    Inspectable<TypeParam> queue;
    Blocker busy;
    queue.SetCapacity(0);
    queue.Start();
    queue.Push(busy.Make());
    ASSERT_TRUE(adwtest::WaitUntil([&] { return busy.Entered(); }));
    queue.Push(order.Record(1));
    queue.Push(order.Record(2));
    queue.SetCapacity(-3);
    queue.Push(order.Record(3));
    EXPECT_EQ(queue.Pending(), 1u);
    busy.Release();
    ASSERT_TRUE(adwtest::WaitUntil([&] { return order.Size() == 1; }));
    EXPECT_EQ(order.Values(), (std::vector<int>{3}));
}

TYPED_TEST(QueueCapacity, ItemsAreMovedNeverCopied) {
    ItemCounters counters;
    Inspectable<TypeParam> queue;
    Blocker busy;
    queue.SetCapacity(3);
    queue.Start();
    queue.Push(busy.Make());
    ASSERT_TRUE(adwtest::WaitUntil([&] { return busy.Entered(); }));
    for (int i = 0; i < 4; ++i) { // one of them dropped
        queue.Push(Counted(counters));
    }
    busy.Release();
    ASSERT_TRUE(adwtest::WaitUntil([&] { return counters.Destroyed() == 4; }));
    EXPECT_EQ(counters.ran, 3);
    EXPECT_EQ(counters.destroyedAfterRun, 3);
    EXPECT_EQ(counters.destroyedUnrun, 1);
    EXPECT_EQ(counters.copies, 0);

    queue.Push(Counted(counters)); // and through Stop's discarding
    queue.Stop();
    EXPECT_EQ(counters.Destroyed(), 5);
    EXPECT_EQ(counters.copies, 0);
}

} // namespace
