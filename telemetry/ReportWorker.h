#pragma once

// The reporter's own worker: reports handed over on any thread are sent one at
// a time, in the order they were handed over, on the one thread of a thread
// pool of its own.

#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>

#include "common/UniqueResource.h"

namespace KelvaneCenter {

class ReportWorker {
public:
    using Job = std::function<void()>;

    explicit ReportWorker(std::size_t capacity);
    // Never waits: called only when no report is in progress (the library is
    // being unloaded, which a running report's pool callback prevents).
    ~ReportWorker();
    ReportWorker(const ReportWorker&) = delete;
    ReportWorker& operator=(const ReportWorker&) = delete;

    // Queues the job behind the pending ones and returns without waiting for
    // any of them; false, with the job not taken, when `capacity` jobs are
    // pending already. Throws only what allocation throws.
    bool Post(Job job);
    // Waits until every job posted before the call has run, at most timeoutMs;
    // true when all have. On the worker itself it returns at once, false: the
    // job in progress has not run yet.
    bool Flush(unsigned long timeoutMs) noexcept;

private:
    static void CALLBACK Run(PTP_CALLBACK_INSTANCE instance, void* context) noexcept;
    void Drain();
    // Starts the worker for jobs that a failed start left waiting; nothing
    // when it runs already or nothing waits.
    void Wake() noexcept;
    void StartWorker();

    const std::size_t capacity_;
    adw::UniqueThreadpool pool_;
    TP_CALLBACK_ENVIRON environment_;
    SRWLOCK lock_ = SRWLOCK_INIT;
    CONDITION_VARIABLE jobDone_ = CONDITION_VARIABLE_INIT;
    // Under lock_:
    std::deque<Job> pending_; // oldest first
    bool workerActive_ = false; // a pool callback is draining, or has been asked to
    DWORD workerThread_ = 0;    // the thread inside a job, 0 between jobs
    std::uint64_t posted_ = 0;
    std::uint64_t done_ = 0;
};

// The data reporter's worker, made on first use.
ReportWorker& TheReportWorker();
// At unload of the library: the worker's pool and its thread go with it.
void ReleaseReportWorkerAtUnload() noexcept;

} // namespace KelvaneCenter
