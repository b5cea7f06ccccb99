#include "queue/LowPowerOperationQueue.h"

#include <memory>
#include <utility>

#include "common/CallLoggingExceptions.h"
#include "common/EnginePath.h"
#include "common/ExclusiveLock.h"
#include "common/LogLine.h"
#include "queue/ThreadpoolWorker.h"

LowPowerOperationQueue::~LowPowerOperationQueue() {
    // Stopped here, not only in the base destructor: a running worker calls
    // DealQueue through the virtual table, which must still be this class's.
    StopQuietly("LowPowerOperationQueue::~LowPowerOperationQueue");
    worker_.reset(); // closing the work object waits for its callback
}

void LowPowerOperationQueue::Start() {
    adw::ExclusiveLock lock(queueMutex_);
    running_ = true;
}

ADW_ENGINE_PATH void LowPowerOperationQueue::OnEnqueued(Enqueued result) {
    if (result == Enqueued::AddedDroppingOldest) {
        adw::LogLine(adw::kLogInfo, "LowPowerOperationQueue::Push", "operation queue full");
    }
    // The item is queued whatever happens here: when no worker can be had
    // now (the pool refused a work object), the next Push tries again.
    adw::CallLoggingExceptions([this] { EnsureWorker(); }, "LowPowerOperationQueue::Push",
                               "no worker started, the job waits for the next push: ");
}

// Once Stop has refused pushes, a Push that got past Enqueue may still be on
// its way to EnsureWorker. Passing the worker mutex here means such a Push has
// either submitted its worker already (which the join then waits for) or will
// find the queue stopped and submit nothing.
void LowPowerOperationQueue::OnStopping() {
    adw::ExclusiveLock barrier(workerMutex_);
}

ADW_ENGINE_PATH void LowPowerOperationQueue::EnsureWorker() {
    adw::ExclusiveLock lock(workerMutex_);
    if (workerActive_ || !running_) {
        return;
    }
    // Workers run as work items of the system thread pool, not on threads of
    // their own. A worker is needed for every busy period and Push waits until
    // it exists; under Wine starting a thread and reaching its body takes ~3 ms,
    // while a pool submit costs ~15 us and runs the callback ~15-20 us later, so
    // an isolated engine notification would pay ~3 ms on the engine's thread.
    // The pool keeps what the queue needs: no thread of ours and nothing woken
    // while idle, one worker at a time and push order (one list, one worker).
    // Worker-active alone makes it one at a time: a worker clears it only once
    // it has left its loop, so the previous callback is not waited for here
    // (its return may overlap the next callback's start, never its loop).
    // The work object is made once and submitted per busy period.
    if (!worker_) {
        worker_ = std::make_unique<adw::ThreadpoolWorker>([this] {
            try {
                DealQueue();
            } catch (...) {
                workerActive_ = false; // lets the next Push start a fresh worker
                throw;
            }
        });
    }
    workerActive_ = true;
    worker_->Start();
}

void LowPowerOperationQueue::DealQueue() {
    // The producer that started this worker is usually still returning from
    // Push. When every other core is busy the fresh worker takes the
    // producer's core, and an engine thread would wait out whole jobs before
    // its notification returns: let it finish first.
    ::SwitchToThread();
    while (running_ && workerActive_) {
        Item item;
        if (Pop(item)) {
            RunItem(std::move(item), "LowPowerOperationQueue::DealQueue");
            continue;
        }
        if (FinishIfIdle()) {
            return;
        }
    }
    workerActive_ = false; // stopped: pushes are refused, nothing can be left behind
}

bool LowPowerOperationQueue::FinishIfIdle() {
    adw::ExclusiveLock lock(queueMutex_);
    if (!items_.empty()) {
        return false;
    }
    workerActive_ = false;
    return true;
}
