#pragma once

#include <atomic>
#include <mutex>
#include <string>
#include <vector>

#include "AdPopBlocker64/NotificationHub.h"
#include "common/UniqueResource.h"

namespace adpop {

// The engine's own threads: one per fired notification, or a storm of threads
// that fire all four notifications in turn until stopped.
class EngineThreads {
public:
    explicit EngineThreads(NotificationHub& hub) : hub_(hub) {}

    // 1 delivered, 0 not delivered, -1 no thread, -2 not back within the bound.
    int FireOnce(Notification kind, const wchar_t* key, HWND window);

    bool StartStorm(unsigned threads, const wchar_t* key, HWND window);
    unsigned long long StormCalls() const { return stormCalls_.load(); }
    // false when a storm thread did not end within the bound; it is then kept.
    bool StopStorm();

private:
    static DWORD WINAPI StormThread(void* self);
    void RunStorm();

    NotificationHub& hub_;
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
