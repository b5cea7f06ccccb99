#pragma once

// Building blocks for the queue tests: items that count what happens to them,
// a worker-blocking item, an order recorder and views of the queues' state.

#include <windows.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <mutex>
#include <numeric>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

#include "TestSupport.h"
#include "common/LogLine.h"
#include "queue/LowPowerOperationQueue.h"
#include "queue/OperationQueueBase.h"

namespace queuetest {

using Item = std::function<void()>;

// What happened to a set of items: runs, destructions after and without a run, copies.
struct ItemCounters {
    std::atomic<int> ran{0};
    std::atomic<int> destroyedAfterRun{0};
    std::atomic<int> destroyedUnrun{0};
    std::atomic<int> copies{0};
    int Destroyed() const { return destroyedAfterRun + destroyedUnrun; }
};

// Lives inside an item: counts its own copies and its one destruction (a
// moved-from shell counts nothing), and whether the item ran before it died.
struct Probe {
    explicit Probe(ItemCounters& target) : counters(&target) {}
    Probe(const Probe& other) : counters(other.counters), ran(other.ran) { ++counters->copies; }
    Probe(Probe&& other) noexcept : counters(std::exchange(other.counters, nullptr)), ran(other.ran) {}
    Probe& operator=(const Probe&) = delete;
    ~Probe() {
        if (counters != nullptr) {
            ++(ran ? counters->destroyedAfterRun : counters->destroyedUnrun);
        }
    }
    ItemCounters* counters;
    bool ran = false;
};

// An item counted in `counters` that also runs `body`.
inline Item Counted(ItemCounters& counters, Item body = nullptr) {
    return [probe = Probe(counters), body = std::move(body)]() mutable {
        probe.ran = true;
        ++probe.counters->ran;
        if (body) {
            body();
        }
    };
}

// Run order, written by items on the worker and read by the test.
class Recorder {
public:
    std::vector<int> Values() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return values_;
    }
    size_t Size() const { return Values().size(); }
    Item Record(int value) {
        return [this, value] {
            std::lock_guard<std::mutex> lock(mutex_);
            values_.push_back(value);
        };
    }

private:
    mutable std::mutex mutex_;
    std::vector<int> values_;
};

inline std::vector<int> Range(int from, int to) {
    std::vector<int> values(static_cast<size_t>(to - from));
    std::iota(values.begin(), values.end(), from);
    return values;
}

// An item that holds the worker until released (or for 20 s). Declare it after
// the queue: going out of scope releases the item, so a failing test never
// leaves the queue's destructor waiting for it.
class Blocker {
public:
    Blocker() = default;
    ~Blocker() { Release(); }
    Blocker(const Blocker&) = delete;
    Blocker& operator=(const Blocker&) = delete;

    Item Make() {
        return [state = state_] {
            state->entered = true;
            adwtest::WaitUntil([&] { return state->released.load(); }, std::chrono::seconds(20));
            state->finished = true;
        };
    }
    void Release() { state_->released = true; }
    bool Entered() const { return state_->entered; }
    bool Finished() const { return state_->finished; }

private:
    struct State {
        std::atomic<bool> released{false};
        std::atomic<bool> entered{false};
        std::atomic<bool> finished{false};
    };
    std::shared_ptr<State> state_ = std::make_shared<State>();
};

// Pushes `busy` onto a started queue and waits until the worker is inside it.
inline bool HoldWorker(IOperationQueue& queue, Blocker& busy) {
    queue.Push(busy.Make());
    return adwtest::WaitUntil([&] { return busy.Entered(); });
}

// Polls `done` without sleeping (for loops that wait thousands of times), for up to 10 s.
inline bool SpinUntil(const std::function<bool()>& done) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!done()) {
        if (std::chrono::steady_clock::now() >= deadline) {
            return done();
        }
        SwitchToThread();
    }
    return true;
}

// A queue with its protected state visible to the tests.
template <typename Queue>
class Inspectable : public Queue {
public:
    bool IsRunning() const { return this->running_; }
    size_t Pending() {
        std::lock_guard<std::mutex> lock(this->queueMutex_);
        return this->items_.size();
    }
};

class InspectableLowPower : public Inspectable<LowPowerOperationQueue> {
public:
    bool WorkerActive() const { return workerActive_; }
    void JoinWorker() {
        if (worker_) {
            worker_->Join();
        }
    }
};

// The exact log lines the queues write.
inline const std::wstring kQueueFullLine = L"operation queue full(LowPowerOperationQueue::Push)";
inline const std::wstring kWaitFailedLine = L"wait object failed(OperationQueueBase::DealQueue)";

// Only the low-power kind logs a dropped item.
template <typename Queue>
constexpr bool kIsLowPower = std::is_same<Queue, LowPowerOperationQueue>::value;

} // namespace queuetest
