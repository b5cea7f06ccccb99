#include "ui/BlockingPopup.h"

#include "common/CallLoggingExceptions.h"
#include "common/LogLine.h"
#include "telemetry/DataReporter.h"
#include "ui/HatPlacement.h"
#include "vendor/PopUpBlockingVendor.h"
#include "vendor/PopupDescription.h"

namespace KelvaneCenter {

namespace {
constexpr DWORD kHatStyle = WS_POPUP | WS_BORDER | WS_SYSMENU;
constexpr DWORD kHatExStyle = WS_EX_TOPMOST | WS_EX_TOOLWINDOW;
constexpr UINT kKeepPlace = SWP_NOSIZE | SWP_NOMOVE | SWP_NOACTIVATE;

bool IsTopMost(HWND window) {
    return (GetWindowLongW(window, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0;
}

// The capture overlay of this process while it is open (it covers the whole
// desktop and is what the user is looking at now); null otherwise.
HWND OpenCaptureOverlay() {
    for (HWND w = FindWindowExW(nullptr, nullptr, L"CaptureWindowDialog", nullptr); w != nullptr;
         w = FindWindowExW(nullptr, w, L"CaptureWindowDialog", nullptr)) {
        DWORD processId = 0;
        if (IsWindowVisible(w) && GetWindowThreadProcessId(w, &processId) != 0 && processId == GetCurrentProcessId()) {
            return w;
        }
    }
    return nullptr;
}

bool IsAbove(HWND upper, HWND lower) {
    for (HWND w = GetWindow(lower, GW_HWNDPREV); w != nullptr; w = GetWindow(w, GW_HWNDPREV)) {
        if (w == upper) {
            return true;
        }
    }
    return false;
}
} // namespace

bool BlockingPopup::Prepare() {
    return Create(nullptr, nullptr, kHatStyle, kHatExStyle) != nullptr;
}

bool BlockingPopup::Open(HWND window, const std::wstring& key, const char* tag) {
    adWindow = window;
    popupKey = key;
    GetWindowRect(window, &adWindowRect);
    if (GetHWND() == nullptr && !Prepare()) {
        closed = true;
        return false;
    }
    SetTimer(GetHWND(), kWatchTimer, kWatchPeriodMs, nullptr);
    const float scale = static_cast<float>(GetDpiForWindow(GetHWND())) / 96.0f;
    if (scale == 0) {
        // Left unplaced and hidden; its watch still closes it when the ad window goes.
        adw::LogLine(adw::kLogError, tag, "Divided by 0");
        return true;
    }
    const RECT place = HatPlacement(adWindowRect, scale, GetSystemMetrics(SM_CXSCREEN));
    SetWindowPos(GetHWND(), HWND_TOPMOST, place.left, place.top, place.right - place.left, place.bottom - place.top,
                 SWP_NOACTIVATE);
    ShowWindow(true, true);
    return true;
}

// Every handler of the hat runs inside this call, so nothing thrown in one of
// them goes back through the window procedure.
LRESULT BlockingPopup::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    LRESULT result = 0;
    adw::CallLoggingExceptions(
        [&] {
            if (message == WM_TIMER) {
                OnWatchTick();
                return;
            }
            if (message == WM_LBUTTONDOWN) {
                press_.OnButtonDown(GetHWND(), lParam);
            } else if (message == WM_DESTROY) {
                // However the window goes (a WM_CLOSE posted by anyone), its
                // owner may delete the hat and stops counting it.
                closed = true;
            }
            if (message != WM_LBUTTONUP) {
                result = WindowImplBase::HandleMessage(message, wParam, lParam);
                return;
            }
            // The click is notified while the button-up is handled (and the
            // capture's release sends other messages meanwhile).
            realClick_ = press_.OnButtonUp(GetHWND(), lParam);
            result = WindowImplBase::HandleMessage(message, wParam, lParam);
            realClick_ = false;
        },
        "KelvaneCenter::BlockingPopup::HandleMessage", "failed by an exception: ");
    return result;
}

void BlockingPopup::Notify(DuiLib::TNotifyUI& msg) {
    if (msg.pSender == nullptr) {
        adw::LogLine(adw::kLogInfo, "KelvaneCenter::BlockingPopup::Notify", L"sender is nullptr");
        return;
    }
    if (msg.sType != DUI_MSGTYPE_CLICK) {
        return;
    }
    if (!realClick_) {
        // Posted by some program: deciding for good is the user's alone.
        adw::LogLine(adw::kLogError, "KelvaneCenter::BlockingPopup::Notify", L"click not from the input system, ignored");
        return;
    }
    const DuiLib::CDuiString name = msg.pSender->GetName();
    const wchar_t* key = popupKey.c_str();
    if (name == L"IgnoringBlocking") {
        PopUpBlockingVendor::GetInstance().SetHandleType(key, false);
        DataReporter::ReportOverCap("CLICK_IGNORE", GetPopupInfo(key));
        CloseHat();
    } else if (name == L"BlockingNow") {
        PopUpBlockingVendor::GetInstance().SetHandleType(key, true);
        DataReporter::ReportOverCap("CLICK_BLOCKING", GetPopupInfo(key));
        CloseHat();
    }
}

void BlockingPopup::CloseHat() {
    closed = true;
    KillTimer(GetHWND(), kWatchTimer);
    Close(1);
}

void BlockingPopup::CloseReporting(const char* manner) {
    CloseHat();
    Report(manner);
}

void BlockingPopup::Report(const char* manner) const {
    DataReporter::ReportOverCap(manner, GetPopupInfo(popupKey.c_str()));
}

bool BlockingPopup::AdWindowGone() const {
    return adWindow == nullptr || !IsWindow(adWindow) || !IsWindowVisible(adWindow);
}

bool BlockingPopup::CloseIfAdWindowGone() {
    if (closed || !AdWindowGone()) {
        return false;
    }
    CloseHat();
    return true;
}

void BlockingPopup::OnWatchTick() {
    if (closed) {
        return; // a tick already queued when the hat closed
    }
    if (AdWindowGone()) {
        CloseReporting(kAutoHide);
        return;
    }
    RECT now = {};
    GetWindowRect(adWindow, &now);
    if (!EqualRect(&now, &adWindowRect)) {
        CloseReporting("WINDOW_MOVE");
        return;
    }
    KeepZOrder();
}

// Under the mouse, or over a top-most ad window, the hat is top-most; otherwise it
// sits right below its ad window, so whatever covers the ad covers the hat too.
// While the capture overlay is open the hat stays under it.
void BlockingPopup::KeepZOrder() {
    HWND self = GetHWND();
    if (const HWND overlay = OpenCaptureOverlay()) {
        // A raise of the hat still pending when the overlay opened is undone.
        if (!IsAbove(overlay, self)) {
            SetWindowPos(self, overlay, 0, 0, 0, 0, kKeepPlace);
        }
        return;
    }
    POINT cursor = {};
    GetCursorPos(&cursor);
    if (WindowFromPoint(cursor) == self) {
        if (!IsTopMost(self)) {
            BringWindowToTop(self);
            SetWindowPos(self, HWND_TOPMOST, 0, 0, 0, 0, kKeepPlace);
        }
    } else if (IsTopMost(adWindow)) {
        // Raised only when something is above it: a raise each tick would also
        // undo a place under the capture overlay that the display had not caught up with.
        if (!IsTopMost(self) || GetWindow(self, GW_HWNDPREV) != nullptr) {
            BringWindowToTop(self);
            SetWindowPos(self, HWND_TOPMOST, 0, 0, 0, 0, kKeepPlace);
        }
    } else if (GetWindow(adWindow, GW_HWNDNEXT) != self || IsTopMost(self)) {
        // Moving a window costs a round trip to the display; most ticks find it in place.
        SetWindowPos(self, adWindow, 0, 0, 0, 0, kKeepPlace);
    }
}

} // namespace KelvaneCenter
