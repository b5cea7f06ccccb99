// Both kinds of queue as the host gets them: from the factory exported by AdWarden.dll.

#include "QueueTestKit.h"

namespace queuetest {

TEST(QueueFactory, BothKindsFromTheDllRunItemsAndStopWhenDeleted) {
    OperationQueueFactory factory, other;
    factory = other; // the assignments are exported too
    factory = std::move(other);
    for (const bool lowPower : {true, false}) {
        std::unique_ptr<IOperationQueue> queue(lowPower ? factory.Create() : factory.CreateBaseQueue());
        ASSERT_NE(queue, nullptr);
        EXPECT_EQ(queue->GetCapacity(), 2);
        Items items;
        Blocker busy;
        queue->Start();
        queue->Push(items.Make(1));
        ASSERT_TRUE(HoldWorker(*queue, busy));
        queue->Push(items.Make(2));
        busy.Release();
        queue.reset(); // stops: the running item finishes, the pending one dies unrun
        EXPECT_TRUE(busy.Finished()) << lowPower;
        EXPECT_EQ(items.Ran(), std::vector<int>{1}) << lowPower;
        EXPECT_EQ(items.diedUnrun, 1) << lowPower;
    }
}

} // namespace queuetest
