#pragma once

namespace adw {

// The worker of an operation queue: a body that can be started, runs on a
// thread of its own, and can be waited for. Start and Join are not called
// concurrently with each other.
class QueueWorker {
public:
    QueueWorker() = default;
    QueueWorker(const QueueWorker&) = delete;
    QueueWorker& operator=(const QueueWorker&) = delete;
    virtual ~QueueWorker() = default;

    // Runs the body once more; returns once the thread that will run it exists.
    // Throws std::system_error when no thread can be had. The previous run must
    // have ended; a pool worker's may still be returning from its callback.
    virtual void Start() = 0;
    // Waits until the body started last has returned; returns at once when none runs.
    // Throws std::system_error when called from the body itself.
    virtual void Join() = 0;
    // True on the thread that is running the body right now.
    virtual bool RunsOnCurrentThread() const = 0;
};

} // namespace adw
