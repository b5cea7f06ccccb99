// The pending-item bound, for both kinds: the oldest pending item goes, unrun, once per push.

#include <gtest/gtest.h>

#include <algorithm>

#include "QueueTestKit.h"

using namespace queuetest;

namespace {

template <typename Queue>
class QueueCapacity : public ::testing::Test {};

using QueueKinds = ::testing::Types<LowPowerOperationQueue, OperationQueueBase>;
TYPED_TEST_SUITE(QueueCapacity, QueueKinds);

TYPED_TEST(QueueCapacity, FullQueueDropsTheOldestPendingItemAtEachPush) {
    struct Case {
        int capacity; // 2 is the default and is left unset
        int pushes;   // while the worker is held
        int kept;
    };
    // The default, the manager's value, and a capacity below one (kept as one: the newest item).
    for (const Case c : {Case{2, 3, 2}, Case{100, 103, 100}, Case{0, 3, 1}}) {
        SCOPED_TRACE(c.capacity);
        adwtest::LogCapture log;
        Recorder order;
        ItemCounters counters;
        Inspectable<TypeParam> queue;
        Blocker busy;
        if (c.capacity != 2) {
            queue.SetCapacity(c.capacity);
        }
        queue.Start();
        ASSERT_TRUE(HoldWorker(queue, busy));
        for (int i = 0; i < c.pushes; ++i) {
            queue.Push(Counted(counters, order.Record(i)));
            const int drops = std::max(0, i + 1 - c.kept);
            ASSERT_EQ(counters.destroyedUnrun, drops) << "push " << i; // dropped now, not later
            ASSERT_EQ(log.Count(kQueueFullLine, adw::kLogInfo), kIsLowPower<TypeParam> ? drops : 0)
                << log.Dump();
        }
        EXPECT_EQ(queue.Pending(), static_cast<size_t>(c.kept));

        busy.Release();
        ASSERT_TRUE(adwtest::WaitUntil([&] { return counters.Destroyed() == c.pushes; }));
        EXPECT_EQ(order.Values(), Range(c.pushes - c.kept, c.pushes)); // the newest, in push order
        EXPECT_EQ(counters.ran, c.kept);
        EXPECT_EQ(counters.copies, 0) << "items are moved, never copied";
        EXPECT_EQ(log.Lines().size(), static_cast<size_t>(log.Count(kQueueFullLine, adw::kLogInfo))) << log.Dump();
    }
}

TYPED_TEST(QueueCapacity, LoweredCapacityDropsOnlyOneItemPerPush) {
    Recorder order;
    Inspectable<TypeParam> queue;
    Blocker busy;
    queue.SetCapacity(5);
    queue.Start();
    ASSERT_TRUE(HoldWorker(queue, busy));
    for (int i = 0; i < 5; ++i) {
        queue.Push(order.Record(i));
    }
    queue.SetCapacity(2);
    EXPECT_EQ(queue.Pending(), 5u) << "a smaller capacity removes nothing by itself";
    queue.Push(order.Record(5));
    EXPECT_EQ(queue.Pending(), 5u);

    busy.Release();
    ASSERT_TRUE(adwtest::WaitUntil([&] { return order.Size() == 5; }));
    EXPECT_EQ(order.Values(), Range(1, 6));
}

} // namespace
