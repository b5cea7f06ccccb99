#pragma once

// The host's callback as every suite records it: what arrived, in order, and on
// which thread. A test may act inside a call (block, SendMessage, call back
// into the manager) through `onCall`, which runs before the call is recorded.

#include <windows.h>

#include <functional>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "IPopUpBlockingCallback.h"
#include "TestSupport.h"

namespace adwtest {

struct HostEvent {
    enum Kind { Records, Record, BlockedTimes, Error, StateChanged } kind;
    std::vector<KelvaneMsgCenter::BlockingRecordModel> records; // Records: the list; Record: one entry
    int value = 0;                                              // BlockedTimes, Error, StateChanged
    DWORD threadId = 0;
};

// Each record as its key and status, in order.
using KeysStatuses = std::vector<std::pair<std::wstring, int>>;
inline KeysStatuses KeysAndStatus(const std::vector<KelvaneMsgCenter::BlockingRecordModel>& records) {
    KeysStatuses out;
    for (const auto& r : records) out.emplace_back(r.popupId, r.status);
    return out;
}

class HostRecorder : public KelvaneMsgCenter::IPopUpBlockingCallback {
public:
    using Records = std::vector<KelvaneMsgCenter::BlockingRecordModel>;

    void OnBlockingRecords(const Records& records) override { Add({HostEvent::Records, records}); }
    void OnBlockingRecord(const KelvaneMsgCenter::BlockingRecordModel& r) override { Add({HostEvent::Record, {r}}); }
    void OnBlockedTimes(int n) override { Add({HostEvent::BlockedTimes, {}, n}); }
    void OnError(int code) override { Add({HostEvent::Error, {}, code}); }
    void OnStateChanged(int state) override { Add({HostEvent::StateChanged, {}, state}); }

    std::vector<HostEvent> Events() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return events_;
    }
    std::vector<HostEvent> OfKind(HostEvent::Kind kind) const {
        std::vector<HostEvent> out;
        for (const auto& e : Events()) if (e.kind == kind) out.push_back(e);
        return out;
    }
    // The values of the events of one kind (counters, error codes, states).
    std::vector<int> Values(HostEvent::Kind kind) const {
        std::vector<int> out;
        for (const auto& e : OfKind(kind)) out.push_back(e.value);
        return out;
    }
    // The records told one at a time (OnBlockingRecord), as key and status.
    KeysStatuses RecordsTold() const {
        Records told;
        for (const auto& e : OfKind(HostEvent::Record)) told.push_back(e.records[0]);
        return KeysAndStatus(told);
    }
    size_t CountOf(HostEvent::Kind kind) const { return OfKind(kind).size(); }
    bool WaitFor(HostEvent::Kind kind, size_t n) const {
        return WaitUntil([&] { return CountOf(kind) >= n; });
    }
    void Clear() {
        std::lock_guard<std::mutex> lock(mutex_);
        events_.clear();
    }

    std::function<void(HostEvent::Kind)> onCall;

private:
    void Add(HostEvent event) {
        if (onCall) onCall(event.kind);
        event.threadId = GetCurrentThreadId();
        std::lock_guard<std::mutex> lock(mutex_);
        events_.push_back(std::move(event));
    }

    mutable std::mutex mutex_;
    std::vector<HostEvent> events_;
};

} // namespace adwtest
