// Both kinds of queue as the manager gets them: through the factory, as IOperationQueue*.

#include <gtest/gtest.h>

#include <memory>

#include "QueueTestKit.h"
#include "TestSupport.h"

using namespace queuetest;

namespace {

void RunsAnItemAndStops(IOperationQueue& queue) {
    ItemCounters early;
    queue.Push(Counted(early)); // not started yet
    EXPECT_EQ(early.destroyedUnrun, 1);

    Recorder order;
    queue.SetCapacity(100);
    queue.Start();
    queue.Push(order.Record(1));
    queue.Push(order.Record(2));
    ASSERT_TRUE(adwtest::WaitUntil([&] { return order.Size() == 2; }));
    EXPECT_EQ(order.Values(), (std::vector<int>{1, 2}));
    queue.Stop();
}

TEST(QueueFactory, CreateGivesALowPowerQueueNotStarted) {
    OperationQueueFactory factory;
    std::unique_ptr<IOperationQueue> queue(factory.Create());
    ASSERT_NE(queue, nullptr);
    EXPECT_NE(dynamic_cast<LowPowerOperationQueue*>(queue.get()), nullptr);
    EXPECT_EQ(queue->GetCapacity(), 2);
    RunsAnItemAndStops(*queue);
}

TEST(QueueFactory, CreateBaseQueueGivesABaseQueueNotStarted) {
    OperationQueueFactory factory;
    std::unique_ptr<IOperationQueue> queue(factory.CreateBaseQueue());
    ASSERT_NE(queue, nullptr);
    EXPECT_NE(dynamic_cast<OperationQueueBase*>(queue.get()), nullptr);
    EXPECT_EQ(dynamic_cast<LowPowerOperationQueue*>(queue.get()), nullptr);
    EXPECT_EQ(queue->GetCapacity(), 2);
    RunsAnItemAndStops(*queue);
}

TEST(QueueFactory, DeletingAStartedQueueThroughTheInterfaceStopsIt) {
    OperationQueueFactory factory;
    for (IOperationQueue* queue : {factory.Create(), factory.CreateBaseQueue()}) {
        ASSERT_NE(queue, nullptr);
        ItemCounters counters;
        Blocker busy;
        queue->Start();
        queue->Push(busy.Make());
        ASSERT_TRUE(adwtest::WaitUntil([&] { return busy.Entered(); }));
        queue->Push(Counted(counters));
        busy.Release();
        delete queue;
        EXPECT_TRUE(busy.Finished());
        EXPECT_EQ(counters.Destroyed(), 1);
    }
}

} // namespace
