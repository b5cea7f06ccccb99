#include "DuiLib/UIManager.h"

#include <windowsx.h>

#include <algorithm>

#include "DuiLib/UIMainQueue.h"

namespace DuiLib {

namespace {
HINSTANCE g_instance = nullptr;
}

CPaintManagerUI::~CPaintManagerUI() {
    delete root_;
    ForgetFonts();
}

void CPaintManagerUI::SetInstance(HINSTANCE instance) {
    g_instance = instance;
    UIMainQueue::getInstance().AttachToCurrentThread();
}

HINSTANCE CPaintManagerUI::GetInstance() {
    return g_instance != nullptr ? g_instance : GetModuleHandleW(nullptr);
}

CDuiString CPaintManagerUI::GetInstancePath() {
    wchar_t path[MAX_PATH] = {};
    const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) {
        return CDuiString();
    }
    wchar_t* slash = std::max(wcsrchr(path, L'\\'), wcsrchr(path, L'/'));
    if (slash != nullptr) {
        slash[1] = L'\0';
    }
    return CDuiString(path);
}

void CPaintManagerUI::MessageLoop() {
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
}

void CPaintManagerUI::Init(HWND window) {
    window_ = window;
}

bool CPaintManagerUI::AttachDialog(CControlUI* root) {
    delete root_;
    root_ = root;
    hot_ = pushed_ = nullptr;
    if (root_ != nullptr) {
        root_->SetManager(this, nullptr);
    }
    NeedUpdate();
    return root_ != nullptr;
}

CControlUI* CPaintManagerUI::FindControl(const wchar_t* name) const {
    return root_ != nullptr && name != nullptr ? root_->FindControlByName(name) : nullptr;
}

CControlUI* CPaintManagerUI::FindControl(POINT point) const {
    if (needLayout_) {
        // Input can arrive before the first paint of a window just shown or resized.
        const_cast<CPaintManagerUI*>(this)->Layout();
    }
    return root_ != nullptr ? root_->FindControlAt(point) : nullptr;
}

void CPaintManagerUI::AddNotifier(INotifyUI* notifier) {
    if (notifier != nullptr && std::find(notifiers_.begin(), notifiers_.end(), notifier) == notifiers_.end()) {
        notifiers_.push_back(notifier);
    }
}

void CPaintManagerUI::AddMessageFilter(IMessageFilterUI* filter) {
    if (filter != nullptr && std::find(filters_.begin(), filters_.end(), filter) == filters_.end()) {
        filters_.push_back(filter);
    }
}

void CPaintManagerUI::SendNotify(CControlUI* sender, const wchar_t* type, WPARAM wParam, LPARAM lParam) {
    TNotifyUI message;
    message.sType = type;
    message.pSender = sender;
    message.dwTimestamp = GetTickCount();
    GetCursorPos(&message.ptMouse);
    message.wParam = wParam;
    message.lParam = lParam;
    const std::vector<INotifyUI*> notifiers = notifiers_; // a notifier may add another
    for (INotifyUI* notifier : notifiers) {
        notifier->Notify(message);
    }
}

float CPaintManagerUI::GetScale() const {
    const UINT dpi = window_ != nullptr ? GetDpiForWindow(window_) : 0;
    return dpi != 0 ? static_cast<float>(dpi) / 96.0f : 1.0f;
}

int CPaintManagerUI::Scale(int units) const {
    return static_cast<int>(static_cast<float>(units) * GetScale());
}

void CPaintManagerUI::Invalidate(const RECT& area) {
    if (window_ != nullptr) {
        InvalidateRect(window_, &area, FALSE);
    }
}

HFONT CPaintManagerUI::GetFont(int size, bool bold) {
    for (const FontEntry& entry : fonts_) {
        if (entry.size == size && entry.bold == bold) {
            return entry.font;
        }
    }
    HFONT font = CreateFontW(-Scale(size), 0, 0, 0, bold ? FW_BOLD : FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                             OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, CLEARTYPE_QUALITY, DEFAULT_PITCH, L"Tahoma");
    fonts_.push_back({size, bold, font});
    return font;
}

void CPaintManagerUI::ForgetFonts() {
    for (const FontEntry& entry : fonts_) {
        DeleteObject(entry.font);
    }
    fonts_.clear();
}

void CPaintManagerUI::Layout() {
    needLayout_ = false;
    RECT client = {};
    GetClientRect(window_, &client);
    if (root_ != nullptr) {
        root_->SetPos(client);
    }
}

void CPaintManagerUI::SetHot(CControlUI* control) {
    if (control == hot_) {
        return;
    }
    if (hot_ != nullptr) {
        hot_->SetState(hot_->GetState() & ~UISTATE_HOT);
    }
    hot_ = control;
    if (hot_ != nullptr) {
        hot_->SetState(hot_->GetState() | UISTATE_HOT);
    }
}

bool CPaintManagerUI::MessageHandler(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
    if (window_ == nullptr) {
        return false;
    }
    for (IMessageFilterUI* filter : filters_) {
        bool handled = false;
        const LRESULT filtered = filter->MessageHandler(message, wParam, lParam, handled);
        if (handled) {
            result = filtered;
            return true;
        }
    }
    const POINT point = {GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
    switch (message) {
    case WM_ERASEBKGND:
        result = 1;
        return true;
    case WM_PAINT: {
        if (needLayout_) {
            Layout();
        }
        PAINTSTRUCT paint;
        HDC dc = BeginPaint(window_, &paint);
        RECT client = {};
        GetClientRect(window_, &client);
        // Painted off screen first, so the strip never flickers through white.
        HDC memory = CreateCompatibleDC(dc);
        HBITMAP bitmap = CreateCompatibleBitmap(dc, client.right, client.bottom);
        const HGDIOBJ old = SelectObject(memory, bitmap);
        FillRect(memory, &client, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
        if (root_ != nullptr) {
            root_->DoPaint(memory, paint.rcPaint);
        }
        BitBlt(dc, paint.rcPaint.left, paint.rcPaint.top, paint.rcPaint.right - paint.rcPaint.left,
               paint.rcPaint.bottom - paint.rcPaint.top, memory, paint.rcPaint.left, paint.rcPaint.top, SRCCOPY);
        SelectObject(memory, old);
        DeleteObject(bitmap);
        DeleteDC(memory);
        EndPaint(window_, &paint);
        result = 0;
        return true;
    }
    case WM_SIZE:
        NeedUpdate();
        InvalidateRect(window_, nullptr, FALSE);
        return false;
    case WM_DPICHANGED:
        ForgetFonts();
        NeedUpdate();
        return false;
    case WM_MOUSEMOVE: {
        if (!tracking_) {
            TRACKMOUSEEVENT track = {sizeof track, TME_LEAVE, window_, 0};
            tracking_ = TrackMouseEvent(&track) != FALSE;
        }
        CControlUI* under = FindControl(point);
        SetHot(under != nullptr && under->IsClickable() ? under : nullptr);
        return false;
    }
    case WM_MOUSELEAVE:
        tracking_ = false;
        SetHot(nullptr);
        return false;
    case WM_LBUTTONDOWN: {
        CControlUI* under = FindControl(point);
        if (under != nullptr && under->IsClickable()) {
            pushed_ = under;
            pushed_->SetState(pushed_->GetState() | UISTATE_PUSHED);
            SetCapture(window_);
        }
        return false;
    }
    case WM_LBUTTONUP: {
        CControlUI* pushed = pushed_;
        if (pushed == nullptr) {
            return false;
        }
        pushed_ = nullptr;
        pushed->SetState(pushed->GetState() & ~UISTATE_PUSHED);
        ReleaseCapture();
        if (FindControl(point) == pushed) {
            SendNotify(pushed, DUI_MSGTYPE_CLICK);
        }
        return false;
    }
    default:
        return false;
    }
}

} // namespace DuiLib
