// The queue factory as the host reaches it: imported from AdWarden.dll.

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <utility>

#include "IOperationQueue.h"
#include "TestSupport.h"

namespace {

void RunOneItem(IOperationQueue* raw) {
    std::unique_ptr<IOperationQueue> queue(raw);
    ASSERT_NE(queue, nullptr);
    EXPECT_EQ(queue->GetCapacity(), 2);
    std::atomic<int> ran{0};
    queue->Start();
    queue->Push([&] { ++ran; });
    ASSERT_TRUE(adwtest::WaitUntil([&] { return ran == 1; }));
    queue->Stop();
    queue->Push([&] { ++ran; });
    EXPECT_EQ(ran, 1);
}

TEST(QueueExport, FactoryAndItsAssignmentsComeFromTheDll) {
    OperationQueueFactory factory;
    OperationQueueFactory other;
    factory = other;
    factory = std::move(other);
    RunOneItem(factory.Create());
    RunOneItem(factory.CreateBaseQueue());
}

// The interface's special members and virtual table come from the DLL too.
class OwnQueue : public IOperationQueue {
public:
    void Start() override {}
    void Stop() override {}
    void Push(std::function<void()> item) override { item(); }
    int GetCapacity() override { return 7; }
    void SetCapacity(int) override {}
    bool Pop(std::function<void()>&) override { return false; }
    void DealQueue() override {}
};

TEST(QueueExport, InterfaceCanBeImplementedByTheHost) {
    std::unique_ptr<IOperationQueue> queue = std::make_unique<OwnQueue>();
    int ran = 0;
    queue->Push([&] { ++ran; });
    EXPECT_EQ(ran, 1);
    EXPECT_EQ(queue->GetCapacity(), 7);
}

} // namespace
