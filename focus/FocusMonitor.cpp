// The focus-scene monitor's thread: its hooks, its message loop, its start and stop.

#include <process.h>

#include "common/CallLoggingExceptions.h"
#include "common/LogLine.h"
#include "focus/FocusHooks.h"
#include "focus/FocusScene.h"

namespace KelvaneCenter {

namespace {

constexpr char kStartTag[] = "KelvaneCenter::FocusScene::StartMonitor";
constexpr char kStopTag[] = "KelvaneCenter::FocusScene::StopMonitor";
constexpr char kStopperTag[] = "`anonymous-namespace'::StopWndThreadProcWnd";
constexpr char kThreadTag[] = "KelvaneCenter::FocusScene::WndThreadProc";
constexpr DWORD kStopWaitMs = 2000;

// Work the hook procedures hand to the loop of their thread: thread messages
// carrying the window in wParam.
constexpr UINT kJudgeMessage = WM_APP + 1;     // FocusSceneJudge
constexpr UINT kForeEventMessage = WM_APP + 2; // HandleForeEvent

// Written by the monitor thread only; read by the hook procedures (which run
// on it) and by InstalledHooks.
std::atomic<HHOOK> g_hKeyboardHook{nullptr};
std::atomic<HHOOK> g_hMouseHook{nullptr};
std::atomic<HWINEVENTHOOK> g_hWinEventHook{nullptr};
int g_sysKeyUpCount = 0; // monitor thread only
// Written by StartMonitor and the stopper thread, both under the start/stop lock.
adw::UniqueHandle g_hWndThread;
std::atomic<FocusScene::ThreadStarter> g_threadStarter{nullptr};

HANDLE StartThread(FocusScene::ThreadEntry entry) {
    if (FocusScene::ThreadStarter starter = g_threadStarter.load()) {
        return reinterpret_cast<HANDLE>(starter(entry));
    }
    return reinterpret_cast<HANDLE>(::_beginthreadex(nullptr, 0, entry, nullptr, 0, nullptr));
}

bool IsStillRunning(HANDLE thread) {
    return thread != nullptr && thread != INVALID_HANDLE_VALUE && ::WaitForSingleObject(thread, 0) == WAIT_TIMEOUT;
}

DWORD RemainingMs(ULONGLONG deadline, ULONGLONG now) {
    return now >= deadline ? 0 : static_cast<DWORD>(deadline - now);
}

// Waits for `thread` at most `timeoutMs` while serving messages sent to this
// thread: a scene receiver on the monitor thread may SendMessage to the thread
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

void HandToLoop(UINT message, HWND window) {
    ::PostThreadMessageW(::GetCurrentThreadId(), message, reinterpret_cast<WPARAM>(window), 0);
}

// Under Wine WINEVENT_SKIPOWNPROCESS is ignored, so the host's own windows'
// events arrive too; the window's owner stands for the process that raised the
// event. One look-up in the window table, made only for the two events handled.
bool IsOwnProcessWindow(HWND window) {
    DWORD processId = 0;
    ::GetWindowThreadProcessId(window, &processId);
    return processId == ::GetCurrentProcessId();
}

// The monitor thread's three hooks, installed and removed by that thread alone;
// removal (mouse, keyboard, then WinEvent) also happens when its loop is left
// by an exception.
class ThreadHooks {
public:
    ThreadHooks() {
        Install(g_hKeyboardHook, keyboard_,
                [] { return ::SetWindowsHookExW(WH_KEYBOARD_LL, KeyboardHookProc, nullptr, 0); });
        Install(g_hMouseHook, mouse_, [] { return ::SetWindowsHookExW(WH_MOUSE_LL, MouseHookProc, nullptr, 0); });
        Install(g_hWinEventHook, winEvent_, [] {
            return ::SetWinEventHook(EVENT_SYSTEM_FOREGROUND, EVENT_OBJECT_LOCATIONCHANGE, nullptr, WinEventProc, 0,
                                     0, WINEVENT_OUTOFCONTEXT | WINEVENT_SKIPOWNPROCESS);
        });
    }
    ~ThreadHooks() {
        Remove(g_hMouseHook, mouse_);
        Remove(g_hKeyboardHook, keyboard_);
        Remove(g_hWinEventHook, winEvent_);
    }
    ThreadHooks(const ThreadHooks&) = delete;
    ThreadHooks& operator=(const ThreadHooks&) = delete;

private:
    // A failed installation leaves the handle null: that kind of event is simply not received.
    template <typename Owner, typename Installer>
    static void Install(std::atomic<typename Owner::pointer>& global, Owner& owner, Installer install) {
        if (global.load() == nullptr) {
            owner.reset(install());
            global.store(owner.get());
        }
    }
    template <typename Owner>
    static void Remove(std::atomic<typename Owner::pointer>& global, Owner& owner) {
        if (owner) {
            owner.reset();
            global.store(nullptr);
        }
    }

    adw::UniqueWinEventHook winEvent_;
    adw::UniqueHook keyboard_;
    adw::UniqueHook mouse_;
};

// A window handed over by a hook procedure: judged here, outside the hook call.
bool RunHandedWork(const MSG& message) {
    if (message.hwnd != nullptr || (message.message != kJudgeMessage && message.message != kForeEventMessage)) {
        return false;
    }
    const HWND window = reinterpret_cast<HWND>(message.wParam);
    adw::CallLoggingExceptions(
        [&] {
            if (message.message == kJudgeMessage) {
                FocusScene::GetInstance().FocusSceneJudge(window);
            } else {
                FocusScene::GetInstance().HandleForeEvent(window);
            }
        },
        kThreadTag, "failed by an exception: ");
    return true;
}

void RunMonitorLoop() {
    ThreadHooks hooks;
    MSG message;
    for (;;) {
        const BOOL got = ::GetMessageW(&message, nullptr, 0, 0);
        if (got == 0 || got == -1) {
            break;
        }
        if (!RunHandedWork(message)) {
            ::TranslateMessage(&message);
            ::DispatchMessageW(&message);
        }
    }
}

unsigned __stdcall StopWndThreadProcWnd(void*) {
    const HANDLE thread = g_hWndThread.get();
    if (thread == INVALID_HANDLE_VALUE) {
        adw::LogLine(adw::kLogError, kStopperTag, "stop wnd invalid handle value");
        return 0;
    }
    const DWORD threadId = ::GetThreadId(thread);
    if (threadId == 0) {
        adw::LogLine(adw::kLogError, kStopperTag, "stop wnd thread id is null");
        return 0;
    }
    // A monitor thread that has only just started may have no message queue
    // yet, and a quit posted before it has one is lost: post until it is taken
    // or the thread has ended.
    while (!::PostThreadMessageW(threadId, WM_QUIT, 0, 0) && ::WaitForSingleObject(thread, 1) == WAIT_TIMEOUT) {
    }
    ::WaitForSingleObject(thread, INFINITE);
    g_hWndThread.reset(INVALID_HANDLE_VALUE);
    return 0;
}

} // namespace

LRESULT CALLBACK KeyboardHookProc(int code, WPARAM message, LPARAM record) {
    if (message == WM_SYSKEYUP) {
        g_sysKeyUpCount = 1;
    }
    return ::CallNextHookEx(g_hKeyboardHook.load(), code, message, record);
}

// A judgement opens the window's process, logs and reports: too slow for a
// low-level hook, which Windows removes when it keeps the desktop's input
// waiting. So the hook only names the window under the cursor and hands it on.
LRESULT CALLBACK MouseHookProc(int code, WPARAM message, LPARAM record) {
    const auto* mouse = reinterpret_cast<const MSLLHOOKSTRUCT*>(record);
    if ((message == WM_LBUTTONUP || message == WM_LBUTTONDBLCLK || message == WM_RBUTTONUP) && mouse != nullptr) {
        HandToLoop(kJudgeMessage, ::WindowFromPoint(mouse->pt));
    }
    return ::CallNextHookEx(g_hMouseHook.load(), code, message, record);
}

void CALLBACK WinEventProc(HWINEVENTHOOK, DWORD event, HWND window, LONG, LONG, DWORD, DWORD) {
    if (event != EVENT_SYSTEM_FOREGROUND && event != EVENT_OBJECT_LOCATIONCHANGE) {
        return;
    }
    if (IsOwnProcessWindow(window)) {
        return;
    }
    // After a system-key release the next foreground change is not handled.
    if (event == EVENT_SYSTEM_FOREGROUND && g_sysKeyUpCount > 0) {
        --g_sysKeyUpCount;
        return;
    }
    HandToLoop(kForeEventMessage, window);
}

unsigned __stdcall WndThreadProc(void*) {
    // The thread runs this library's code until it returns, so it holds the
    // library loaded meanwhile: a host that frees it without stopping the
    // monitor does not pull the code from under the hooks.
    HMODULE pinned = nullptr;
    ::GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS, reinterpret_cast<LPCWSTR>(&WndThreadProc), &pinned);
    adw::CallLoggingExceptions(RunMonitorLoop, kThreadTag, "failed by an exception: ");
    if (pinned != nullptr && pinned != ::GetModuleHandleW(nullptr)) {
        ::FreeLibraryAndExitThread(pinned, 0);
    }
    return 0;
}

FocusScene& FocusScene::GetInstance() {
    static FocusScene instance;
    return instance;
}

bool FocusScene::StartMonitor() {
    std::lock_guard<std::mutex> serial(startStopLock_);
    if (monitoring.exchange(true)) {
        adw::LogLine(adw::kLogInfo, kStartTag, "already exist monitor");
        return true;
    }
    // A monitor thread whose stop timed out may still be leaving: a second one
    // beside it would find its hooks and install none. This start fails
    // instead, and the next stop ends the old thread.
    const bool previousLeaving = IsStillRunning(g_hWndThread.get());
    if (!previousLeaving) {
        g_hWndThread.reset(StartThread(&WndThreadProc));
    }
    if (!wakeEvent) {
        wakeEvent.reset(::CreateEventW(nullptr, FALSE, FALSE, nullptr));
    }
    return !previousLeaving && static_cast<bool>(g_hWndThread);
}

bool FocusScene::StopMonitor() {
    {
        std::lock_guard<std::mutex> serial(startStopLock_);
        if (!monitoring.exchange(false)) {
            adw::LogLine(adw::kLogInfo, kStopTag, "not exist monitor");
            return true;
        }
        if (wakeEvent) {
            ::SetEvent(wakeEvent.get());
            wakeEvent.reset();
        }
        // A stop from the monitor thread itself (its scene receiver) cannot wait
        // for that thread: it posts the quit, and the loop ends once the
        // receiver has returned. A start before then fails.
        if (::GetThreadId(g_hWndThread.get()) == ::GetCurrentThreadId()) {
            ::PostQuitMessage(0);
        } else {
            adw::UniqueHandle stopper(StartThread(&StopWndThreadProcWnd));
            if (!stopper) {
                return false;
            }
            if (WaitServingSentMessages(stopper.get(), kStopWaitMs) == WAIT_TIMEOUT) {
                adw::LogLine(adw::kLogInfo, kStopTag, "fail to stop window thread. time is out.");
                // The stopper is only waiting for the monitor thread here; the
                // monitor thread still leaves on its own once it reaches the quit.
                ::TerminateThread(stopper.get(), 0);
            }
        }
    }
    sceneCallback.Call(false);
    return true;
}

int FocusScene::InstalledHooks() {
    return (g_hKeyboardHook.load() != nullptr ? 1 : 0) + (g_hMouseHook.load() != nullptr ? 1 : 0) +
           (g_hWinEventHook.load() != nullptr ? 1 : 0);
}

void FocusScene::SetThreadStarter(ThreadStarter starter) {
    g_threadStarter.store(starter);
}

} // namespace KelvaneCenter
