// Both kinds of queue as the host gets them: from the factory exported by AdWarden.dll.

#include "QueueTestKit.h"

namespace queuetest {

TEST(QueueFactory, BothKindsFromTheDllRunAnItemAndAreDeletedThroughTheInterface) {
    OperationQueueFactory factory, other;
    factory = other; // the assignments are exported too
    factory = std::move(other);
    for (const bool lowPower : {true, false}) {
        Items items; // outlives the queue
        std::unique_ptr<IOperationQueue> queue(lowPower ? factory.Create() : factory.CreateBaseQueue());
        ASSERT_NE(queue, nullptr);
        EXPECT_EQ(queue->GetCapacity(), 2);
        queue->Start();
        queue->Push(items.Make(1));
        EXPECT_TRUE(adwtest::WaitUntil([&] { return items.Ran().size() == 1; })) << lowPower;
    } // deleted while started
}

} // namespace queuetest
