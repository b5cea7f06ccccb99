#include "DuiLib/WinImplBase.h"

namespace DuiLib {

LRESULT WindowImplBase::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    BOOL handled = TRUE;
    LRESULT result = 0;
    switch (message) {
    case WM_CREATE:
        result = OnCreate(message, wParam, lParam, handled);
        break;
    case WM_CLOSE:
        result = OnClose(message, wParam, lParam, handled);
        break;
    case WM_DESTROY:
        result = OnDestroy(message, wParam, lParam, handled);
        break;
    case WM_SIZE:
        result = OnSize(message, wParam, lParam, handled);
        break;
    case WM_MOUSEMOVE:
        result = OnMouseMove(message, wParam, lParam, handled);
        break;
    case WM_LBUTTONDOWN:
        result = OnLButtonDown(message, wParam, lParam, handled);
        break;
    case WM_LBUTTONUP:
        result = OnLButtonUp(message, wParam, lParam, handled);
        break;
    case WM_KEYDOWN:
        result = OnKeyDown(message, wParam, lParam, handled);
        break;
    default:
        handled = FALSE;
        break;
    }
    if (handled) {
        return result;
    }
    handled = TRUE;
    result = HandleCustomMessage(message, wParam, lParam, handled);
    if (handled) {
        return result;
    }
    if (m_pm.MessageHandler(message, wParam, lParam, result)) {
        return result;
    }
    return CWindowWnd::HandleMessage(message, wParam, lParam);
}

void WindowImplBase::Move(int x, int y) {
    SetWindowPos(GetHWND(), nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

LRESULT WindowImplBase::OnCreate(UINT, WPARAM, LPARAM, BOOL& handled) {
    handled = TRUE;
    m_pm.Init(GetHWND());
    CDuiString path = CPaintManagerUI::GetInstancePath();
    path += GetSkinFile();
    CDialogBuilder builder;
    CControlUI* root = builder.Create(path, this, &m_pm);
    if (root == nullptr) {
        return -1; // no layout, no window: Create returns null
    }
    m_pm.AttachDialog(root);
    m_pm.AddNotifier(this);
    const SIZE size = m_pm.GetInitSize();
    if (size.cx > 0 && size.cy > 0) {
        SetWindowPos(GetHWND(), nullptr, 0, 0, m_pm.Scale(size.cx), m_pm.Scale(size.cy),
                     SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
    InitWindow();
    return 0;
}

LRESULT WindowImplBase::OnClose(UINT, WPARAM, LPARAM, BOOL& handled) {
    handled = FALSE; // the default closing destroys the window
    return 0;
}

LRESULT WindowImplBase::OnDestroy(UINT, WPARAM, LPARAM, BOOL& handled) {
    handled = FALSE;
    return 0;
}

LRESULT WindowImplBase::OnSize(UINT, WPARAM, LPARAM, BOOL& handled) {
    handled = FALSE; // the paint manager lays the controls out again
    return 0;
}

LRESULT WindowImplBase::OnMouseMove(UINT, WPARAM, LPARAM, BOOL& handled) {
    handled = FALSE;
    return 0;
}

LRESULT WindowImplBase::OnLButtonDown(UINT, WPARAM, LPARAM, BOOL& handled) {
    handled = FALSE;
    return 0;
}

LRESULT WindowImplBase::OnLButtonUp(UINT, WPARAM, LPARAM, BOOL& handled) {
    handled = FALSE;
    return 0;
}

LRESULT WindowImplBase::OnKeyDown(UINT, WPARAM, LPARAM, BOOL& handled) {
    handled = FALSE;
    return 0;
}

LRESULT WindowImplBase::HandleCustomMessage(UINT, WPARAM, LPARAM, BOOL& handled) {
    handled = FALSE;
    return 0;
}

} // namespace DuiLib
