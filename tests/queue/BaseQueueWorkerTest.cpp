// The base queue's long-lived worker thread and its wake-up event.

#include <gtest/gtest.h>

#include <set>
#include <system_error>

#include "QueueTestKit.h"

using namespace queuetest;

namespace {

TEST(BaseQueueWorker, AllItemsRunOnOneThreadEvenAfterASecondStart) {
    Inspectable<OperationQueueBase> queue;
    std::set<DWORD> threads; // written on the worker only
    std::atomic<int> ran{0};
    queue.Start();
    queue.Start(); // ignored: still one worker
    for (int i = 1; i <= 5; ++i) {
        queue.Push([&] {
            threads.insert(GetCurrentThreadId());
            ++ran;
        });
        ASSERT_TRUE(adwtest::WaitUntil([&] { return ran == i; })); // the worker goes back to sleep in between
    }
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
