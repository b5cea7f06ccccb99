#include "manager/UiThreadCall.h"

#include <memory>
#include <utility>

#include "DuiLib/UIMainQueue.h"
#include "common/CallLoggingExceptions.h"
#include "common/ModuleRef.h"
#include "common/Rundown.h"
#include "common/UniqueResource.h"

namespace KelvaneCenter {

namespace {
constexpr DWORD kUiThreadWaitMs = 2000;
} // namespace

bool DispatchToUiThread(const char* tag, std::function<void()> job) {
    return DuiLib::UIMainQueue::getInstance().dispatch(
        [pin = adw::ModuleRef(), tag, job = std::move(job)] {
            adw::CallLoggingExceptions(job, tag, "failed by an exception: ");
        });
}

UiCall RunOnUiThread(const char* tag, std::function<void()> job, DWORD timeoutMs) {
    if (OnUiThread()) {
        adw::CallLoggingExceptions(job, tag, "failed by an exception: ");
        return UiCall::Ran;
    }
    auto done = std::make_shared<adw::UniqueHandle>(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    if (!*done) {
        return UiCall::NotInTime;
    }
    if (!DispatchToUiThread(tag, [job = std::move(job), done] {
            // Set also when the job throws: the caller is waiting for it to be over.
            struct Signal {
                HANDLE event;
                ~Signal() { SetEvent(event); }
            } signal{done->get()};
            job();
        })) {
        return UiCall::NotDispatched;
    }
    return adw::WaitServingSentMessages(done->get(), timeoutMs) ? UiCall::Ran : UiCall::NotInTime;
}

bool OnUiThread() {
    return DuiLib::UIMainQueue::getInstance().isMainThread();
}

DWORD WaitLimitForThisThread() {
    return OnUiThread() ? kUiThreadWaitMs : INFINITE;
}

} // namespace KelvaneCenter
