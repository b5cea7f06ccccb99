#pragma once

#include <memory>
#include <mutex>

#include "IPopUpBlockingCallback.h"
#include "common/Rundown.h"

namespace KelvaneCenter {

// The host's callback object, which the host may delete as soon as it has
// unregistered or replaced it. So once Set returns, the previous object is never
// called again and no call to it is still running, except a call on the very
// thread that called Set (a callback that unregisters itself must not wait for
// itself). The wait serves messages sent to the waiting thread, since hosts
// often hand a callback to their UI thread with SendMessage and call Set there.
// A call that has not returned after `timeoutMs` is no longer waited for (false):
// the previous object is still never called again.
class HostCallback {
public:
    bool Set(KelvaneMsgCenter::IPopUpBlockingCallback* callback, DWORD timeoutMs = INFINITE);

    // Calls `fn(callback)` when one is registered; false when none was called.
    // No lock of ours is held during the call.
    template <typename Fn>
    bool Call(Fn&& fn) {
        const std::shared_ptr<Registration> registration = Current();
        if (!registration) {
            return false;
        }
        adw::RundownRef call(registration->calls);
        if (!call) {
            return false;
        }
        fn(*registration->callback);
        return true;
    }

private:
    struct Registration {
        explicit Registration(KelvaneMsgCenter::IPopUpBlockingCallback* cb) : callback(cb) {}
        KelvaneMsgCenter::IPopUpBlockingCallback* const callback;
        adw::Rundown calls;
    };

    std::shared_ptr<Registration> Current();

    std::mutex lock_; // guards the pointer swap only, never held during a call
    std::shared_ptr<Registration> current_;
};

} // namespace KelvaneCenter
