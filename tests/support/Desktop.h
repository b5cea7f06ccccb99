#pragma once

// What tests of windows on the desktop share: a UI thread like the host's, and
// screenshots for a person to look at.

#include <windows.h>

#include <functional>
#include <string>
#include <thread>
#include <vector>

namespace adwtest {

// A thread running the UI library's message loop, as the host's UI thread does
// (GDI+ started, the library's dispatch queue bound to it).
class UiThread {
public:
    UiThread();
    ~UiThread();
    UiThread(const UiThread&) = delete;
    UiThread& operator=(const UiThread&) = delete;

    DWORD Id() const { return id_; }
    // Runs `fn` on the UI thread and waits (bounded) for it; false on time-out.
    bool Run(const std::function<void()>& fn);

private:
    std::thread thread_;
    DWORD id_ = 0;
};

// Saves the screen area as <exe dir>\screenshots\<name>.png, prints the path and returns it.
std::wstring SaveScreenshotPng(const std::wstring& name, const RECT& area);

// Pumps this thread's messages for a while, so windows settle after a change.
void PumpMessages(DWORD ms);

// Clicks the left button at a screen point.
void ClickAt(POINT point);

// The visible top-level windows of a class, of any process, in z-order.
std::vector<HWND> VisibleWindows(const wchar_t* className);
// The top-most of them; null when none is visible. (The library keeps a hidden
// spare hat between hats: a hat is looked for among the visible windows.)
HWND VisibleWindowOfClass(const wchar_t* className);

} // namespace adwtest
