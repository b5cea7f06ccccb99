#pragma once

#include <windows.h>

#include <atomic>
#include <functional>
#include <list>
#include <memory>
#include <mutex>

#include "IOperationQueue.h"
#include "common/UniqueResource.h"
#include "queue/QueueWorker.h"

// A queue with one long-lived worker thread that sleeps on an event between items.
class OperationQueueBase : public IOperationQueue, private UnCopyable {
public:
    OperationQueueBase();
    ~OperationQueueBase() override;

    void Start() override;
    void Stop() override;
    void Push(std::function<void()> item) override;
    int GetCapacity() override;
    void SetCapacity(int capacity) override;
    bool Pop(std::function<void()>& item) override;
    void DealQueue() override;

protected:
    using Item = std::function<void()>;

    // Inserts `item` (moved) as the newest; when the queue is full, moves the
    // oldest pending item into `dropped` and returns true. Takes the queue mutex.
    bool Enqueue(Item& item, Item& dropped);
    // Invokes and destroys one item; an exception it throws is logged under `tag`.
    static void RunItem(Item item, const char* tag) noexcept;
    // Stop for a destructor: a failure is logged under `tag`, never thrown.
    void StopQuietly(const char* tag) noexcept;

    std::list<Item> items_; // newest at the front, oldest at the back
    std::mutex queueMutex_;
    adw::UniqueHandle wakeEvent_;
    std::unique_ptr<adw::QueueWorker> worker_;
    std::atomic<bool> running_{false};
    std::atomic<int> capacity_{2};
    const DWORD idleWait_ = 60000;
};
