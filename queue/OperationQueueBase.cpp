#include "queue/OperationQueueBase.h"

#include <iterator>
#include <system_error>
#include <utility>

#include "common/EnginePath.h"
#include "common/LogLine.h"
#include "common/CallLoggingExceptions.h"
#include "common/ExclusiveLock.h"
#include "queue/ThreadQueueWorker.h"

OperationQueueBase::OperationQueueBase() : wakeEvent_(::CreateEventW(nullptr, FALSE, FALSE, nullptr)) {}

OperationQueueBase::~OperationQueueBase() {
    StopQuietly("OperationQueueBase::~OperationQueueBase");
    worker_.reset(); // waits for a worker that an item of its own stopped
}

void OperationQueueBase::Start() {
    constexpr char kTag[] = "OperationQueueBase::Start";
    // Without its event every wait of the worker would fail at once and the
    // worker would spin: refuse to start rather than burn a core. Nothing is
    // thrown to the caller: the queue stays stopped and refuses pushes.
    if (!wakeEvent_) {
        adw::LogLine(adw::kLogError, kTag, "no wake-up event, not started");
        return;
    }
    // A second Start while running is ignored: one worker per queue, never a replaced live thread.
    if (running_.exchange(true)) {
        return;
    }
    adw::CallLoggingExceptions(
        [this] {
            try {
                if (!worker_) {
                    worker_ = std::make_unique<adw::ThreadQueueWorker>([this] { DealQueue(); });
                }
                worker_->Start();
            } catch (...) {
                running_ = false; // no worker: stay stopped
                throw;
            }
        },
        kTag, "not started: ");
}

void OperationQueueBase::Stop() {
    {
        adw::ExclusiveLock lock(queueMutex_);
        running_ = false;
    }
    if (wakeEvent_) {
        ::SetEvent(wakeEvent_.get());
    }
    if (worker_ && worker_->RunsOnCurrentThread()) {
        DiscardPending(); // an item stopping its own queue: the worker ends after it returns
        return;
    }
    std::lock_guard<std::mutex> stopping(stopMutex_);
    OnStopping();
    if (worker_) {
        worker_->Join();
    }
    DiscardPending();
}

void OperationQueueBase::DiscardPending() noexcept {
    Item item;
    while (Pop(item)) {
        Discard(item);
    }
}

ADW_ENGINE_PATH void OperationQueueBase::Discard(Item& item) noexcept {
    if (item && discardHandler_ != nullptr) {
        discardHandler_(item);
    }
    item = nullptr; // destroyed, never invoked
}

ADW_ENGINE_PATH void OperationQueueBase::Push(Item item) {
    Add(item, false);
}

void OperationQueueBase::PushKept(Item item) {
    Add(item, true);
}

ADW_ENGINE_PATH void OperationQueueBase::Add(Item& item, bool kept) {
    Item dropped;
    const Enqueued result = Enqueue(item, kept, dropped);
    if (result == Enqueued::Refused) {
        Discard(item);
        return;
    }
    OnEnqueued(result);
    Discard(dropped);
}

void OperationQueueBase::OnEnqueued(Enqueued) {
    if (wakeEvent_) {
        ::SetEvent(wakeEvent_.get());
    }
}

int OperationQueueBase::GetCapacity() {
    return capacity_;
}

void OperationQueueBase::SetCapacity(int capacity) {
    capacity_ = capacity;
}

bool OperationQueueBase::Pop(Item& item) {
    adw::ExclusiveLock lock(queueMutex_);
    if (items_.empty()) {
        return false;
    }
    item = std::move(items_.back().run);
    Recycle(std::prev(items_.end()));
    return true;
}

void OperationQueueBase::Recycle(std::list<Entry>::iterator node) noexcept {
    node->run = nullptr;
    const int capacity = capacity_;
    if (spare_.size() < static_cast<size_t>(capacity > 0 ? capacity : 1)) {
        spare_.splice(spare_.begin(), items_, node);
    } else {
        items_.erase(node);
    }
}

void OperationQueueBase::DealQueue() {
    while (running_) {
        Item item;
        if (Pop(item)) {
            RunItem(std::move(item), "OperationQueueBase::DealQueue");
            continue;
        }
        if (::WaitForSingleObject(wakeEvent_.get(), idleWait_) == WAIT_FAILED) {
            adw::LogLine(adw::kLogInfo, "OperationQueueBase::DealQueue", "wait object failed");
        }
    }
}

ADW_ENGINE_PATH OperationQueueBase::Enqueued OperationQueueBase::Enqueue(Item& item, bool kept, Item& dropped) {
    adw::ExclusiveLock lock(queueMutex_);
    if (!running_) {
        return Enqueued::Refused;
    }
    const size_t pendingBefore = items_.size();
    if (spare_.empty()) {
        items_.emplace_front(item, kept); // first, so a failed allocation loses nothing
    } else {
        items_.splice(items_.begin(), spare_, spare_.begin());
        items_.front().run = std::move(item);
        items_.front().kept = kept;
    }
    // A capacity below 1 acts as 1: the newest item always stays.
    const int capacity = capacity_;
    const bool full = pendingBefore > 0 && (capacity <= 0 || pendingBefore >= static_cast<size_t>(capacity));
    if (!full) {
        return Enqueued::Added;
    }
    // The oldest droppable one, never the newest.
    auto oldest = std::prev(items_.end());
    while (oldest != items_.begin() && oldest->kept) {
        --oldest;
    }
    if (oldest == items_.begin()) {
        return Enqueued::Added;
    }
    // Moved out and destroyed by the caller after the lock is released, so
    // whatever the item owns cannot call back into this queue under its mutex.
    dropped = std::move(oldest->run);
    Recycle(oldest);
    return Enqueued::AddedDroppingOldest;
}

void OperationQueueBase::RunItem(Item item, const char* tag) noexcept {
    // A throwing item must not end the worker: log it and go on with the next one.
    adw::CallLoggingExceptions(item, tag, "operation threw an exception: ");
}

void OperationQueueBase::StopQuietly(const char* tag) noexcept {
    adw::CallLoggingExceptions([this] { OperationQueueBase::Stop(); }, tag, "stop failed: ");
}
