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

constexpr DWORD kJoinTimeoutMs = 60000;

// Shared by the caller and the firing thread, so that a caller that gave up
// waiting leaves the thread nothing dangling.
struct TimedJob {
    Notification kind = Notification::AdHat;
    std::wstring key;
    bool keyIsNull = false;
    HWND window = nullptr;
    DWORD pauseMs = 0;
    std::vector<double> micros;
    int delivered = 0;
};

void TimeEach(TimedJob& job) {
    adpop::NotificationHub& hub = adpop::ScriptedTracker::Instance().hub;
    const wchar_t* key = job.keyIsNull ? nullptr : job.key.c_str();
    LARGE_INTEGER frequency;
    ::QueryPerformanceFrequency(&frequency);
    const double ticksPerMicro = static_cast<double>(frequency.QuadPart) / 1e6;
    for (double& slot : job.micros) {
        if (job.pauseMs > 0 && &slot != job.micros.data()) {
            ::Sleep(job.pauseMs);
        }
        LARGE_INTEGER before;
        LARGE_INTEGER after;
        ::QueryPerformanceCounter(&before);
        const bool delivered = hub.Deliver(job.kind, key, job.window);
        ::QueryPerformanceCounter(&after);
        slot = static_cast<double>(after.QuadPart - before.QuadPart) / ticksPerMicro;
        job.delivered += delivered ? 1 : 0;
    }
}

int TimeNotifications(int kind, const wchar_t* key, HWND window, unsigned count, unsigned pauseMs,
                      double* microsOut) {
    auto job = std::make_shared<TimedJob>();
    if ((count > 0 && microsOut == nullptr) || !adpop::NotificationFromKind(kind, job->kind)) {
        return -1;
    }
    job->keyIsNull = key == nullptr;
    job->key = key != nullptr ? key : L"";
    job->window = window;
    job->pauseMs = pauseMs;
    job->micros.assign(count, 0.0);

    const int ended = adpop::RunOnEngineThread(job, &TimeEach, kJoinTimeoutMs);
    if (ended != 0) {
        return ended;
    }
    for (unsigned i = 0; i < count; ++i) {
        microsOut[i] = job->micros[i];
    }
    return job->delivered;
}

} // namespace

int __cdecl AdPopScript_TimeNotifications(int kind, const wchar_t* key, HWND window, unsigned count,
                                          unsigned pauseMs, double* microsOut) {
    try {
        return TimeNotifications(kind, key, window, count, pauseMs, microsOut);
    } catch (...) {
        return -1; // nothing thrown inside the engine crosses its C exports
    }
}
