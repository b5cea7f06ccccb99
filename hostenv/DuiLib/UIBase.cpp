#include "DuiLib/UIBase.h"

#include "DuiLib/UIManager.h"

namespace DuiLib {

CWindowWnd::~CWindowWnd() {
    HWND window = window_;
    if (window == nullptr || !IsWindow(window)) {
        return;
    }
    window_ = nullptr;
    SetWindowLongPtrW(window, GWLP_USERDATA, 0); // from here on the window no longer reaches this object
    if (GetWindowThreadProcessId(window, nullptr) == GetCurrentThreadId()) {
        DestroyWindow(window);
    } else {
        ::PostMessageW(window, WM_CLOSE, 0, 0);
    }
}

bool CWindowWnd::RegisterWindowClass() {
    WNDCLASSEXW windowClass = {};
    windowClass.cbSize = sizeof windowClass;
    windowClass.style = GetClassStyle();
    windowClass.lpfnWndProc = WindowProc;
    windowClass.hInstance = CPaintManagerUI::GetInstance();
    windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    windowClass.lpszClassName = GetWindowClassName();
    return RegisterClassExW(&windowClass) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

HWND CWindowWnd::Create(HWND parent, const wchar_t* name, DWORD style, DWORD exStyle, int x, int y, int cx, int cy,
                        HMENU menu) {
    if (window_ != nullptr || !RegisterWindowClass()) {
        return nullptr;
    }
    return CreateWindowExW(exStyle, GetWindowClassName(), name != nullptr ? name : L"", style, x, y, cx, cy, parent,
                           menu, CPaintManagerUI::GetInstance(), this);
}

void CWindowWnd::ShowWindow(bool show, bool takeFocus) {
    if (window_ != nullptr) {
        ::ShowWindow(window_, show ? (takeFocus ? SW_SHOWNORMAL : SW_SHOWNOACTIVATE) : SW_HIDE);
    }
}

void CWindowWnd::Close(UINT result) {
    if (window_ != nullptr && IsWindow(window_)) {
        ::PostMessageW(window_, WM_CLOSE, static_cast<WPARAM>(result), 0);
    }
}

void CWindowWnd::CenterWindow() {
    RECT window = {};
    RECT work = {};
    GetWindowRect(window_, &window);
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    const int cx = window.right - window.left;
    const int cy = window.bottom - window.top;
    SetWindowPos(window_, nullptr, work.left + (work.right - work.left - cx) / 2,
                 work.top + (work.bottom - work.top - cy) / 2, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

LRESULT CWindowWnd::SendMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    return ::SendMessageW(window_, message, wParam, lParam);
}

LRESULT CWindowWnd::PostMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    return ::PostMessageW(window_, message, wParam, lParam);
}

LRESULT CWindowWnd::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    return DefWindowProcW(window_, message, wParam, lParam);
}

void CWindowWnd::OnFinalMessage(HWND) {}

LRESULT CALLBACK CWindowWnd::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    CWindowWnd* self = nullptr;
    if (message == WM_NCCREATE) {
        self = static_cast<CWindowWnd*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
        self->window_ = window;
        SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    } else {
        self = reinterpret_cast<CWindowWnd*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    }
    if (self == nullptr) {
        return DefWindowProcW(window, message, wParam, lParam);
    }
    if (message == WM_NCDESTROY) {
        const LRESULT result = DefWindowProcW(window, message, wParam, lParam);
        SetWindowLongPtrW(window, GWLP_USERDATA, 0);
        self->window_ = nullptr;
        self->OnFinalMessage(window);
        return result;
    }
    return self->HandleMessage(message, wParam, lParam);
}

} // namespace DuiLib
