// The low-power queue's on-demand worker: started by Push, one at a time, gone when idle.

#include <gtest/gtest.h>

#include "QueueTestKit.h"

using namespace queuetest;

namespace {

TEST(LowPowerWorker, WorkerLivesOnlyWhileItemsArePendingAndOrderHoldsAcrossRestarts) {
    Recorder order;
    InspectableLowPower queue;
    queue.SetCapacity(10);
    queue.Start();
    EXPECT_FALSE(queue.WorkerActive()) << "Start alone started a worker";
    int next = 0;
    for (int round = 0; round < 30; ++round) {
        for (int i = 0; i < 3; ++i) {
            queue.Push(order.Record(next++));
        }
        ASSERT_TRUE(adwtest::WaitUntil([&] { return order.Size() == static_cast<size_t>(next); }));
        ASSERT_TRUE(adwtest::WaitUntil([&] { return !queue.WorkerActive(); })) << "worker outlived round " << round;
    }
    queue.JoinWorker(); // returns: nothing runs on the queue's behalf any more
    EXPECT_EQ(order.Values(), Range(0, next));
}

// Holds the worker inside the Pop that found the queue empty, so that the
// test can push exactly while the worker is deciding to finish.
class PausingOnEmptyPop : public InspectableLowPower {
public:
    bool Pop(std::function<void()>& item) override {
        const bool got = LowPowerOperationQueue::Pop(item);
        if (!got && armed.exchange(false)) {
            foundEmpty = true;
            SpinUntil([this] { return resume.load(); });
        }
        return got;
    }
    std::atomic<bool> armed{false};
    std::atomic<bool> foundEmpty{false};
    std::atomic<bool> resume{false};
};

TEST(LowPowerWorker, ItemPushedWhileTheWorkerFindsTheQueueEmptyStillRuns) {
    Recorder order;
    PausingOnEmptyPop queue;
    queue.Start();
    queue.armed = true;
    queue.Push(order.Record(1));
    ASSERT_TRUE(adwtest::WaitUntil([&] { return queue.foundEmpty.load(); }));
    ASSERT_TRUE(queue.WorkerActive());

    queue.Push(order.Record(2)); // the worker is still active: no new worker is started for it
    queue.resume = true;
    ASSERT_TRUE(adwtest::WaitUntil([&] { return order.Size() == 2; })) << "item stranded by a finishing worker";
    EXPECT_EQ(order.Values(), (std::vector<int>{1, 2}));
    ASSERT_TRUE(adwtest::WaitUntil([&] { return !queue.WorkerActive(); }));
}

TEST(LowPowerWorker, PushRightAfterEachItemNeverStrandsNorOverlaps) {
    InspectableLowPower queue;
    const DWORD producer = GetCurrentThreadId();
    std::atomic<int> ran{0};
    std::atomic<int> concurrent{0};
    std::atomic<bool> wrong{false}; // two at once, or on the producer's thread
    queue.Start();
    for (int i = 1; i <= 3000; ++i) {
        queue.Push([&] {
            if (concurrent.fetch_add(1) != 0 || GetCurrentThreadId() == producer) {
                wrong = true;
            }
            concurrent.fetch_sub(1);
            ++ran; // the test pushes again at once, while this worker heads for its end
        });
        ASSERT_TRUE(SpinUntil([&] { return ran == i; })) << "item " << i << " never ran";
    }
    EXPECT_FALSE(wrong);
    ASSERT_TRUE(adwtest::WaitUntil([&] { return !queue.WorkerActive(); }));
}

} // namespace
