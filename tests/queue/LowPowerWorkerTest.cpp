// The low-power queue's on-demand worker: started by Push, one at a time, gone when idle.

#include <gtest/gtest.h>

#include <set>

#include "QueueTestKit.h"
#include "TestSupport.h"

using namespace queuetest;

namespace {

TEST(LowPowerWorker, StartAloneStartsNoWorker) {
    InspectableLowPower queue;
    queue.Start();
    EXPECT_TRUE(queue.IsRunning());
    EXPECT_FALSE(queue.WorkerActive());
}

TEST(LowPowerWorker, WorkerEndsWhenTheQueueDrains) {
    Recorder order;
    InspectableLowPower queue;
    queue.SetCapacity(10);
    queue.Start();
    for (int i = 0; i < 5; ++i) {
        queue.Push(order.Record(i));
    }
    ASSERT_TRUE(adwtest::WaitUntil([&] { return order.Size() == 5; }));
    ASSERT_TRUE(adwtest::WaitUntil([&] { return !queue.WorkerActive(); })) << "the worker outlived its work";
    queue.JoinWorker(); // returns: nothing runs on the queue's behalf any more
    EXPECT_EQ(queue.Pending(), 0u);

    queue.Push(order.Record(5)); // the next push brings a fresh worker
    ASSERT_TRUE(adwtest::WaitUntil([&] { return order.Size() == 6; }));
    ASSERT_TRUE(adwtest::WaitUntil([&] { return !queue.WorkerActive(); }));
}

TEST(LowPowerWorker, ItemsRunOffTheProducersThread) {
    InspectableLowPower queue;
    std::atomic<DWORD> workerThread{0};
    queue.Start();
    queue.Push([&] { workerThread = GetCurrentThreadId(); });
    ASSERT_TRUE(adwtest::WaitUntil([&] { return workerThread != 0; }));
    EXPECT_NE(workerThread, GetCurrentThreadId());
}

TEST(LowPowerWorker, PushOrderHoldsAcrossWorkerRestarts) {
    Recorder order;
    InspectableLowPower queue;
    queue.SetCapacity(10);
    queue.Start();
    int next = 0;
    for (int round = 0; round < 30; ++round) {
        for (int i = 0; i < 3; ++i) {
            queue.Push(order.Record(next++));
        }
        ASSERT_TRUE(adwtest::WaitUntil([&] { return order.Size() == static_cast<size_t>(next); }));
        ASSERT_TRUE(adwtest::WaitUntil([&] { return !queue.WorkerActive(); })) << "round " << round;
    }
    std::vector<int> expected(static_cast<size_t>(next));
    for (int i = 0; i < next; ++i) {
        expected[static_cast<size_t>(i)] = i;
    }
    EXPECT_EQ(order.Values(), expected);
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

TEST(LowPowerWorker, PushRightAfterEachItemNeverStrands) {
    InspectableLowPower queue;
    std::atomic<int> ran{0};
    std::atomic<int> concurrent{0};
    std::atomic<bool> overlapped{false};
    queue.Start();
    for (int i = 1; i <= 3000; ++i) {
        queue.Push([&] {
            if (concurrent.fetch_add(1) != 0) {
                overlapped = true;
            }
            concurrent.fetch_sub(1);
            ++ran; // the test pushes again at once, while this worker heads for its end
        });
        ASSERT_TRUE(SpinUntil([&] { return ran == i; })) << "item " << i << " never ran";
    }
    EXPECT_FALSE(overlapped);
    ASSERT_TRUE(adwtest::WaitUntil([&] { return !queue.WorkerActive(); }));
}

TEST(LowPowerWorker, OneWorkerAtATimeEvenWithManyBusyPeriods) {
    InspectableLowPower queue;
    std::atomic<int> concurrent{0};
    std::atomic<bool> overlapped{false};
    std::atomic<int> ran{0};
    std::mutex threadsLock;
    std::set<DWORD> threads;
    queue.SetCapacity(1000);
    queue.Start();
    for (int round = 0; round < 200; ++round) {
        for (int i = 0; i < 3; ++i) {
            queue.Push([&] {
                if (concurrent.fetch_add(1) != 0) {
                    overlapped = true;
                }
                {
                    std::lock_guard<std::mutex> lock(threadsLock);
                    threads.insert(GetCurrentThreadId());
                }
                concurrent.fetch_sub(1);
                ++ran;
            });
        }
        SwitchToThread();
    }
    ASSERT_TRUE(adwtest::WaitUntil([&] { return ran == 600; }));
    EXPECT_FALSE(overlapped);
    EXPECT_FALSE(threads.count(GetCurrentThreadId()));
}

} // namespace
