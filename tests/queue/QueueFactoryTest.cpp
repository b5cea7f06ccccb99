// Both kinds of queue as the manager gets them: through the factory, as IOperationQueue*.

#include <gtest/gtest.h>

#include <memory>

#include "QueueTestKit.h"

using namespace queuetest;

namespace {

TEST(QueueFactory, BothKindsComeUnstartedAndDieThroughTheInterface) {
    OperationQueueFactory factory;
    for (const bool lowPower : {true, false}) {
        SCOPED_TRACE(lowPower);
        std::unique_ptr<IOperationQueue> queue(lowPower ? factory.Create() : factory.CreateBaseQueue());
        ASSERT_NE(queue, nullptr);
        EXPECT_NE(dynamic_cast<OperationQueueBase*>(queue.get()), nullptr);
        EXPECT_EQ(dynamic_cast<LowPowerOperationQueue*>(queue.get()) != nullptr, lowPower);
        EXPECT_EQ(queue->GetCapacity(), 2);
        ItemCounters early;
        queue->Push(Counted(early)); // not started yet
        EXPECT_EQ(early.destroyedUnrun, 1);

        // Deleting a started queue stops it: the running item finishes, the pending one dies once.
        ItemCounters pending;
        Blocker busy;
        queue->Start();
        ASSERT_TRUE(HoldWorker(*queue, busy));
        queue->Push(Counted(pending));
        busy.Release();
        queue.reset();
        EXPECT_TRUE(busy.Finished());
        EXPECT_EQ(pending.Destroyed(), 1);
        EXPECT_EQ(pending.copies, 0);
    }
}

} // namespace
