// Both kinds of queue as the host gets them: from the factory exported by AdWarden.dll.

#include "QueueTestKit.h"

namespace queuetest {

TEST(QueueFactory, EachFactoryGivesItsKindWhichRunsItemsAndIsDeletedThroughTheInterface) {
    OperationQueueFactory factory, other;
    factory = other; // the assignments are exported too
    factory = std::move(other);
    for (const bool lowPower : {true, false}) {
        SCOPED_TRACE(lowPower);
        adwtest::LogCapture log;
        Items items; // outlives the queue
        std::unique_ptr<IOperationQueue> queue(lowPower ? factory.Create() : factory.CreateBaseQueue());
        Blocker busy; // released before the queue is deleted
        ASSERT_NE(queue, nullptr);
        EXPECT_EQ(queue->GetCapacity(), 2);
        queue->Start();
        ASSERT_TRUE(HoldWorker(*queue, busy));
        for (int i = 0; i < 3; ++i) queue->Push(items.Make(i));
        // The kinds differ here: only the low-power queue says that it dropped the oldest.
        EXPECT_EQ(log.Count(L"operation queue full(LowPowerOperationQueue::Push)", adw::kLogInfo), lowPower ? 1 : 0);
        busy.Release();
        EXPECT_TRUE(adwtest::WaitUntil([&] { return items.Ran() == std::vector<int>{1, 2}; }));
    } // deleted while started
}

} // namespace queuetest
