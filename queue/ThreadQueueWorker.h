#pragma once

#include <functional>
#include <thread>

#include "queue/QueueWorker.h"

namespace adw {

// A worker on a thread of its own, started anew for each run.
class ThreadQueueWorker final : public QueueWorker {
public:
    // `body` must not throw; the thread's edge logs anything that escapes all the same.
    explicit ThreadQueueWorker(std::function<void()> body);
    ~ThreadQueueWorker() override;

    void Start() override;
    void Join() override;
    bool RunsOnCurrentThread() const override { return thread_.get_id() == std::this_thread::get_id(); }

private:
    std::function<void()> body_;
    std::thread thread_;
};

} // namespace adw
