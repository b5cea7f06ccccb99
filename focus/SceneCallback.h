#pragma once

#include <functional>
#include <memory>
#include <mutex>
#include <utility>

#include "common/CallLoggingExceptions.h"
#include "common/Rundown.h"

namespace KelvaneCenter {

// The receiver of the scene-active flag, which may be replaced or cleared while
// the monitor thread calls it: once Set returns, the previous receiver is not
// running on another thread and is never called again. A receiver that replaces
// itself from inside its call does not wait for itself.
class SceneCallback {
public:
    // An empty function clears the receiver.
    void Set(std::function<void(bool)> receiver) {
        std::shared_ptr<Registration> next;
        if (receiver) {
            next = std::make_shared<Registration>(std::move(receiver));
        }
        std::shared_ptr<Registration> previous;
        {
            std::lock_guard<std::mutex> swap(lock_);
            previous = std::exchange(current_, std::move(next));
        }
        if (previous) {
            previous->calls.Close();
        }
    }

    // No lock of ours is held during the call; nothing it throws goes further.
    void Call(bool active) noexcept {
        std::shared_ptr<Registration> registration;
        {
            std::lock_guard<std::mutex> read(lock_);
            registration = current_;
        }
        if (!registration) {
            return;
        }
        adw::RundownRef call(registration->calls);
        if (call) {
            adw::CallLoggingExceptions([&] { registration->receiver(active); },
                                       "KelvaneCenter::FocusScene::sceneCallback", "failed by an exception: ");
        }
    }

private:
    struct Registration {
        explicit Registration(std::function<void(bool)> r) : receiver(std::move(r)) {}
        const std::function<void(bool)> receiver;
        adw::Rundown calls;
    };

    std::mutex lock_; // guards the pointer swap only
    std::shared_ptr<Registration> current_;
};

} // namespace KelvaneCenter
