#pragma once

#include <atomic>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "AdPopBlocker64/ItemTable.h"
#include "AdPopBlocker64/NotificationHub.h"
#include "common/UniqueResource.h"

namespace adpop {

template <typename Job>
struct EngineThreadStart {
    std::shared_ptr<Job> job;
    void (*body)(Job&);

    static DWORD WINAPI Entry(void* param) {
        std::unique_ptr<EngineThreadStart> owned(static_cast<EngineThreadStart*>(param));
        try {
            owned->body(*owned->job);
        } catch (...) {
            // An engine thread ends quietly; the caller sees what the job recorded.
        }
        return 0;
    }
};

// Runs `body(*job)` on a new engine thread and waits up to `timeoutMs`: 0 when
// it ended, -1 when no thread could start, -2 when it is still running. The job
// is shared with the thread, so a caller that gave up leaves nothing dangling.
template <typename Job>
int RunOnEngineThread(const std::shared_ptr<Job>& job, void (*body)(Job&), DWORD timeoutMs) {
    auto* start = new EngineThreadStart<Job>{job, body};
    adw::UniqueHandle thread(::CreateThread(nullptr, 0, &EngineThreadStart<Job>::Entry, start, 0, nullptr));
    if (!thread) {
        delete start;
        return -1;
    }
    return ::WaitForSingleObject(thread.get(), timeoutMs) == WAIT_OBJECT_0 ? 0 : -2;
}

// The engine's own threads: one per fired notification, or a storm of threads
// that fire all four notifications in turn until stopped.
class EngineThreads {
public:
    EngineThreads(NotificationHub& hub, ItemTable& items) : hub_(hub), items_(items) {}

    // 1 delivered, 0 not delivered, -1 no thread, -2 not back within the bound.
    int FireOnce(Notification kind, const wchar_t* key, HWND window);

    bool StartStorm(unsigned threads, const wchar_t* key, HWND window);
    unsigned long long StormCalls() const { return stormCalls_.load(); }
    // The performance counter as the last FireOnce's thread called the callback.
    long long LastFiredAt() const { return lastFiredAt_.load(); }
    // false when a storm thread did not end within the bound; it is then kept.
    bool StopStorm();

    // An engine thread takes the table lock and keeps it; NotifyUnderTableLock
    // then has it deliver one notification still holding the lock, release it
    // and end (1 delivered, 0 not, -2 not back within the bound).
    bool HoldTableLock();
    int NotifyUnderTableLock(Notification kind, const wchar_t* key, HWND window);
    void ReleaseTableLock(); // without a notification; nothing when not held

private:
    static DWORD WINAPI StormThread(void* self);
    static DWORD WINAPI LockHolderThread(void* self);
    void RunStorm();

    std::atomic<long long> lastFiredAt_{0};
    NotificationHub& hub_;
    ItemTable& items_;
    // The lock holder: `holdGate_` lets it go on, once `held*` say what to deliver.
    adw::UniqueHandle holder_;
    adw::UniqueHandle lockTaken_{::CreateEventW(nullptr, TRUE, FALSE, nullptr)};
    adw::UniqueHandle holdGate_{::CreateEventW(nullptr, TRUE, FALSE, nullptr)};
    int heldKind_ = -1;
    std::wstring heldKey_;
    HWND heldWindow_ = nullptr;
    std::atomic<int> heldDelivered_{0};
    std::mutex stormMutex_;
    std::vector<adw::UniqueHandle> storm_;
    std::atomic<bool> stopStorm_{false};
    std::atomic<unsigned long long> stormCalls_{0};
    // Written only while no storm thread runs.
    std::wstring stormKey_;
    bool stormKeyIsNull_ = false;
    HWND stormWindow_ = nullptr;
};

} // namespace adpop
