#pragma once

#include <windows.h>

#include <atomic>
#include <functional>

#include "common/UniqueResource.h"
#include "queue/QueueWorker.h"

namespace adw {

// A work object of the system thread pool. Closing waits for its running
// callback first, so nothing runs on behalf of a closed object.
struct ThreadpoolWorkTraits {
    using pointer = PTP_WORK;
    static pointer Invalid() noexcept { return nullptr; }
    static bool IsValid(pointer w) noexcept { return w != nullptr; }
    static void Close(pointer w) noexcept {
        ::WaitForThreadpoolWorkCallbacks(w, FALSE);
        ::CloseThreadpoolWork(w);
    }
};
using UniqueThreadpoolWork = UniqueResource<ThreadpoolWorkTraits>;

// A worker whose body runs as a work item of the process's system thread pool:
// it holds no thread of its own, and each Start borrows a pool thread for one run.
class ThreadpoolWorker final : public QueueWorker {
public:
    // Creates the work object; throws std::system_error when it cannot be created.
    // `body` must not throw; the callback's edge logs anything that escapes all the same.
    explicit ThreadpoolWorker(std::function<void()> body);

    void Start() override;
    void Join() override;
    bool RunsOnCurrentThread() const override { return runningThread_.load() == ::GetCurrentThreadId(); }

private:
    static void CALLBACK Run(PTP_CALLBACK_INSTANCE instance, void* context, PTP_WORK work) noexcept;

    std::function<void()> body_;
    std::atomic<DWORD> runningThread_{0}; // the pool thread inside the body, 0 when none
    UniqueThreadpoolWork work_;           // declared last: closed (and waited for) first
};

} // namespace adw
