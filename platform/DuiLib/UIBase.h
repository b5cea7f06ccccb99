#pragma once

#include "DuiLib/UIString.h"

namespace DuiLib {

// A window whose messages reach the object's HandleMessage. The object never
// deletes itself: the owner deletes it, on the window's thread.
class DUILIB_API CWindowWnd {
public:
    CWindowWnd() = default;
    // A window still open is destroyed when its object goes. That can only be
    // done on the window's own thread; from another thread the window is cut
    // off from the object and asked to close, so it can never reach freed memory.
    virtual ~CWindowWnd();
    CWindowWnd(const CWindowWnd&) = delete;
    CWindowWnd& operator=(const CWindowWnd&) = delete;

    HWND GetHWND() const { return window_; }
    operator HWND() const { return window_; } // NOLINT

    HWND Create(HWND parent, const wchar_t* name, DWORD style, DWORD exStyle, int x = CW_USEDEFAULT,
                int y = CW_USEDEFAULT, int cx = CW_USEDEFAULT, int cy = CW_USEDEFAULT, HMENU menu = nullptr);
    void ShowWindow(bool show = true, bool takeFocus = true);
    // Asks the window to close (posted, so it is safe from inside its own handlers).
    void Close(UINT result = IDOK);
    void CenterWindow();
    LRESULT SendMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0);
    LRESULT PostMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0);

    virtual const wchar_t* GetWindowClassName() const = 0;
    virtual UINT GetClassStyle() const { return 0; }
    virtual LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);

protected:
    virtual void OnFinalMessage(HWND window);

private:
    bool RegisterWindowClass();
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

    HWND window_ = nullptr;
};

} // namespace DuiLib
