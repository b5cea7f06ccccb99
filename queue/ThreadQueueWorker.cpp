#include "queue/ThreadQueueWorker.h"

#include <utility>

#include "common/CallLoggingExceptions.h"

namespace adw {

ThreadQueueWorker::ThreadQueueWorker(std::function<void()> body) : body_(std::move(body)) {}

ThreadQueueWorker::~ThreadQueueWorker() {
    CallLoggingExceptions([this] { Join(); }, "adw::ThreadQueueWorker::~ThreadQueueWorker", "join failed: ");
}

void ThreadQueueWorker::Start() {
    Join();
    // std::thread's constructor returns once the thread exists: that is the start handshake.
    thread_ = std::thread([this] {
        CallLoggingExceptions(body_, "adw::ThreadQueueWorker::Start", "queue worker ended by an exception: ");
    });
}

void ThreadQueueWorker::Join() {
    if (thread_.joinable()) {
        thread_.join(); // from the thread itself: std::system_error (resource_deadlock_would_occur)
    }
}

} // namespace adw
