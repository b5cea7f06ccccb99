#pragma once

// The console host's hands on the desktop: screenshots, the hats it shows, a click.

#include <windows.h>

#include <string>
#include <vector>

namespace kelvane {

// Saves the whole virtual screen as a PNG file (GDI capture, GDI+ encoder);
// GDI+ must be started. An empty result is success, else what went wrong.
std::string SaveScreenPng(const std::wstring& path);

struct Hat {
    RECT rect{};
    HWND ad = nullptr;        // the window of another process it sits over, if any
    std::wstring adTitle;
};
// This process's visible hat windows (class "BlockingPopup"), top-most first.
std::vector<Hat> FindHats();

// A left click at a screen point through SendInput, the cursor put there first.
bool ClickAt(POINT point);

} // namespace kelvane
