// The monitor's run: its hook thread with the hook procedures, its judge
// thread, and the hand-over between them.

#include "focus/MonitorRun.h"

#include <utility>

#include "common/CallLoggingExceptions.h"
#include "common/LogLine.h"
#include "common/OwnModule.h"
#include "focus/FocusHooks.h"

namespace KelvaneCenter {

namespace {

constexpr char kThreadTag[] = "KelvaneCenter::FocusScene::WndThreadProc";
constexpr char kJudgeTag[] = "KelvaneCenter::FocusScene::JudgeThreadProc";
// How far the judge thread may lag behind the clicks and events before the
// oldest window waiting is dropped: a window judged that late is of no use.
constexpr std::size_t kMaxPending = 64;

// Work the hook procedures hand to the loop of their thread: thread messages
// carrying the window in wParam, passed on to the judge thread by the loop.
constexpr UINT kJudgeMessage = WM_APP + 1;     // FocusSceneJudge
constexpr UINT kForeEventMessage = WM_APP + 2; // HandleForeEvent

// Hooks of every run not yet removed, and the system-key release the next
// foreground change waits behind (written and read by the hook procedures).
std::atomic<int> g_installedHooks{0};
std::atomic<int> g_sysKeyUpCount{0};

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

// A run's three hooks, installed and removed by its hook thread alone (keyboard,
// mouse, WinEvent; removed mouse, keyboard, WinEvent), also when its loop is
// left by an exception. A failed installation leaves that kind of event unseen.
class ThreadHooks {
public:
    ThreadHooks()
        : keyboard_(Count(::SetWindowsHookExW(WH_KEYBOARD_LL, KeyboardHookProc, nullptr, 0))),
          mouse_(Count(::SetWindowsHookExW(WH_MOUSE_LL, MouseHookProc, nullptr, 0))),
          winEvent_(Count(::SetWinEventHook(EVENT_SYSTEM_FOREGROUND, EVENT_OBJECT_LOCATIONCHANGE, nullptr,
                                            WinEventProc, 0, 0, WINEVENT_OUTOFCONTEXT | WINEVENT_SKIPOWNPROCESS))) {}
    ~ThreadHooks() {
        Remove(mouse_);
        Remove(keyboard_);
        Remove(winEvent_);
    }
    ThreadHooks(const ThreadHooks&) = delete;
    ThreadHooks& operator=(const ThreadHooks&) = delete;

private:
    template <typename Handle>
    static Handle Count(Handle installed) {
        if (installed != nullptr) {
            ++g_installedHooks;
        }
        return installed;
    }
    template <typename Owner>
    static void Remove(Owner& owner) {
        if (owner) {
            owner.reset();
            --g_installedHooks;
        }
    }

    adw::UniqueHook keyboard_;
    adw::UniqueHook mouse_;
    adw::UniqueWinEventHook winEvent_;
};

// Runs `body` on a thread a run started, which holds a reference on the run
// and one on this library (taken by its creator): both are dropped as the
// thread ends, the library's last, by the system.
template <typename Body>
void RunOwnedThread(void* argument, const char* tag, Body body) {
    {
        const std::unique_ptr<std::shared_ptr<MonitorRun>> run(static_cast<std::shared_ptr<MonitorRun>*>(argument));
        adw::CallLoggingExceptions([&] { body(**run); }, tag, "failed by an exception: ");
    }
    const HMODULE library = adw::OwnModule();
    if (library != nullptr && library != ::GetModuleHandleW(nullptr)) {
        ::FreeLibraryAndExitThread(library, 0);
    }
}

} // namespace

LRESULT CALLBACK KeyboardHookProc(int code, WPARAM message, LPARAM record) {
    if (message == WM_SYSKEYUP) {
        g_sysKeyUpCount = 1;
    }
    // The hook handle is ignored by the system: each run has hooks of its own.
    return ::CallNextHookEx(nullptr, code, message, record);
}

// A judgement opens the window's process, logs and reports: too slow for a
// low-level hook, which Windows removes when it keeps the desktop's input
// waiting. So the hook only names the window under the cursor and hands it on.
LRESULT CALLBACK MouseHookProc(int code, WPARAM message, LPARAM record) {
    const auto* mouse = reinterpret_cast<const MSLLHOOKSTRUCT*>(record);
    if ((message == WM_LBUTTONUP || message == WM_LBUTTONDBLCLK || message == WM_RBUTTONUP) && mouse != nullptr) {
        HandToLoop(kJudgeMessage, ::WindowFromPoint(mouse->pt));
    }
    return ::CallNextHookEx(nullptr, code, message, record);
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

unsigned __stdcall WndThreadProc(void* argument) {
    RunOwnedThread(argument, kThreadTag, [](MonitorRun& run) { run.PumpHooks(); });
    return 0;
}

unsigned __stdcall MonitorRun::JudgeThreadProc(void* argument) {
    RunOwnedThread(argument, kJudgeTag, [](MonitorRun& run) { run.JudgeHandedWork(); });
    return 0;
}

int FocusScene::InstalledHooks() {
    return g_installedHooks.load();
}

std::shared_ptr<MonitorRun> MonitorRun::Start(std::uint64_t id) {
    std::shared_ptr<MonitorRun> run(new MonitorRun(id));
    // The judge thread first: the hook thread hands windows on from its first event.
    run->judgeThread_.reset(StartThread(&MonitorRun::JudgeThreadProc, run));
    if (!run->judgeThread_) {
        return nullptr;
    }
    run->judgeThreadId_ = ::GetThreadId(run->judgeThread_.get());
    run->hookThread_.reset(StartThread(&WndThreadProc, run));
    if (!run->hookThread_) {
        run->RequestStop();
        return nullptr;
    }
    run->hookThreadId_ = ::GetThreadId(run->hookThread_.get());
    return run;
}

// The thread gets a reference on the run and one on this library, so that a
// host which unloads the library while the thread runs does not pull its code away.
HANDLE MonitorRun::StartThread(FocusScene::ThreadEntry entry, const std::shared_ptr<MonitorRun>& run) {
    auto argument = std::make_unique<std::shared_ptr<MonitorRun>>(run);
    adw::UniqueModule library;
    if (adw::OwnModule() != ::GetModuleHandleW(nullptr)) {
        ::GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS, reinterpret_cast<LPCWSTR>(&WndThreadProc),
                             library.put());
    }
    const HANDLE thread = StartMonitorThread(entry, argument.get());
    if (thread != nullptr) {
        argument.release();
        library.release();
    }
    return thread;
}

void MonitorRun::RequestStop() {
    {
        std::lock_guard<std::mutex> guard(lock_);
        stopping_ = true;
    }
    wake_.notify_all();
    // Lost when the hook thread has no message queue yet: it looks at the flag
    // once it has one, before it installs its hooks.
    ::PostThreadMessageW(hookThreadId_, WM_QUIT, 0, 0);
}

void MonitorRun::WaitEnded() const {
    const HANDLE threads[] = {hookThread_.get(), judgeThread_.get()};
    ::WaitForMultipleObjects(2, threads, TRUE, INFINITE);
}

bool MonitorRun::RunsOnCurrentThread() const {
    const DWORD current = ::GetCurrentThreadId();
    return current == hookThreadId_ || current == judgeThreadId_;
}

void MonitorRun::HandOver(HWND window, bool foreEvent) {
    {
        std::lock_guard<std::mutex> guard(lock_);
        if (pending_.size() == kMaxPending) {
            pending_.pop_front();
            ++dropped_;
        }
        pending_.push_back({window, foreEvent});
    }
    wake_.notify_one();
}

void MonitorRun::PumpHooks() {
    MSG message;
    ::PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE); // makes this thread's message queue
    if (stopping_) {
        return;
    }
    ThreadHooks hooks;
    for (;;) {
        const BOOL got = ::GetMessageW(&message, nullptr, 0, 0);
        if (got == 0 || got == -1) {
            break;
        }
        if (message.hwnd == nullptr && (message.message == kJudgeMessage || message.message == kForeEventMessage)) {
            HandOver(reinterpret_cast<HWND>(message.wParam), message.message == kForeEventMessage);
        } else {
            ::TranslateMessage(&message);
            ::DispatchMessageW(&message);
        }
    }
}

void MonitorRun::JudgeHandedWork() {
    for (;;) {
        Work work{};
        std::size_t dropped = 0;
        {
            std::unique_lock<std::mutex> guard(lock_);
            wake_.wait(guard, [this] { return stopping_ || !pending_.empty(); });
            if (stopping_) {
                return;
            }
            work = pending_.front();
            pending_.pop_front();
            dropped = std::exchange(dropped_, 0);
        }
        if (dropped != 0) {
            adw::LogLine(adw::kLogInfo, kJudgeTag, "judging lags behind: ", dropped, " windows not judged");
        }
        adw::CallLoggingExceptions(
            [&] {
                FocusScene& scene = FocusScene::GetInstance();
                if (work.foreEvent) {
                    scene.ForeEvent(id_, work.window);
                } else {
                    scene.Judge(id_, work.window);
                }
            },
            kJudgeTag, "failed by an exception: ");
    }
}

} // namespace KelvaneCenter
