#pragma once

#include <atomic>
#include <functional>

#include "queue/OperationQueueBase.h"

// A queue that holds no thread while idle: Push starts a worker when none is
// active, and the worker ends as soon as the queue is empty.
class LowPowerOperationQueue : public OperationQueueBase {
public:
    LowPowerOperationQueue() = default;
    ~LowPowerOperationQueue() override;

    void Start() override;
    void DealQueue() override;

protected:
    void OnEnqueued(Enqueued result) override;
    void OnStopping() override;
    void EnsureWorker();
    // The worker's decision to end: true, with worker-active cleared, when
    // nothing is pending. Taken under the queue mutex, so a Push either leaves
    // its item to this worker or finds worker-active false and starts another.
    bool FinishIfIdle();

    std::atomic<bool> workerActive_{false};
    SRWLOCK workerMutex_ = SRWLOCK_INIT; // serialises the starting of workers
};
