// The focus-scene monitor's start and stop.

#include <process.h>

#include <algorithm>
#include <utility>

#include "common/LogLine.h"
#include "focus/FocusScene.h"
#include "focus/MonitorRun.h"

namespace KelvaneCenter {

namespace {

constexpr char kStartTag[] = "KelvaneCenter::FocusScene::StartMonitor";
constexpr char kStopTag[] = "KelvaneCenter::FocusScene::StopMonitor";
constexpr char kStopperTag[] = "`anonymous-namespace'::StopWndThreadProcWnd";
constexpr DWORD kStopWaitMs = 2000;

std::atomic<FocusScene::ThreadStarter> g_threadStarter{nullptr};

DWORD RemainingMs(ULONGLONG deadline, ULONGLONG now) {
    return now >= deadline ? 0 : static_cast<DWORD>(deadline - now);
}

// Waits for `thread` at most `timeoutMs` while serving messages sent to this
// thread: a scene receiver on the judge thread may SendMessage to the thread
// that stops it (a host's UI thread). WAIT_TIMEOUT when the time ran out.
DWORD WaitServingSentMessages(HANDLE thread, DWORD timeoutMs) {
    const ULONGLONG deadline = ::GetTickCount64() + timeoutMs;
    for (;;) {
        const DWORD result = ::MsgWaitForMultipleObjectsEx(1, &thread, RemainingMs(deadline, ::GetTickCount64()),
                                                           QS_SENDMESSAGE, 0);
        if (result != WAIT_OBJECT_0 + 1) {
            return result;
        }
        MSG message;
        ::PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
    }
}

// Waits for the run being stopped, with no time limit; owns nothing, so that
// StopMonitor may end it when the run does not end in time.
unsigned __stdcall StopWndThreadProcWnd(void* argument) {
    const MonitorRun* run = static_cast<const MonitorRun*>(argument);
    if (run == nullptr) {
        adw::LogLine(adw::kLogError, kStopperTag, "stop wnd thread id is null");
        return 0;
    }
    run->WaitEnded();
    return 0;
}

} // namespace

HANDLE StartMonitorThread(FocusScene::ThreadEntry entry, void* argument) {
    if (FocusScene::ThreadStarter starter = g_threadStarter.load()) {
        return reinterpret_cast<HANDLE>(starter(entry, argument));
    }
    return reinterpret_cast<HANDLE>(::_beginthreadex(nullptr, 0, entry, argument, 0, nullptr));
}

FocusScene& FocusScene::GetInstance() {
    static FocusScene instance;
    return instance;
}

bool FocusScene::StartMonitor() {
    std::lock_guard<std::mutex> serial(startStopLock_);
    if (RefusedOnStoppingThread(kStartTag)) {
        return false;
    }
    if (monitoring.exchange(true)) {
        adw::LogLine(adw::kLogInfo, kStartTag, "already exist monitor");
        return true;
    }
    const std::uint64_t id = ++runsStarted_;
    {
        std::lock_guard<std::mutex> state(stateLock_);
        currentRun_ = id;
    }
    run_ = MonitorRun::Start(id);
    if (!wakeEvent) {
        wakeEvent.reset(::CreateEventW(nullptr, FALSE, FALSE, nullptr));
    }
    return run_ != nullptr;
}

// The stop waits outside the start/stop lock, serving sent messages: a handler
// they run may call in again. That call is refused at once rather than waiting
// for a stop that waits for it.
bool FocusScene::StopMonitor() {
    std::shared_ptr<MonitorRun> run;
    adw::UniqueHandle stopper;
    {
        std::lock_guard<std::mutex> serial(startStopLock_);
        if (RefusedOnStoppingThread(kStopTag)) {
            return false;
        }
        if (!monitoring.exchange(false)) {
            adw::LogLine(adw::kLogInfo, kStopTag, "not exist monitor");
            return true;
        }
        if (wakeEvent) {
            ::SetEvent(wakeEvent.get());
            wakeEvent.reset();
        }
        run = std::exchange(run_, nullptr);
        EndScenes();
        if (run) {
            run->RequestStop();
        }
        // A stop from the run's own judge thread (its scene receiver) cannot
        // wait for that thread: the run ends once the receiver has returned.
        if (!run || !run->RunsOnCurrentThread()) {
            stoppingThreads_.push_back(::GetCurrentThreadId());
            stopper.reset(StartMonitorThread(&StopWndThreadProcWnd, run.get()));
            if (!stopper) {
                stoppingThreads_.pop_back();
                return false;
            }
        }
    }
    if (stopper) {
        if (WaitServingSentMessages(stopper.get(), kStopWaitMs) == WAIT_TIMEOUT) {
            adw::LogLine(adw::kLogInfo, kStopTag, "fail to stop window thread. time is out.");
            // The run ends on its own once its judgement returns. The stopper
            // uses the run, which is released below: it must be gone first,
            // and TerminateThread does not wait.
            ::TerminateThread(stopper.get(), 0);
            ::WaitForSingleObject(stopper.get(), INFINITE);
        }
        std::lock_guard<std::mutex> serial(startStopLock_);
        stoppingThreads_.erase(std::find(stoppingThreads_.begin(), stoppingThreads_.end(), ::GetCurrentThreadId()));
    }
    sceneCallback.Call(false);
    return true;
}

bool FocusScene::RefusedOnStoppingThread(const char* tag) const {
    if (std::find(stoppingThreads_.begin(), stoppingThreads_.end(), ::GetCurrentThreadId()) ==
        stoppingThreads_.end()) {
        return false;
    }
    adw::LogLine(adw::kLogError, tag, "refused: called again on a thread that is stopping the monitor");
    return true;
}

void FocusScene::SetThreadStarter(ThreadStarter starter) {
    g_threadStarter.store(starter);
}

} // namespace KelvaneCenter
