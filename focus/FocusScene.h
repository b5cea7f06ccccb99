#pragma once

// The focus-scene monitor: a hook thread with low-level keyboard and mouse
// hooks and a foreground/location WinEvent hook, and a judge thread beside it,
// which judges per monitor whether a full-screen window, or one of a scene
// application, is in front, and reports each such window as a usage event.

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "common/UniqueResource.h"
#include "focus/SceneCallback.h"
#include "focus/SceneRules.h"

namespace KelvaneCenter {

class MonitorRun;

class FocusScene {
public:
    // Created on first use, destroyed at unload. A running monitor holds the
    // library loaded, so unloading it means the monitor has been stopped.
    static FocusScene& GetInstance();

    FocusScene(const FocusScene&) = delete;
    FocusScene& operator=(const FocusScene&) = delete;
    ~FocusScene() = default;

    // True when the monitor runs afterwards, also when it ran already; false
    // when a thread of it cannot be created. Does not wait for the hooks.
    // Both refuse at once (false, a level-4 line) a call made on a thread
    // whose StopMonitor is waiting, from a message that wait serves.
    bool StartMonitor();
    // True when the monitor was not running or has been stopped (its threads
    // gone, or given up after 2 s: they then end on their own and change
    // nothing); false when the stopper thread cannot be created. Either way
    // the monitor is told to end, no scene is left active and a start runs a
    // new monitor. Tells the scene receiver false.
    bool StopMonitor();
    bool IsMonitoring() const { return monitoring.load(); }

    // Judges a window on the caller's thread, as the monitor's judge thread
    // does with each window its hooks hand over.
    void FocusSceneJudge(const HWND& window);
    void HandleForeEvent(const HWND& window);
    bool IsValidFullScreenWin(const HWND& window);
    // Any thread: true when the window must be left alone.
    bool IsIgnoreProcess(const HWND& window);

    // The image file name of the process, lower-case UTF-8; "" when unreadable.
    static std::string GetProcessImageName(DWORD processId);

    // Any thread. Both lists hold lower-case UTF-8 image file names.
    void SetProcessLists(std::vector<std::string> exempt, std::vector<std::string> scene);
    // Installs the receiver of the scene-active flag, or clears it with an empty
    // function; once this returns the previous one is neither running nor called.
    void SetSceneCallback(std::function<void(bool)> receiver) { sceneCallback.Set(std::move(receiver)); }
    // Any thread: a focus scene is active on `monitor`.
    bool IsSceneActiveOn(HMONITOR monitor) const;
    // Records a judgement's outcome on `monitor`; returns the flag passed on.
    bool RecordJudgement(HMONITOR monitor, bool active, const std::string& name);

    // Hooks the monitor's hook threads have installed and not yet removed
    // (0 to 3, more only while a run whose stop timed out is still leaving).
    static int InstalledHooks();

    // How the monitor's and the stopper threads are started: the runtime's
    // _beginthreadex unless replaced (null restores it), so that a failure to
    // create a thread can be staged.
    using ThreadEntry = unsigned(__stdcall*)(void*);
    using ThreadStarter = std::uintptr_t (*)(ThreadEntry entry, void* argument);
    static void SetThreadStarter(ThreadStarter starter);

private:
    friend class MonitorRun;

    FocusScene() = default;

    // Judgements of run `run` (kAnyRun: a caller of FocusSceneJudge or
    // RecordJudgement) change the scene and tell the receiver only while that
    // run is the current one.
    static constexpr std::uint64_t kAnyRun = 0;
    void Judge(std::uint64_t run, HWND window);
    void ForeEvent(std::uint64_t run, HWND window);
    // The flag to pass on, or none when the judgement came too late.
    std::optional<bool> RecordFor(std::uint64_t run, HMONITOR monitor, bool active, const std::string& name);
    // No run's judgements count any more and no scene is active.
    void EndScenes();
    bool RefusedOnStoppingThread(const char* tag) const;

    std::vector<std::string> exemptProcesses;
    std::vector<std::string> sceneProcesses;
    SceneCallback sceneCallback;
    std::atomic<bool> monitoring{false};
    MonitorScenes monitorScenes;
    std::string sceneProcess;
    adw::UniqueHandle wakeEvent;
    std::uint64_t currentRun_ = kAnyRun; // the run whose judgements count; kAnyRun while none runs

    // One lock over the two lists, monitorScenes, sceneProcess and currentRun_:
    // IsIgnoreProcess reads them on engine threads while the judge thread
    // changes them. It is held only to read or update them, never while a
    // process is opened, a report is made or the receiver is called.
    mutable std::mutex stateLock_;
    // Over the fields below. Held by a start or a stop only while it swaps the
    // run, never across a wait or a call out, so a stop never meets a half-made
    // start.
    std::mutex startStopLock_;
    std::shared_ptr<MonitorRun> run_; // null when idle or when the start failed
    std::uint64_t runsStarted_ = 0;
    std::vector<DWORD> stoppingThreads_; // threads inside StopMonitor's wait
};

} // namespace KelvaneCenter
