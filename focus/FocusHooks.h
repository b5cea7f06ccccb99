#pragma once

// The monitor's hook thread entry and hook procedures (the benchmark calls them too).

#include <windows.h>

namespace KelvaneCenter {

// The argument: the run's reference handed over by MonitorRun.
unsigned __stdcall WndThreadProc(void* run);

// Each passes the event on. The mouse and WinEvent procedures hand the window
// to be judged to the loop of the thread they run on, as a thread message,
// which that loop passes on to its run's judge thread.
LRESULT CALLBACK KeyboardHookProc(int code, WPARAM message, LPARAM record);
LRESULT CALLBACK MouseHookProc(int code, WPARAM message, LPARAM record);
void CALLBACK WinEventProc(HWINEVENTHOOK hook, DWORD event, HWND window, LONG objectId, LONG childId,
                           DWORD eventThread, DWORD eventTime);

} // namespace KelvaneCenter
