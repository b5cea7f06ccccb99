#pragma once

// The monitor thread's entry and hook procedures (the benchmark calls them too).

#include <windows.h>

namespace KelvaneCenter {

unsigned __stdcall WndThreadProc(void*);

// Each passes the event on. The mouse and WinEvent procedures hand the window
// to be judged to the loop of the thread they run on, as a thread message.
LRESULT CALLBACK KeyboardHookProc(int code, WPARAM message, LPARAM record);
LRESULT CALLBACK MouseHookProc(int code, WPARAM message, LPARAM record);
void CALLBACK WinEventProc(HWINEVENTHOOK hook, DWORD event, HWND window, LONG objectId, LONG childId,
                           DWORD eventThread, DWORD eventTime);

} // namespace KelvaneCenter
