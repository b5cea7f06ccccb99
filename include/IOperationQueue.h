#pragma once

#include <functional>

#include "AdWardenExport.h"

// Deriving from it makes a class non-copyable.
class ADWARDEN_API UnCopyable {
protected:
    UnCopyable();
    ~UnCopyable();

public:
    UnCopyable(const UnCopyable&) = delete;
    UnCopyable& operator=(const UnCopyable&) = delete;
};

// A single-worker queue of callables, run one after another in push order.
class ADWARDEN_API IOperationQueue {
public:
    // Defined in the library (not inline) so that every compiler exports them.
    IOperationQueue();
    IOperationQueue(const IOperationQueue&);
    IOperationQueue& operator=(const IOperationQueue&);
    virtual ~IOperationQueue();

    virtual void Start() = 0;
    virtual void Stop() = 0;
    virtual void Push(std::function<void()> item) = 0;
    virtual int GetCapacity() = 0;
    virtual void SetCapacity(int capacity) = 0;
    virtual bool Pop(std::function<void()>& item) = 0;
    virtual void DealQueue() = 0;
};

class ADWARDEN_API OperationQueueFactory {
public:
    // Defined in the library (not inline) so that every compiler exports them.
    OperationQueueFactory& operator=(const OperationQueueFactory&);
    OperationQueueFactory& operator=(OperationQueueFactory&&) noexcept;

    // A LowPowerOperationQueue, constructed but not started; null when memory is exhausted.
    IOperationQueue* Create();
    // The same for an OperationQueueBase.
    IOperationQueue* CreateBaseQueue();
};
