#pragma once

// Building blocks for the queue tests: items that count what happens to them,
// a thread-holding item, an order recorder and views of the queues' state.

#include <gtest/gtest.h>

#include <future>
#include <numeric>
#include <utility>
#include <vector>

#include "TestSupport.h"
#include "common/LogLine.h"
#include "queue/LowPowerOperationQueue.h"

namespace queuetest {

// Items that record their number when they run and count their deaths without a
// run. A moved-from item counts nothing, so a copy made on the way shows as one death too many.
class Items {
public:
    std::function<void()> Make(int id) {
        return [probe = Probe(this), id]() mutable {
            probe.ran = true;
            std::lock_guard<std::mutex> lock(probe.owner->mutex_);
            probe.owner->ran_.push_back(id);
        };
    }
    std::vector<int> Ran() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return ran_;
    }
    std::atomic<int> diedUnrun{0};

private:
    struct Probe {
        explicit Probe(Items* items) : owner(items) {}
        Probe(const Probe&) = default;
        Probe(Probe&& other) noexcept : owner(std::exchange(other.owner, nullptr)), ran(other.ran) {}
        ~Probe() {
            if (owner != nullptr && !ran) ++owner->diedUnrun;
        }
        Items* owner;
        bool ran = false;
    };
    mutable std::mutex mutex_;
    std::vector<int> ran_;
};

inline std::vector<int> Range(int from, int to) {
    std::vector<int> values(static_cast<size_t>(to - from));
    std::iota(values.begin(), values.end(), from);
    return values;
}

// An item that holds its thread until released (or for 20 s). Declare it after
// the queue: going out of scope releases the item, so a failing test never
// leaves the queue's destructor waiting for it.
struct Blocker {
    ~Blocker() { Release(); }
    std::function<void()> Make() {
        return [state = state_] {
            state->entered = true;
            adwtest::WaitUntil([&] { return state->released.load(); }, std::chrono::seconds(20));
            state->finished = true;
        };
    }
    void Release() { state_->released = true; }
    bool Entered() const { return state_->entered; }
    bool Finished() const { return state_->finished; }
    struct State {
        std::atomic<bool> released{false}, entered{false}, finished{false};
    };
    std::shared_ptr<State> state_ = std::make_shared<State>();
};

// Pushes `busy` onto a started queue and waits until the worker is inside it.
inline bool HoldWorker(IOperationQueue& queue, Blocker& busy) {
    queue.Push(busy.Make());
    return adwtest::WaitUntil([&] { return busy.Entered(); });
}

// The items a queue said it destroys unrun, through its discard handler.
inline std::atomic<int> g_toldDiscarded{0};
inline void CountDiscarded(std::function<void()>&) noexcept {
    ++g_toldDiscarded;
}

// A queue with its protected state visible to the tests, counting the workers
// that have entered their loop, the Stops that have reached their join and
// (in g_toldDiscarded) the items it discards.
template <typename Queue>
class Inspectable : public Queue {
public:
    Inspectable() {
        g_toldDiscarded = 0;
        this->SetDiscardHandler(&CountDiscarded);
    }
    void DealQueue() override {
        ++workers;
        Queue::DealQueue();
    }
    std::atomic<int> workers{0};
    std::atomic<int> stopping{0};
    size_t Pending() {
        adw::ExclusiveLock lock(this->queueMutex_);
        return this->items_.size();
    }

protected:
    void OnStopping() override {
        ++stopping;
        Queue::OnStopping();
    }
};

} // namespace queuetest
