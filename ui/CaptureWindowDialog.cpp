#include "ui/CaptureWindowDialog.h"

#include <algorithm>
#include <memory>
#include <new>
#include <vector>

#include "common/CallLoggingExceptions.h"
#include "common/LogLine.h"
#include "ui/CaptureGeometry.h"
#include "ui/CaptureTarget.h"
#include "ui/HubrixIpc.h"
#include "vendor/PopUpBlockingVendor.h"
#include "vendor/ProcessIdentity.h"

namespace KelvaneCenter {

namespace {

constexpr int kNotBlockable = 405;
#define ADW_CAPTURE_TAG(step) "KelvaneCenter::CaptureWindowDialog::" step

struct MonitorRecord {
    HMONITOR monitor = nullptr;
    RECT rect = {};
    std::wstring device;
    bool primary = false;
};

BOOL CALLBACK MonitorEnumProc(HMONITOR monitor, HDC, LPRECT rect, LPARAM list) {
    if (rect == nullptr || list == 0) {
        return TRUE;
    }
    try {
        MonitorRecord record;
        record.monitor = monitor;
        record.rect = *rect;
        MONITORINFOEXW info = {};
        info.cbSize = sizeof(info);
        if (GetMonitorInfoW(monitor, &info)) {
            record.device = info.szDevice;
            record.primary = info.dwFlags == MONITORINFOF_PRIMARY;
        }
        reinterpret_cast<std::vector<MonitorRecord>*>(list)->push_back(std::move(record));
    } catch (...) {
        // A monitor that cannot be recorded is left out of the union.
    }
    return TRUE;
}

} // namespace

// The desktop picture, painted first so that the marks lie over what the user sees.
class DesktopPictureUI : public DuiLib::CControlUI {
public:
    explicit DesktopPictureUI(HBITMAP picture) : picture_(picture) {}
    void DoPaint(HDC dc, const RECT& paint) override {
        HDC source = CreateCompatibleDC(dc);
        if (source != nullptr) {
            const HGDIOBJ old = SelectObject(source, picture_);
            BitBlt(dc, pos_.left, pos_.top, pos_.right - pos_.left, pos_.bottom - pos_.top, source, 0, 0, SRCCOPY);
            SelectObject(source, old);
            DeleteDC(source);
        }
        CControlUI::DoPaint(dc, paint);
    }

private:
    HBITMAP picture_;
};

CaptureWindowDialog::CaptureWindowDialog()
    : ipcClient(kHubrixClientId, kHubrixKeepConnection, kHubrixWaitForBusyPipe, kHubrixPipeName) {}

CaptureWindowDialog::~CaptureWindowDialog() {
    if (!captureUiInContainer_) {
        delete captureUI;
    }
}

const wchar_t* CaptureWindowDialog::GetWindowClassName() const {
    return L"CaptureWindowDialog";
}

DuiLib::CDuiString CaptureWindowDialog::GetSkinFile() {
    return L"layout\\PopUpBlocking\\CaptureWindowDialog.xml";
}

// Every handler of the overlay runs inside this call, so nothing thrown in one
// of them goes back through the window procedure.
LRESULT CaptureWindowDialog::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    constexpr const char* tag = ADW_CAPTURE_TAG("HandleMessage");
    LRESULT result = 0;
    adw::CallLoggingExceptions(
        [&] {
            if (message == WM_RBUTTONUP) {
                adw::LogLine(adw::kLogInfo, tag, "RBUTTONUP, close captureWindowDialog");
                Close(1);
            } else if (message == WM_INPUT) {
                HandleRawInput(reinterpret_cast<HRAWINPUT>(lParam));
            }
            result = WindowImplBase::HandleMessage(message, wParam, lParam);
        },
        tag, "failed by an exception: ");
    return result;
}

void CaptureWindowDialog::InitWindow() {
    SendIPCMsgToHubrix(ipcClient);
    CoverAllMonitors();
    TakeDesktopPicture();

    if (captureUI != nullptr && !captureUiInContainer_) {
        delete captureUI;
    }
    captureUI = new (std::nothrow) CCaptureWindowUI();
    captureUiInContainer_ = false;
    container = m_pm.FindControl(L"vl");
    if (auto* box = dynamic_cast<DuiLib::CContainerUI*>(container)) {
        if (pictureUI_ == nullptr && desktopPicture_) {
            pictureUI_ = new (std::nothrow) DesktopPictureUI(desktopPicture_.get());
            box->Add(pictureUI_);
        }
        captureUiInContainer_ = box->Add(captureUI);
    }
    tipPanel = m_pm.FindControl(L"vlBlockTips");
    tipText = m_pm.FindControl(L"txtBlockTips");
    tipHeight = 50;
    tipWidth = 200;

    if (captureUI != nullptr) {
        captureUI->origin = {screenLeft, screenTop};
        captureUI->backgroundColor = 0x01000001;
        captureUI->maskColor = 0x99000000;
        captureUI->borderColor = 0xFF0A59F7;
        captureUI->borderWidth = 2.0f;
        captureUI->targetRect = {screenLeft, screenTop, screenRight, screenBottom};
        captureUI->Invalidate();
    }

    POINT cursor = {};
    GetCursorPos(&cursor);
    OnMouseMoveToHwnd(FindWindowAtPoint(cursor.x, cursor.y, GetHWND()));
    RegisterKeyboardRawInput();
}

void CaptureWindowDialog::CoverAllMonitors() {
    std::vector<MonitorRecord> monitors;
    monitors.reserve(static_cast<size_t>(std::max(0, GetSystemMetrics(SM_CMONITORS))));
    EnumDisplayMonitors(nullptr, nullptr, MonitorEnumProc, reinterpret_cast<LPARAM>(&monitors));
    ScreenUnion screen;
    for (const MonitorRecord& record : monitors) {
        screen = UniteMonitor(screen, record.rect);
    }
    screenLeft = screen.left;
    screenRight = screen.right;
    screenTop = screen.top;
    screenBottom = screen.bottom;
    SetWindowPos(GetHWND(), HWND_TOPMOST, screenLeft, screenTop, screenRight - screenLeft, screenBottom - screenTop,
                 SWP_NOMOVE | SWP_NOZORDER);
    Move(screenLeft, screenTop);
}

// The overlay is an ordinary opaque window: see-through windows need a
// compositor, which a desktop may lack. So it shows the desktop as it was
// just before it opened, taken while the overlay is not yet visible.
void CaptureWindowDialog::TakeDesktopPicture() {
    const int width = screenRight - screenLeft;
    const int height = screenBottom - screenTop;
    if (width <= 0 || height <= 0) {
        return;
    }
    HDC screen = GetDC(nullptr);
    if (screen == nullptr) {
        return;
    }
    HDC memory = CreateCompatibleDC(screen);
    desktopPicture_.reset(CreateCompatibleBitmap(screen, width, height));
    if (memory != nullptr && desktopPicture_) {
        const HGDIOBJ old = SelectObject(memory, desktopPicture_.get());
        BitBlt(memory, 0, 0, width, height, screen, screenLeft, screenTop, SRCCOPY | CAPTUREBLT);
        SelectObject(memory, old);
    }
    if (memory != nullptr) {
        DeleteDC(memory);
    }
    ReleaseDC(nullptr, screen);
}

// Keyboard raw input is registered per process: the overlay's registration
// replaces one the host may have, so the host's is noted first and put back
// when the overlay's window goes.
void CaptureWindowDialog::RegisterKeyboardRawInput() {
    constexpr const char* tag = ADW_CAPTURE_TAG("RegisterKeyboardRawInput");
    UINT count = 0;
    GetRegisteredRawInputDevices(nullptr, &count, sizeof(RAWINPUTDEVICE));
    std::vector<RAWINPUTDEVICE> registered(count);
    if (count > 0 && GetRegisteredRawInputDevices(registered.data(), &count, sizeof(RAWINPUTDEVICE)) == UINT(-1)) {
        count = 0;
    }
    hostKeyboard_.reset();
    for (UINT i = 0; i < count; ++i) {
        if (registered[i].usUsagePage == 1 && registered[i].usUsage == 6) {
            hostKeyboard_ = registered[i];
        }
    }
    RAWINPUTDEVICE device = {};
    device.usUsagePage = 1;
    device.usUsage = 6;
    device.dwFlags = RIDEV_INPUTSINK;
    device.hwndTarget = GetHWND();
    if (RegisterRawInputDevices(&device, 1, sizeof device)) {
        rawInputRegistered_ = true;
        adw::LogLine(adw::kLogInfo, tag, "RegisterRawInputDevices Success!");
    } else {
        adw::LogLine(adw::kLogInfo, tag, "RegisterRawInputDevices failed: ", GetLastError());
    }
}

LRESULT CaptureWindowDialog::OnDestroy(UINT message, WPARAM wParam, LPARAM lParam, BOOL& handled) {
    if (rawInputRegistered_) {
        rawInputRegistered_ = false;
        RAWINPUTDEVICE device = {};
        device.usUsagePage = 1;
        device.usUsage = 6;
        device.dwFlags = RIDEV_REMOVE;
        // The host's window may be gone by now: then nobody's registration is left.
        if (!hostKeyboard_ || !RegisterRawInputDevices(&*hostKeyboard_, 1, sizeof(RAWINPUTDEVICE))) {
            if (hostKeyboard_) {
                adw::LogLine(adw::kLogError, ADW_CAPTURE_TAG("OnDestroy"),
                             "host keyboard raw input not given back: ", GetLastError());
            }
            RegisterRawInputDevices(&device, 1, sizeof device);
        }
        hostKeyboard_.reset();
    }
    return WindowImplBase::OnDestroy(message, wParam, lParam, handled);
}

LRESULT CaptureWindowDialog::OnMouseMove(UINT message, WPARAM wParam, LPARAM lParam, BOOL& handled) {
    const LRESULT result = WindowImplBase::OnMouseMove(message, wParam, lParam, handled);
    if (captureUI != nullptr) {
        const POINT point = PointerToScreen(lParam, screenLeft, screenTop);
        OnMouseMoveToHwnd(FindWindowAtPoint(point.x, point.y, GetHWND()));
    }
    return result;
}

void CaptureWindowDialog::OnMouseMoveToHwnd(HWND window) {
    if (captureUI == nullptr || window == nullptr || window == targetWindow) {
        return;
    }
    targetWindow = window;
    const ProcessSign sign = signCache_.Get(window);
    if (!sign.signedImage) {
        adw::LogLine(adw::kLogError, ADW_CAPTURE_TAG("OnMouseMoveToHwnd"), "get sign fail");
    }
    if (sign.makerSigned) {
        blockStatus = kNotBlockable;
    } else {
        blockStatus = static_cast<int>(PopUpBlockingVendor::GetInstance().IsSuppotBlock(window));
    }
    WINDOWINFO info = {};
    info.cbSize = sizeof(info);
    GetWindowInfo(window, &info);
    captureUI->targetRect = OutlineOf(info.rcWindow, info.rcClient);
    captureUI->Invalidate();
    UpdateBlockTips(Normalised(captureUI->targetRect));
}

void CaptureWindowDialog::UpdateBlockTips(const RECT& rect) {
    constexpr const char* tag = ADW_CAPTURE_TAG("UpdateBlockTips");
    if (scale == 0.0f) {
        adw::LogLine(adw::kLogError, tag, "Division zero, error");
        return;
    }
    const RECT pos = ToLayout(TipPixels(rect, tipWidth, tipHeight, scale, screenBottom), scale, screenLeft, screenTop);
    DuiLib::UICulture* culture = DuiLib::UICulture::GetInstance();
    if (culture == nullptr) {
        adw::LogLine(adw::kLogInfo, tag, "uiCulute is null");
        return;
    }
    const DuiLib::CDuiString text = culture->GetString(blockStatus == 0 ? L"IDS_POPUP_BLOCKING_CLICK_TO_BLOCK_WINDOW"
                                                                        : L"IDS_POPUP_BLOCKING_NOT_SUPPORT_BLOCK_WINDOW");
    adw::LogLine(adw::kLogInfo, tag, "left:", pos.left, ",top:", pos.top, ",right:", pos.right,
                 ",bottom:", pos.bottom);
    if (tipPanel == nullptr || tipText == nullptr) {
        adw::LogLine(adw::kLogError, tag, "vlBlockTips or txtBlockTips is null");
        return;
    }
    tipPanel->SetVisible(true);
    tipPanel->SetAttribute(L"pos", PosText(pos).c_str());
    tipText->SetAttribute(L"textcolor", blockStatus == 0 ? L"#FF1F2329" : L"#FF646A73");
    tipText->SetText(text);
}

LRESULT CaptureWindowDialog::OnLButtonDown(UINT message, WPARAM wParam, LPARAM lParam, BOOL& handled) {
    press_.OnButtonDown(GetHWND(), lParam);
    return WindowImplBase::OnLButtonDown(message, wParam, lParam, handled);
}

LRESULT CaptureWindowDialog::OnLButtonUp(UINT message, WPARAM wParam, LPARAM lParam, BOOL& handled) {
    const LRESULT result = WindowImplBase::OnLButtonUp(message, wParam, lParam, handled);
    if (captureUI == nullptr) {
        return result;
    }
    constexpr const char* tag = ADW_CAPTURE_TAG("OnLButtonUp");
    adw::LogLine(adw::kLogInfo, tag, "LButtonUp");
    if (!press_.OnButtonUp(GetHWND(), lParam)) {
        // Posted by some program, perhaps after a move of its own choosing.
        adw::LogLine(adw::kLogError, tag, "click not from the input system, ignored");
        return result;
    }
    // What is blocked is the window under the click, whatever moves came before.
    const POINT point = PointerToScreen(lParam, screenLeft, screenTop);
    OnMouseMoveToHwnd(FindWindowAtPoint(point.x, point.y, GetHWND()));
    if (blockStatus != 0) {
        return result;
    }
    captureUI->Invalidate();
    if (PopUpBlockingVendor::GetInstance().AddBlockByScreenShot(targetWindow) != 0) {
        adw::LogLine(adw::kLogError, tag, "AddBlockByScreenShot failed");
    }
    Close(1);
    return result;
}

void CaptureWindowDialog::HandleRawInput(HRAWINPUT handle) {
    constexpr const char* tag = ADW_CAPTURE_TAG("HandleRawInput");
    UINT size = 0;
    GetRawInputData(handle, RID_INPUT, nullptr, &size, sizeof(RAWINPUTHEADER));
    if (size == 0) {
        adw::LogLine(adw::kLogInfo, tag, "GetRawInputDataLenth rawInputBytesLenth = ", size,
                     ";lastError = ", GetLastError());
        return;
    }
    std::unique_ptr<BYTE[]> bytes(new (std::nothrow) BYTE[size]());
    if (!bytes) {
        adw::LogLine(adw::kLogInfo, tag, "rawInputBytes is nullPtr");
        return;
    }
    if (GetRawInputData(handle, RID_INPUT, bytes.get(), &size, sizeof(RAWINPUTHEADER)) != size) {
        adw::LogLine(adw::kLogInfo, tag, "GetRawInputDataContent rawInputBytesLenth = ", size,
                     ";lastError = ", GetLastError());
        return;
    }
    // Every key typed anywhere on the desktop arrives here (input sink): only
    // Esc leaves a trace, so nothing the user types elsewhere reaches the log.
    const RAWINPUT* input = reinterpret_cast<const RAWINPUT*>(bytes.get());
    if (input->header.dwType == RIM_TYPEKEYBOARD && input->data.keyboard.VKey == VK_ESCAPE &&
        input->data.keyboard.Message == WM_KEYDOWN) {
        adw::LogLine(adw::kLogInfo, tag, "Esc KEY_DOWN!!!!!!!");
        Close(1);
    }
}

LRESULT CaptureWindowDialog::OnClose(UINT message, WPARAM wParam, LPARAM lParam, BOOL& handled) {
    adw::LogLine(adw::kLogInfo, ADW_CAPTURE_TAG("OnClose"), "Enter OnClose...");
    PostIPCMsgToHubrix(ipcClient);
    return WindowImplBase::OnClose(message, wParam, lParam, handled);
}

LRESULT CaptureWindowDialog::OnSize(UINT message, WPARAM wParam, LPARAM lParam, BOOL& handled) {
    scale = static_cast<float>(GetDpiForWindow(GetHWND())) / 96.0f;
    return WindowImplBase::OnSize(message, wParam, lParam, handled);
}

} // namespace KelvaneCenter
