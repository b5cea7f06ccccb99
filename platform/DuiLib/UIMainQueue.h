#pragma once

#include <deque>
#include <functional>
#include <mutex>

#include "DuiLib/DuiLibApi.h"

namespace DuiLib {

// Runs jobs on the UI thread's message loop, one per posted message, in order.
// The UI thread is the one that called CPaintManagerUI::SetInstance.
class DUILIB_API UIMainQueue {
public:
    static UIMainQueue& getInstance();
    // False when there is no UI thread (never set, or ended): the job is dropped.
    bool dispatch(std::function<void()> job);
    // True on the UI thread.
    bool isMainThread() const;

    // Library internals.
    void AttachToCurrentThread();
    void RunOne();
    void DropPending();

private:
    UIMainQueue() = default;
    mutable std::mutex lock_;
    std::deque<std::function<void()>> jobs_;
    HWND window_ = nullptr;
    DWORD threadId_ = 0;
};

} // namespace DuiLib
