#pragma once

// One run of the focus-scene monitor, from a StartMonitor to the end of its
// threads: a hook thread that only pumps its hooks' events and hands the
// windows on, and a judge thread that judges them in order. Windows removes a
// low-level hook that keeps the desktop's input waiting, so nothing slow (a
// process opened, a log line, a report, the scene receiver) runs on the hook
// thread. Each thread holds the run and the library until it has ended, so a
// run whose stop timed out ends on its own beside a newer one and touches
// nothing but itself.

#include <windows.h>

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>

#include "common/UniqueResource.h"
#include "focus/FocusScene.h"

namespace KelvaneCenter {

// Creates a thread through the starter FocusScene::SetThreadStarter installed
// (the runtime's _beginthreadex by default); null when it cannot be created.
HANDLE StartMonitorThread(FocusScene::ThreadEntry entry, void* argument);

class MonitorRun {
public:
    // Both threads running, or null when one cannot be created (then nothing
    // of the run is left running once its judge thread has seen the stop).
    static std::shared_ptr<MonitorRun> Start(std::uint64_t id);

    MonitorRun(const MonitorRun&) = delete;
    MonitorRun& operator=(const MonitorRun&) = delete;
    ~MonitorRun() = default;

    // Any thread, never waits: the hook thread leaves its loop (removing its
    // hooks), and the judge thread ends after the judgement it is in, dropping
    // what it has not judged yet.
    void RequestStop();
    // Waits without a time limit until both threads have ended.
    void WaitEnded() const;
    // The caller is one of this run's threads, which must not wait for the run.
    bool RunsOnCurrentThread() const;

    // The hook thread: a window to be judged (or a foreground or location
    // event's window); the oldest is dropped when the judge thread lags far behind.
    void HandOver(HWND window, bool foreEvent);

private:
    struct Work {
        HWND window;
        bool foreEvent;
    };

    explicit MonitorRun(std::uint64_t id) : id_(id) {}

    static HANDLE StartThread(FocusScene::ThreadEntry entry, const std::shared_ptr<MonitorRun>& run);
    static unsigned __stdcall JudgeThreadProc(void* argument);
    void PumpHooks();
    void JudgeHandedWork();

    const std::uint64_t id_;
    adw::UniqueHandle hookThread_;
    adw::UniqueHandle judgeThread_;
    DWORD hookThreadId_ = 0;
    DWORD judgeThreadId_ = 0;

    std::atomic<bool> stopping_{false}; // set under lock_, so that the judge thread's wait sees it
    std::mutex lock_;                   // over pending_ and dropped_
    std::condition_variable wake_;
    std::deque<Work> pending_;
    std::size_t dropped_ = 0;

    friend unsigned __stdcall WndThreadProc(void*);
};

} // namespace KelvaneCenter
