#include "manager/UiThreadCall.h"

#include <memory>
#include <utility>

#include "DuiLib/UIMainQueue.h"
#include "common/Rundown.h"
#include "common/UniqueResource.h"

namespace KelvaneCenter {

UiCall RunOnUiThread(std::function<void()> job, DWORD timeoutMs) {
    DuiLib::UIMainQueue& ui = DuiLib::UIMainQueue::getInstance();
    if (ui.isMainThread()) {
        job();
        return UiCall::Ran;
    }
    auto done = std::make_shared<adw::UniqueHandle>(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    if (!*done) {
        return UiCall::NotInTime;
    }
    if (!ui.dispatch([job = std::move(job), done] {
            job();
            SetEvent(done->get());
        })) {
        return UiCall::NoUiThread;
    }
    return adw::WaitServingSentMessages(done->get(), timeoutMs) ? UiCall::Ran : UiCall::NotInTime;
}

} // namespace KelvaneCenter
