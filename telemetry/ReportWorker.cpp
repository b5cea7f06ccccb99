#include "telemetry/ReportWorker.h"

#include <utility>

#include "common/CallLoggingExceptions.h"
#include "common/ExclusiveLock.h"
#include "common/LogLine.h"
#include "common/OwnModule.h"
#include "telemetry/DataReporter.h"

namespace KelvaneCenter {

namespace {

constexpr const char* kRunTag = "KelvaneCenter::ReportWorker::Run";

// What is left of a wait of `timeoutMs` that started at `startMs` (tick counts).
unsigned long RemainingMs(unsigned long long startMs, unsigned long long nowMs, unsigned long timeoutMs) {
    const unsigned long long elapsed = nowMs > startMs ? nowMs - startMs : 0;
    return elapsed >= timeoutMs ? 0 : static_cast<unsigned long>(timeoutMs - elapsed);
}

} // namespace

ReportWorker::ReportWorker(std::size_t capacity)
    : capacity_(capacity), pool_(::CreateThreadpool(nullptr)) {
    ::InitializeThreadpoolEnvironment(&environment_);
    // A pool of its own with one thread that stays, waiting in the pool and not
    // in our code: handing a report over then only wakes it. On the process's
    // shared pool a busy reporter would hold a thread that the manager's queue
    // expects to find idle, and Wine creates the missing thread on the thread
    // that submits, which is an engine thread. Without a pool of its own the
    // reporter still works on the shared one.
    if (pool_) {
        ::SetThreadpoolThreadMaximum(pool_.get(), 1);
        ::SetThreadpoolThreadMinimum(pool_.get(), 1);
        ::SetThreadpoolCallbackPool(&environment_, pool_.get());
    }
    // The pool holds the module while a callback is outstanding, so the library
    // cannot be unloaded under a report in progress.
    if (HMODULE module = adw::OwnModule()) {
        ::SetThreadpoolCallbackLibrary(&environment_, module);
    }
}

ReportWorker::~ReportWorker() {
    ::DestroyThreadpoolEnvironment(&environment_);
    // pool_ closes here; its idle thread ends on its own, nothing waits for it.
}

bool ReportWorker::Post(Job job) {
    bool start = false;
    {
        adw::ExclusiveLock guard(lock_);
        if (pending_.size() >= capacity_) {
            return false;
        }
        pending_.push_back(std::move(job));
        ++posted_;
        start = !workerActive_;
        workerActive_ = true;
    }
    if (start) {
        StartWorker();
    }
    return true;
}

void ReportWorker::Wake() noexcept {
    {
        adw::ExclusiveLock guard(lock_);
        if (workerActive_ || pending_.empty()) {
            return;
        }
        workerActive_ = true;
    }
    StartWorker();
}

// One pool callback per busy period: it drains the list and ends when it is
// empty, so no code of ours runs while there is nothing to report, and nothing
// of ours is left for process exit or library unload to join.
void ReportWorker::StartWorker() {
    if (::TrySubmitThreadpoolCallback(&ReportWorker::Run, this, &environment_)) {
        return;
    }
    const unsigned long error = ::GetLastError();
    {
        adw::ExclusiveLock guard(lock_);
        workerActive_ = false; // the next Post tries again; the jobs wait for it
    }
    adw::LogLine(adw::kLogError, "KelvaneCenter::ReportWorker::StartWorker", "report worker not started, error = ",
                 error);
}

bool ReportWorker::Flush(unsigned long timeoutMs) noexcept {
    Wake(); // jobs that a failed start left waiting are sent and waited for too
    const unsigned long long start = ::GetTickCount64();
    adw::ExclusiveLock guard(lock_);
    const std::uint64_t target = posted_;
    while (done_ < target && workerThread_ != ::GetCurrentThreadId()) {
        const unsigned long left = RemainingMs(start, ::GetTickCount64(), timeoutMs);
        if (left == 0) {
            break;
        }
        ::SleepConditionVariableSRW(&jobDone_, &lock_, left, 0);
    }
    return done_ >= target;
}

void CALLBACK ReportWorker::Run(PTP_CALLBACK_INSTANCE, void* context) noexcept {
    auto* self = static_cast<ReportWorker*>(context);
    adw::CallLoggingExceptions([self] { self->Drain(); }, kRunTag, "report worker ended by an exception: ");
}

void ReportWorker::Drain() {
    for (;;) {
        Job job;
        {
            adw::ExclusiveLock guard(lock_);
            if (pending_.empty()) {
                workerActive_ = false;
                return;
            }
            job = std::move(pending_.front());
            pending_.pop_front();
            workerThread_ = ::GetCurrentThreadId();
        }
        adw::CallLoggingExceptions(job, kRunTag, "report failed: ");
        job = nullptr; // what the job holds goes before it counts as done
        {
            adw::ExclusiveLock guard(lock_);
            workerThread_ = 0;
            ++done_;
        }
        ::WakeAllConditionVariable(&jobDone_);
    }
}

namespace {
ReportWorker* g_reportWorker = nullptr;
} // namespace

ReportWorker& TheReportWorker() {
    // Not a static object: at process exit a pool thread may have been stopped
    // inside a report, and nothing may wait for it then. A dynamic unload
    // releases it instead (ReleaseReportWorkerAtUnload), since a host that
    // loads the library again and again must not collect a pool per load.
    static ReportWorker* const worker = g_reportWorker = new ReportWorker(DataReporter::kMaxPendingReports);
    return *worker;
}

void ReleaseReportWorkerAtUnload() noexcept {
    delete std::exchange(g_reportWorker, nullptr);
}

} // namespace KelvaneCenter
