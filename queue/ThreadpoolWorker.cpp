#include "queue/ThreadpoolWorker.h"

#include <system_error>
#include <utility>

#include "common/CallLoggingExceptions.h"

namespace adw {

namespace {

[[noreturn]] void ThrowLastError(const char* what) {
    throw std::system_error(static_cast<int>(::GetLastError()), std::system_category(), what);
}

// The module that holds this code: AdWarden.dll, or the executable when the
// library's objects are linked into it. Never looked up by name.
HMODULE OwnModule() {
    static const char anchor = 0;
    HMODULE module = nullptr;
    if (!::GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                              reinterpret_cast<LPCWSTR>(&anchor), &module)) {
        ThrowLastError("GetModuleHandleExW");
    }
    return module;
}

} // namespace

ThreadpoolWorker::ThreadpoolWorker(std::function<void()> body) : body_(std::move(body)) {
    TP_CALLBACK_ENVIRON environment;
    ::InitializeThreadpoolEnvironment(&environment);
    // The pool holds the module while callbacks are outstanding, so the
    // library cannot be unloaded under a running callback.
    ::SetThreadpoolCallbackLibrary(&environment, OwnModule());
    work_.reset(::CreateThreadpoolWork(&ThreadpoolWorker::Run, this, &environment));
    const DWORD error = ::GetLastError();
    ::DestroyThreadpoolEnvironment(&environment);
    if (!work_) {
        throw std::system_error(static_cast<int>(error), std::system_category(), "CreateThreadpoolWork");
    }
}

void ThreadpoolWorker::Start() {
    // A pool thread to run the callback exists (idle or newly made) when this returns.
    ::SubmitThreadpoolWork(work_.get());
}

void ThreadpoolWorker::Join() {
    if (runningThread_.load() == ::GetCurrentThreadId()) {
        // Waiting for our own callback would never return.
        throw std::system_error(std::make_error_code(std::errc::resource_deadlock_would_occur),
                                "ThreadpoolWorker::Join");
    }
    ::WaitForThreadpoolWorkCallbacks(work_.get(), FALSE);
}

void CALLBACK ThreadpoolWorker::Run(PTP_CALLBACK_INSTANCE, void* context, PTP_WORK) noexcept {
    auto* self = static_cast<ThreadpoolWorker*>(context);
    self->runningThread_.store(::GetCurrentThreadId());
    CallLoggingExceptions(self->body_, "adw::ThreadpoolWorker::Run", "queue worker ended by an exception: ");
    self->runningThread_.store(0);
}

} // namespace adw
