#pragma once

#include <vector>

#include "DuiLib/UIControl.h"

namespace DuiLib {

#define DUI_MSGTYPE_CLICK L"click"

struct TNotifyUI {
    CDuiString sType;
    CControlUI* pSender = nullptr;
    DWORD dwTimestamp = 0;
    POINT ptMouse = {};
    WPARAM wParam = 0;
    LPARAM lParam = 0;
};

class INotifyUI {
public:
    virtual void Notify(TNotifyUI& msg) = 0;

protected:
    ~INotifyUI() = default;
};

class IMessageFilterUI {
public:
    virtual LRESULT MessageHandler(UINT message, WPARAM wParam, LPARAM lParam, bool& handled) = 0;

protected:
    ~IMessageFilterUI() = default;
};

// Creates the controls of element names the library does not know.
class IDialogBuilderCallback {
public:
    virtual CControlUI* CreateControl(const wchar_t* className) = 0;

protected:
    ~IDialogBuilderCallback() = default;
};

// One per window: the control tree, its painting, mouse routing and notifiers.
class DUILIB_API CPaintManagerUI {
public:
    CPaintManagerUI() = default;
    ~CPaintManagerUI();
    CPaintManagerUI(const CPaintManagerUI&) = delete;
    CPaintManagerUI& operator=(const CPaintManagerUI&) = delete;

    // The module of the host program; the calling thread becomes the UI thread
    // that UIMainQueue dispatches to.
    static void SetInstance(HINSTANCE instance);
    static HINSTANCE GetInstance();
    // The folder of the host executable, with a trailing backslash: layouts are found from it.
    static CDuiString GetInstancePath();
    // Runs the UI thread's message loop until WM_QUIT.
    static void MessageLoop();

    void Init(HWND window);
    HWND GetPaintWindow() const { return window_; }
    // Takes ownership of the tree (deleting any previous one).
    bool AttachDialog(CControlUI* root);
    CControlUI* GetRoot() const { return root_; }
    CControlUI* FindControl(const wchar_t* name) const;
    CControlUI* FindControl(POINT point) const;
    void AddNotifier(INotifyUI* notifier);
    void SendNotify(CControlUI* sender, const wchar_t* type, WPARAM wParam = 0, LPARAM lParam = 0);
    void AddMessageFilter(IMessageFilterUI* filter);

    void SetInitSize(int cx, int cy) { initSize_ = {cx, cy}; }
    SIZE GetInitSize() const { return initSize_; }
    // Layout units to pixels at the window's DPI.
    int Scale(int units) const;
    float GetScale() const;
    void Invalidate(const RECT& area);
    void NeedUpdate() { needLayout_ = true; }
    HFONT GetFont(int size, bool bold);

    // Handles painting, layout and mouse routing; true when the message is consumed.
    bool MessageHandler(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);

private:
    void Layout();
    void SetHot(CControlUI* control);
    void ForgetFonts();

    HWND window_ = nullptr;
    CControlUI* root_ = nullptr;
    CControlUI* hot_ = nullptr;
    CControlUI* pushed_ = nullptr;
    bool needLayout_ = true;
    bool tracking_ = false;
    SIZE initSize_ = {};
    std::vector<INotifyUI*> notifiers_;
    std::vector<IMessageFilterUI*> filters_;
    struct FontEntry {
        int size;
        bool bold;
        HFONT font;
    };
    std::vector<FontEntry> fonts_;
};

// Builds a control tree from a layout file (UTF-8 XML). The root element
// "Window" gives the window's size ("size" = "cx,cy" in layout units).
class DUILIB_API CDialogBuilder {
public:
    CControlUI* Create(const wchar_t* path, IDialogBuilderCallback* callback, CPaintManagerUI* manager);
};

} // namespace DuiLib
