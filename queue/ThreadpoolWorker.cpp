#include "queue/ThreadpoolWorker.h"

#include <system_error>
#include <utility>

#include "common/CallLoggingExceptions.h"
#include "common/EnginePath.h"
#include "common/OwnModule.h"

namespace adw {

ThreadpoolWorker::ThreadpoolWorker(std::function<void()> body) : body_(std::move(body)) {
    TP_CALLBACK_ENVIRON environment;
    ::InitializeThreadpoolEnvironment(&environment);
    // The pool holds the module while callbacks are outstanding, so the
    // library cannot be unloaded under a running callback.
    const HMODULE module = OwnModule();
    if (module == nullptr) {
        throw std::system_error(static_cast<int>(::GetLastError()), std::system_category(), "GetModuleHandleExW");
    }
    ::SetThreadpoolCallbackLibrary(&environment, module);
    work_.reset(::CreateThreadpoolWork(&ThreadpoolWorker::Run, this, &environment));
    const DWORD error = ::GetLastError();
    ::DestroyThreadpoolEnvironment(&environment);
    if (!work_) {
        throw std::system_error(static_cast<int>(error), std::system_category(), "CreateThreadpoolWork");
    }
}

ADW_ENGINE_PATH void ThreadpoolWorker::Start() {
    // A pool thread to run the callback exists (idle or newly made) when this returns.
    ::SubmitThreadpoolWork(work_.get());
}

void ThreadpoolWorker::Join() {
    if (RunsOnCurrentThread()) {
        // Waiting for our own callback would never return.
        throw std::system_error(std::make_error_code(std::errc::resource_deadlock_would_occur),
                                "ThreadpoolWorker::Join");
    }
    ::WaitForThreadpoolWorkCallbacks(work_.get(), FALSE);
}

void CALLBACK ThreadpoolWorker::Run(PTP_CALLBACK_INSTANCE, void* context, PTP_WORK) noexcept {
    auto* self = static_cast<ThreadpoolWorker*>(context);
    DWORD mine = ::GetCurrentThreadId();
    self->runningThread_.store(mine);
    CallLoggingExceptions(self->body_, "adw::ThreadpoolWorker::Run", "queue worker ended by an exception: ");
    // A next run may have begun on another pool thread as this one returns: only ours is cleared.
    self->runningThread_.compare_exchange_strong(mine, 0);
}

} // namespace adw
