#pragma once

// The full-screen overlay in which the user points at any window and clicks to
// have the engine block it; right button or Esc closes it. It lives on the UI
// library's thread and is owned (and deleted) by the manager.

#include <windows.h>

#include <climits>
#include <optional>
#include <string>

#include "DuiLib/UIlib.h"
#include "IPCMessage/IPCMessageClient.h"
#include "common/ModuleRef.h"
#include "common/UniqueResource.h"
#include "ui/ProcessSignCache.h"
#include "ui/RealPress.h"

namespace KelvaneCenter {

// Darkens and outlines the target window's rectangle.
class CCaptureWindowUI : public virtual DuiLib::CControlUI {
public:
    CCaptureWindowUI() = default;
    ~CCaptureWindowUI() override;
    void DoPaint(HDC dc, const RECT& paint) override;

    DWORD backgroundColor = 0; // ARGB
    DWORD maskColor = 0;
    DWORD borderColor = 0;
    float borderWidth = 0.0f;
    POINT origin = {};    // the overlay's top-left in screen pixels
    RECT targetRect = {}; // screen pixels
};

// What the overlay shows under its marks: the desktop as it was when it opened.
class DesktopPictureUI;

class CaptureWindowDialog : public DuiLib::WindowImplBase {
public:
    CaptureWindowDialog();
    ~CaptureWindowDialog() override;

    const wchar_t* GetWindowClassName() const override;
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
    void InitWindow() override;
    DuiLib::CDuiString GetSkinFile() override;
    LRESULT OnClose(UINT message, WPARAM wParam, LPARAM lParam, BOOL& handled) override;
    LRESULT OnDestroy(UINT message, WPARAM wParam, LPARAM lParam, BOOL& handled) override;
    LRESULT OnSize(UINT message, WPARAM wParam, LPARAM lParam, BOOL& handled) override;
    LRESULT OnLButtonDown(UINT message, WPARAM wParam, LPARAM lParam, BOOL& handled) override;
    LRESULT OnLButtonUp(UINT message, WPARAM wParam, LPARAM lParam, BOOL& handled) override;
    LRESULT OnMouseMove(UINT message, WPARAM wParam, LPARAM lParam, BOOL& handled) override;

    void CoverAllMonitors();
    void RegisterKeyboardRawInput();
    void OnMouseMoveToHwnd(HWND window);
    void UpdateBlockTips(const RECT& rect);
    void HandleRawInput(HRAWINPUT handle);

    int screenLeft = INT_MAX;
    int screenRight = INT_MIN;
    int screenTop = INT_MAX;
    int screenBottom = INT_MIN;
    int tipWidth = 0;
    int tipHeight = 0;
    HWND targetWindow = nullptr;
    int blockStatus = 405; // 0 blockable; 405 not (engine, signer, no target); 102 no engine
    float scale = 0.0f;
    CCaptureWindowUI* captureUI = nullptr;
    DuiLib::CControlUI* container = nullptr;
    DuiLib::CControlUI* tipPanel = nullptr;
    DuiLib::CControlUI* tipText = nullptr;
    IPCMessageClient ipcClient;

private:
    void TakeDesktopPicture();

    bool captureUiInContainer_ = false;
    bool rawInputRegistered_ = false;
    std::optional<RAWINPUTDEVICE> hostKeyboard_; // the host's own, given back on destroy
    adw::UniqueBitmap desktopPicture_; // shown by pictureUI_
    DesktopPictureUI* pictureUI_ = nullptr;
    ProcessSignCache signCache_;
    RealPress press_;
    // Its window runs this library's code for as long as it exists.
    adw::ModuleRef pin_;
};

} // namespace KelvaneCenter
