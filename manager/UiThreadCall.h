#pragma once

#include <windows.h>

#include <functional>

namespace KelvaneCenter {

// Hands `job` to the host's UI thread through the UI library's queue. The job
// keeps this library loaded until it has run or been dropped, since the host
// may unload it as soon as UnInit returns while the job still waits in the
// queue; what it throws is logged with `tag` and goes no further. False when
// the queue did not take it.
bool DispatchToUiThread(const char* tag, std::function<void()> job);

enum class UiCall { Ran, NotDispatched, NotInTime };

// Runs `job` on the host's UI thread: at once when called there; from any other
// thread in a job queued behind everything dispatched before it, waited for
// (at most `timeoutMs`, serving messages sent to the caller meanwhile). A job
// the queue did not take does not run; one not run in time still runs later.
UiCall RunOnUiThread(const char* tag, std::function<void()> job, DWORD timeoutMs);

// True on the host's UI thread.
bool OnUiThread();

// The longest a wait of ours may keep the host's UI thread from its loop:
// a wait there that serves only sent messages cannot run the UI library's
// jobs, and a host callback may be waiting for one of them. Elsewhere waits
// are unbounded, so that what the host was promised holds when they return.
DWORD WaitLimitForThisThread();

} // namespace KelvaneCenter
