#pragma once

// The console host's hands on the desktop: screenshots, the hats it shows, a click.

#include <windows.h>

#include <string>
#include <vector>

namespace kelvane {

// Saves `area` of the screen (the whole virtual screen when null) as a PNG file
// (GDI capture, GDI+ encoder); GDI+ must be started. An empty result is
// success, else what went wrong.
std::string SaveScreenPng(const std::wstring& path, const RECT* area = nullptr);

struct Hat {
    HWND window = nullptr;
    RECT rect{};
    HWND ad = nullptr;        // the window of another process it sits over, if any
    std::wstring adTitle;
};
// This process's visible hat windows (class "BlockingPopup"), top-most first.
std::vector<Hat> FindHats();

// This process's visible capture overlay (class "CaptureWindowDialog"), or null.
HWND FindCaptureOverlay();
// Whether `upper` is above `lower` in the z-order.
bool IsAbove(HWND upper, HWND lower);

// A visible top-level window of another process with that title, or null.
HWND FindOtherWindow(const std::wstring& title);

struct OtherWindow {
    HWND window = nullptr;
    bool visible = false;
    std::wstring title;
};
// The titled top-level windows of other processes, shown or hidden, top-most first.
std::vector<OtherWindow> FindOtherWindows();

// The pointer moved to a screen point through SendInput, as a person moves it.
bool PointAt(POINT point);
// A left click at a screen point through SendInput.
bool ClickAt(POINT point);

} // namespace kelvane
