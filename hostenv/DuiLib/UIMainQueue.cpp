#include "DuiLib/UIMainQueue.h"

#include <utility>

namespace DuiLib {

namespace {
constexpr UINT kRunJob = WM_APP + 1;
constexpr wchar_t kQueueClass[] = L"DuiLibMainQueue";

LRESULT CALLBACK QueueWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == kRunJob) {
        UIMainQueue::getInstance().RunOne();
        return 0;
    }
    if (message == WM_DESTROY) {
        // The UI thread is ending: jobs that can no longer run are released here.
        UIMainQueue::getInstance().DropPending();
    }
    return DefWindowProcW(window, message, wParam, lParam);
}
} // namespace

UIMainQueue& UIMainQueue::getInstance() {
    static UIMainQueue queue;
    return queue;
}

void UIMainQueue::AttachToCurrentThread() {
    WNDCLASSW windowClass = {};
    windowClass.lpfnWndProc = QueueWindowProc;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = kQueueClass;
    RegisterClassW(&windowClass); // already registered on a second UI thread
    HWND window = CreateWindowExW(0, kQueueClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                  GetModuleHandleW(nullptr), nullptr);
    std::lock_guard<std::mutex> hold(lock_);
    window_ = window;
    threadId_ = GetCurrentThreadId();
}

bool UIMainQueue::dispatch(std::function<void()> job) {
    if (!job) {
        return false;
    }
    std::unique_lock<std::mutex> hold(lock_);
    if (window_ == nullptr || !IsWindow(window_)) {
        return false;
    }
    jobs_.push_back(std::move(job));
    if (!PostMessageW(window_, kRunJob, 0, 0)) {
        jobs_.pop_back();
        return false;
    }
    return true;
}

bool UIMainQueue::isMainThread() const {
    std::lock_guard<std::mutex> hold(lock_);
    return threadId_ != 0 && threadId_ == GetCurrentThreadId();
}

void UIMainQueue::RunOne() {
    std::function<void()> job;
    {
        std::lock_guard<std::mutex> hold(lock_);
        if (jobs_.empty()) {
            return;
        }
        job = std::move(jobs_.front());
        jobs_.pop_front();
    }
    try {
        job();
    } catch (...) {
        // A failing job must not end the host's message loop.
    }
}

void UIMainQueue::DropPending() {
    std::deque<std::function<void()>> dropped;
    std::lock_guard<std::mutex> hold(lock_);
    dropped.swap(jobs_);
    window_ = nullptr;
    threadId_ = 0;
}

} // namespace DuiLib
