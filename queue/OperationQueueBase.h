#pragma once

#include <windows.h>

#include <atomic>
#include <functional>
#include <list>
#include <memory>
#include <mutex>
#include <utility>

#include "IOperationQueue.h"
#include "common/ExclusiveLock.h"
#include "common/UniqueResource.h"
#include "queue/QueueWorker.h"

// A queue with one long-lived worker thread that sleeps on an event between items.
//
// Start never throws: a queue that cannot get its worker logs why and stays
// stopped. After Stop returns no item runs and none is pending, and a later Push is
// refused. Stop called by an item on the worker itself cannot wait for its own
// thread: it refuses pushes, discards what is pending and returns; the worker
// ends when that item returns, and the destructor (on another thread) waits for it.
class OperationQueueBase : public IOperationQueue, private UnCopyable {
public:
    OperationQueueBase();
    ~OperationQueueBase() override;

    void Start() override;
    void Stop() override;
    void Push(std::function<void()> item) override;
    // Push for an item that a full queue never drops: a full queue drops its
    // oldest droppable item instead, or, having none, holds one item more.
    void PushKept(std::function<void()> item);
    int GetCapacity() override;
    void SetCapacity(int capacity) override;
    bool Pop(std::function<void()>& item) override;
    void DealQueue() override;

    using Item = std::function<void()>;
    // Told of each item that is destroyed without being run (refused, dropped
    // by a full queue, discarded by Stop), outside the queue's mutex, just
    // before it is destroyed. It lets an item stored inside the function
    // object, which has no destructor of its own, give back what it holds.
    using DiscardHandler = void (*)(Item& item) noexcept;
    // Set before Start; pushes read it without a lock.
    void SetDiscardHandler(DiscardHandler handler) { discardHandler_ = handler; }

protected:

    enum class Enqueued { Refused, Added, AddedDroppingOldest };

    struct Entry {
        Entry(Item& item, bool keep) : run(std::move(item)), kept(keep) {} // moves only once its node exists
        Item run;
        bool kept; // never dropped by a full queue
    };

    // Inserts `item` (moved) as the newest unless the queue is stopped; when the
    // queue is full, moves the oldest pending droppable item into `dropped`.
    // The running test and the insertion are one step under the queue mutex, so
    // nothing can be queued behind a Stop that has already drained.
    Enqueued Enqueue(Item& item, bool kept, Item& dropped);
    // Push and PushKept: enqueues, then wakes or starts the worker. Throws only
    // when the item could not be queued (no node for it): it is then the caller's still.
    void Add(Item& item, bool kept);
    // Hands an item that will not run to the discard handler, then destroys it.
    void Discard(Item& item) noexcept;
    // Keeps the node of an item taken out of the list for a later Enqueue, so a
    // queue that has been this full before queues without allocating. Under the queue mutex.
    void Recycle(std::list<Entry>::iterator node) noexcept;
    // After an item was added: wakes or starts the worker.
    virtual void OnEnqueued(Enqueued result);
    // Invokes and destroys one item; an exception it throws is logged under `tag`.
    static void RunItem(Item item, const char* tag) noexcept;
    // Stop for a destructor: a failure is logged under `tag`, never thrown.
    void StopQuietly(const char* tag) noexcept;
    // Called by Stop once pushes are refused and before the worker is joined.
    virtual void OnStopping() {}
    void DiscardPending() noexcept;

    std::list<Entry> items_; // newest at the front, oldest at the back
    std::list<Entry> spare_; // emptied nodes for Enqueue, at most as many as the capacity
    DiscardHandler discardHandler_ = nullptr;
    SRWLOCK queueMutex_ = SRWLOCK_INIT;
    std::mutex stopMutex_; // concurrent Stops all return only after the join
    adw::UniqueHandle wakeEvent_;
    std::unique_ptr<adw::QueueWorker> worker_;
    std::atomic<bool> running_{false};
    std::atomic<int> capacity_{2};
    const DWORD idleWait_ = 60000;
};
