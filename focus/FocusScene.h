#pragma once

// The focus-scene monitor: a thread of its own with low-level keyboard and
// mouse hooks and a foreground/location WinEvent hook, which judges per monitor
// whether a full-screen window, or one of a scene application, is in front,
// and reports each such window as a usage event.

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "common/UniqueResource.h"
#include "focus/SceneCallback.h"
#include "focus/SceneRules.h"

namespace KelvaneCenter {

class FocusScene {
public:
    // Created on first use, destroyed at unload (which neither stops the thread nor removes hooks).
    static FocusScene& GetInstance();

    FocusScene(const FocusScene&) = delete;
    FocusScene& operator=(const FocusScene&) = delete;
    ~FocusScene() = default;

    // True when the monitor runs afterwards, also when it ran already; false
    // when its thread cannot be created. Does not wait for the hooks.
    bool StartMonitor();
    // True when the monitor was not running or has been stopped (its thread
    // gone, or given up after 2 s); false only when the stopper thread cannot be
    // created. Tells the scene receiver false.
    bool StopMonitor();
    bool IsMonitoring() const { return monitoring.load(); }

    // Monitor thread only.
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

    // Hooks the monitor thread has installed and not yet removed (0 to 3).
    static int InstalledHooks();

    // How the monitor and stopper threads are started: the runtime's
    // _beginthreadex unless replaced (null restores it), so that a failure to
    // create a thread can be staged.
    using ThreadEntry = unsigned(__stdcall*)(void*);
    using ThreadStarter = std::uintptr_t (*)(ThreadEntry entry);
    static void SetThreadStarter(ThreadStarter starter);

private:
    FocusScene() = default;

    std::vector<std::string> exemptProcesses;
    std::vector<std::string> sceneProcesses;
    SceneCallback sceneCallback;
    std::atomic<bool> monitoring{false};
    MonitorScenes monitorScenes;
    std::string sceneProcess;
    adw::UniqueHandle wakeEvent;

    // One lock over the two lists, monitorScenes and sceneProcess:
    // IsIgnoreProcess reads them on engine threads while the monitor thread
    // changes them. It is held only to read or update them, never while a
    // process is opened, a report is made or the receiver is called.
    mutable std::mutex stateLock_;
    // Start and stop one at a time, so that a stop never meets a half-made start.
    std::mutex startStopLock_;
};

} // namespace KelvaneCenter
