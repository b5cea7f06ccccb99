// Timed notifications for benchmarks: the cost of each delivery as the engine's
// own thread sees it.

#include <memory>
#include <string>
#include <vector>

#include "AdPopBlocker64/EngineScript.h"
#include "AdPopBlocker64/ScriptedTracker.h"
#include "common/UniqueResource.h"

namespace {

using adpop::Notification;

constexpr DWORD kJoinTimeoutMs = 300000; // a long timed series with a pool submit beside each takes minutes

// Shared by the caller and the firing thread, so that a caller that gave up
// waiting leaves the thread nothing dangling.
struct TimedJob {
    Notification kind = Notification::AdHat;
    std::wstring key;
    bool keyIsNull = false;
    HWND window = nullptr;
    DWORD pauseMs = 0;
    std::vector<double> micros;
    std::vector<double> callMicros; // inside the callback alone
    std::vector<double> baseline; // empty: no baseline asked for
    int delivered = 0;
};

// Microseconds that `fn` took.
template <typename Fn>
double Time(Fn&& fn) {
    LARGE_INTEGER frequency;
    LARGE_INTEGER before;
    LARGE_INTEGER after;
    ::QueryPerformanceFrequency(&frequency);
    ::QueryPerformanceCounter(&before);
    fn();
    ::QueryPerformanceCounter(&after);
    return static_cast<double>(after.QuadPart - before.QuadPart) * 1e6 / static_cast<double>(frequency.QuadPart);
}

void TimeEach(TimedJob& job) {
    adpop::NotificationHub& hub = adpop::ScriptedTracker::Instance().hub;
    const wchar_t* key = job.keyIsNull ? nullptr : job.key.c_str();
    for (size_t i = 0; i < job.micros.size(); ++i) {
        if (job.pauseMs > 0 && i > 0) {
            ::Sleep(job.pauseMs);
        }
        job.micros[i] =
            Time([&] { job.delivered += hub.Deliver(job.kind, key, job.window, &job.callMicros[i]) ? 1 : 0; });
        if (!job.baseline.empty()) {
            ::Sleep(job.pauseMs);
            job.baseline[i] =
                Time([] { ::TrySubmitThreadpoolCallback([](PTP_CALLBACK_INSTANCE, void*) {}, nullptr, nullptr); });
        }
    }
}

int TimeNotifications(int kind, const wchar_t* key, HWND window, unsigned count, unsigned pauseMs,
                      double* microsOut, double* callMicrosOut, double* baselineOut) {
    auto job = std::make_shared<TimedJob>();
    if ((count > 0 && microsOut == nullptr) || !adpop::NotificationFromKind(kind, job->kind)) {
        return -1;
    }
    job->keyIsNull = key == nullptr;
    job->key = key != nullptr ? key : L"";
    job->window = window;
    job->pauseMs = pauseMs;
    job->micros.assign(count, 0.0);
    job->callMicros.assign(count, 0.0);
    job->baseline.assign(baselineOut != nullptr ? count : 0, 0.0);

    const int ended = adpop::RunOnEngineThread(job, &TimeEach, kJoinTimeoutMs);
    if (ended != 0) {
        return ended;
    }
    for (unsigned i = 0; i < count; ++i) {
        microsOut[i] = job->micros[i];
        if (callMicrosOut != nullptr) {
            callMicrosOut[i] = job->callMicros[i];
        }
        if (baselineOut != nullptr) {
            baselineOut[i] = job->baseline[i];
        }
    }
    return job->delivered;
}

} // namespace

int __cdecl AdPopScript_TimeNotifications(int kind, const wchar_t* key, HWND window, unsigned count,
                                          unsigned pauseMs, double* microsOut, double* callMicrosOut,
                                          double* baselineOut) {
    try {
        return TimeNotifications(kind, key, window, count, pauseMs, microsOut, callMicrosOut, baselineOut);
    } catch (...) {
        return -1; // nothing thrown inside the engine crosses its C exports
    }
}
