#pragma once

// Whether a mouse button message came from the input system. Any program of
// the user can post a button-down and -up to our windows at the point of its
// choosing; only a press of the real (or injected) pointer arrives through the
// input queue with its own position as the message's position.

#include <windows.h>

namespace KelvaneCenter {

// The mouse message now being handled, at `lParam` in `window`'s client
// coordinates, came from the input system: its message position is that very
// point and, where Windows can tell, its source is an input device.
bool IsFromInputSystem(HWND window, LPARAM lParam);

// One press of the left button on one window: the button-up counts as a click
// only when it and the button-down before it on the same window both came
// from the input system.
class RealPress {
public:
    void OnButtonDown(HWND window, LPARAM lParam) { downOn_ = IsFromInputSystem(window, lParam) ? window : nullptr; }
    bool OnButtonUp(HWND window, LPARAM lParam) {
        const bool real = downOn_ == window && window != nullptr && IsFromInputSystem(window, lParam);
        downOn_ = nullptr;
        return real;
    }

private:
    HWND downOn_ = nullptr;
};

} // namespace KelvaneCenter
