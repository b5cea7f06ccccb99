// The base queue's long-lived worker thread and its wake-up event.

#include <gtest/gtest.h>

#include <set>
#include <system_error>

#include "QueueTestKit.h"
#include "TestSupport.h"

using namespace queuetest;

namespace {

TEST(BaseQueueWorker, AllItemsRunOnOneThreadEvenAfterASecondStart) {
    Inspectable<OperationQueueBase> queue;
    std::mutex lock;
    std::set<DWORD> threads;
    std::atomic<int> ran{0};
    queue.SetCapacity(100);
    queue.Start();
    queue.Start(); // ignored: still one worker
    for (int i = 0; i < 50; ++i) {
        queue.Push([&] {
            {
                std::lock_guard<std::mutex> guard(lock);
                threads.insert(GetCurrentThreadId());
            }
            ++ran;
        });
        if (i % 10 == 0) {
            ASSERT_TRUE(adwtest::WaitUntil([&] { return ran == i + 1; })); // let the worker go back to sleep
        }
    }
    ASSERT_TRUE(adwtest::WaitUntil([&] { return ran == 50; }));
    EXPECT_EQ(threads.size(), 1u);
    EXPECT_FALSE(threads.count(GetCurrentThreadId()));
}

TEST(BaseQueueWorker, StopWakesASleepingWorkerAtOnce) {
    Inspectable<OperationQueueBase> queue;
    queue.Start();
    const auto begin = std::chrono::steady_clock::now();
    queue.Stop(); // the worker sleeps on its 60 s idle wait
    EXPECT_LT(std::chrono::steady_clock::now() - begin, std::chrono::seconds(30));
}

// A queue whose wake-up handle is a real handle that cannot be waited on.
class UnwaitableEventQueue : public Inspectable<OperationQueueBase> {
public:
    UnwaitableEventQueue() {
        wakeEvent_.reset(CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, 4096, nullptr));
    }
    bool HasHandle() const { return static_cast<bool>(wakeEvent_); }
};

TEST(BaseQueueWorker, FailedWaitIsLoggedAndTheWorkerGoesOn) {
    adwtest::LogCapture log;
    Recorder order;
    UnwaitableEventQueue queue;
    ASSERT_TRUE(queue.HasHandle());
    queue.Start();
    ASSERT_TRUE(adwtest::WaitUntil([&] { return log.Count(kWaitFailedLine, adw::kLogInfo) > 0; })) << log.Dump();
    queue.Push(order.Record(1));
    ASSERT_TRUE(adwtest::WaitUntil([&] { return order.Size() == 1; }));
    queue.Stop();
}

class EventlessQueue : public Inspectable<OperationQueueBase> {
public:
    EventlessQueue() { wakeEvent_.reset(); }
};

TEST(BaseQueueWorker, WithoutAWakeUpEventStartIsRefused) {
    ItemCounters counters;
    EventlessQueue queue;
    EXPECT_THROW(queue.Start(), std::system_error);
    EXPECT_FALSE(queue.IsRunning());
    queue.Push(Counted(counters));
    EXPECT_EQ(counters.destroyedUnrun, 1);
}

} // namespace
