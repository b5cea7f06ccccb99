// Full-screen and scene judgement, and the question whether a window must be left alone.

#include <shlwapi.h>

#include "common/LogLine.h"
#include "focus/FocusScene.h"
#include "telemetry/DataReporter.h"
#include "vendor/ProcessIdentity.h"
#include "vendor/ProcessImagePath.h"

namespace KelvaneCenter {

namespace {
constexpr char kFullScreenTag[] = "KelvaneCenter::FocusScene::IsValidFullScreenWin";
constexpr char kJudgeTag[] = "KelvaneCenter::FocusScene::FocusSceneJudge";
constexpr char kForeEventTag[] = "KelvaneCenter::FocusScene::HandleForeEvent";
constexpr char kIgnoreTag[] = "KelvaneCenter::FocusScene::IsIgnoreProcess";
// WS_EX_TRANSPARENT | WS_EX_NOREDIRECTIONBITMAP: nothing of the window is seen.
constexpr LONG kUnseenStyles = 0x00200020;

bool IsShownWindow(HWND window) {
    return window != nullptr && ::IsWindow(window) && ::IsWindowVisible(window);
}

DWORD ProcessOf(HWND window) {
    DWORD processId = 0;
    ::GetWindowThreadProcessId(window, &processId);
    return processId;
}

HMONITOR MonitorOf(HWND window) {
    return ::MonitorFromWindow(window, MONITOR_DEFAULTTONEAREST);
}
} // namespace

std::string FocusScene::GetProcessImageName(DWORD processId) {
    const std::wstring path = GetProcessImagePathById(processId);
    const wchar_t* fileName = path.empty() ? nullptr : ::PathFindFileNameW(path.c_str());
    return fileName != nullptr ? LowerAscii(WideToUtf8(fileName)) : std::string();
}

bool FocusScene::IsValidFullScreenWin(const HWND& window) {
    RECT windowRect;
    if (!::GetWindowRect(window, &windowRect)) {
        return false;
    }
    MONITORINFO monitor = {};
    monitor.cbSize = sizeof(monitor);
    ::GetMonitorInfoW(MonitorOf(window), &monitor);
    if (!CoversMonitor(windowRect, monitor.rcMonitor)) {
        return false;
    }
    // The desktop and every other window of the shell's process cover the monitor by nature.
    const HWND shell = ::GetShellWindow();
    if (window == shell || ProcessOf(window) == ProcessOf(shell)) {
        return false;
    }
    if (!::IsWindow(window) || !::IsWindowVisible(window)) {
        adw::LogLine(adw::kLogInfo, kFullScreenTag, "Hwnd(", static_cast<const void*>(window),
                     ") is not windows or not visible");
        return false;
    }
    if ((::GetWindowLongW(window, GWL_EXSTYLE) & kUnseenStyles) != 0) {
        adw::LogLine(adw::kLogError, kFullScreenTag, "window is invisible ");
        return false;
    }
    adw::LogLine(adw::kLogError, kFullScreenTag, "window is fullscreen.");
    return true;
}

void FocusScene::FocusSceneJudge(const HWND& window) {
    Judge(kAnyRun, window);
}

void FocusScene::HandleForeEvent(const HWND& window) {
    ForeEvent(kAnyRun, window);
}

void FocusScene::Judge(std::uint64_t run, HWND window) {
    if (!IsShownWindow(window)) {
        return;
    }
    const DWORD processId = ProcessOf(window);
    if (processId == 0) {
        adw::LogLine(adw::kLogError, kJudgeTag, "Recv invalid process id.");
        return;
    }
    const std::string name = GetProcessImageName(processId);
    const bool fullScreen = IsValidFullScreenWin(window);
    bool listed = false;
    {
        std::lock_guard<std::mutex> state(stateLock_);
        listed = Contains(sceneProcesses, name);
    }
    if (listed) {
        DataReporter::ReportFocusScene("MEETING", name);
    }
    if (fullScreen) {
        DataReporter::ReportFocusScene("FULL_SCENE", name);
    }
    const HMONITOR monitor = MonitorOf(window);
    if (monitor == nullptr) {
        return;
    }
    if (const std::optional<bool> flag = RecordFor(run, monitor, listed && fullScreen, name)) {
        sceneCallback.Call(*flag);
    }
}

void FocusScene::ForeEvent(std::uint64_t run, HWND window) {
    if (!IsShownWindow(window) || window != ::GetForegroundWindow()) {
        return;
    }
    const DWORD processId = ProcessOf(window);
    if (processId == 0) {
        adw::LogLine(adw::kLogError, kForeEventTag, "Recv invalid process id.");
        return;
    }
    const std::string name = GetProcessImageName(processId);
    const std::uint64_t monitor = MonitorKey(MonitorOf(window));
    bool skip = false;
    {
        std::lock_guard<std::mutex> state(stateLock_);
        skip = SkipForeEvent(monitorScenes, sceneProcess, monitor, name);
    }
    if (!skip) {
        Judge(run, window);
    }
}

bool FocusScene::IsIgnoreProcess(const HWND& window) {
    const std::uint64_t monitor = MonitorKey(MonitorOf(window));
    {
        std::lock_guard<std::mutex> state(stateLock_);
        const auto found = monitorScenes.find(monitor);
        if (found == monitorScenes.end() || !found->second) {
            return true;
        }
    }
    const DWORD processId = ProcessOf(window);
    if (processId == 0) {
        adw::LogLine(adw::kLogError, kIgnoreTag, "Recv invalid process id.");
        return true;
    }
    if (processId == ::GetCurrentProcessId()) {
        return true; // the host's own windows
    }
    // A process whose name cannot be read cannot be told from an exempt one.
    const std::string name = GetProcessImageName(processId);
    if (name.empty()) {
        adw::LogLine(adw::kLogError, kIgnoreTag, "process image name not read, window left alone");
        return true;
    }
    std::lock_guard<std::mutex> state(stateLock_);
    return name == sceneProcess || Contains(exemptProcesses, name);
}

void FocusScene::SetProcessLists(std::vector<std::string> exempt, std::vector<std::string> scene) {
    std::lock_guard<std::mutex> state(stateLock_);
    exemptProcesses = std::move(exempt);
    sceneProcesses = std::move(scene);
}

bool FocusScene::IsSceneActiveOn(HMONITOR monitor) const {
    std::lock_guard<std::mutex> state(stateLock_);
    const auto found = monitorScenes.find(MonitorKey(monitor));
    return found != monitorScenes.end() && found->second;
}

bool FocusScene::RecordJudgement(HMONITOR monitor, bool active, const std::string& name) {
    return *RecordFor(kAnyRun, monitor, active, name);
}

std::optional<bool> FocusScene::RecordFor(std::uint64_t run, HMONITOR monitor, bool active, const std::string& name) {
    std::lock_guard<std::mutex> state(stateLock_);
    if (run != kAnyRun && run != currentRun_) {
        return std::nullopt;
    }
    return ApplyJudgement(monitorScenes, sceneProcess, MonitorKey(monitor), active, name);
}

void FocusScene::EndScenes() {
    std::lock_guard<std::mutex> state(stateLock_);
    currentRun_ = kAnyRun;
    monitorScenes.clear();
    sceneProcess.clear();
}

} // namespace KelvaneCenter
