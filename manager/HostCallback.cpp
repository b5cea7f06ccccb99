#include "manager/HostCallback.h"

#include <utility>

namespace KelvaneCenter {

bool HostCallback::Set(KelvaneMsgCenter::IPopUpBlockingCallback* callback, DWORD timeoutMs) {
    std::shared_ptr<Registration> next = callback != nullptr ? std::make_shared<Registration>(callback) : nullptr;
    {
        std::lock_guard<std::mutex> swap(lock_);
        current_.swap(next);
    }
    // `next` now holds the previous registration
    return !next || next->calls.Close(timeoutMs);
}

std::shared_ptr<HostCallback::Registration> HostCallback::Current() {
    std::lock_guard<std::mutex> read(lock_);
    return current_;
}

} // namespace KelvaneCenter
