#include "manager/HostCallback.h"

#include <utility>

namespace KelvaneCenter {

void HostCallback::Set(KelvaneMsgCenter::IPopUpBlockingCallback* callback) {
    std::shared_ptr<Registration> next = callback != nullptr ? std::make_shared<Registration>(callback) : nullptr;
    {
        std::lock_guard<std::mutex> swap(lock_);
        current_.swap(next);
    }
    if (next) {
        next->calls.Close(); // `next` now holds the previous registration
    }
}

std::shared_ptr<HostCallback::Registration> HostCallback::Current() {
    std::lock_guard<std::mutex> read(lock_);
    return current_;
}

} // namespace KelvaneCenter
