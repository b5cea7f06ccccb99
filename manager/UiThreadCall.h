#pragma once

#include <windows.h>

#include <functional>

namespace KelvaneCenter {

enum class UiCall { Ran, NoUiThread, NotInTime };

// Runs `job` on the host's UI thread: at once when called there; from any other
// thread in a job queued behind everything dispatched before it, waited for
// (at most `timeoutMs`, serving messages sent to the caller meanwhile). Without
// a UI thread the job does not run. A job not run in time still runs later.
UiCall RunOnUiThread(std::function<void()> job, DWORD timeoutMs);

} // namespace KelvaneCenter
