#pragma once

#include "DuiLib/UIBase.h"
#include "DuiLib/UIManager.h"

namespace DuiLib {

// A window built from a layout file: on creation it loads GetSkinFile() (from
// the host executable's folder), sizes itself from the layout and calls InitWindow.
class DUILIB_API WindowImplBase : public CWindowWnd,
                                  public INotifyUI,
                                  public IMessageFilterUI,
                                  public IDialogBuilderCallback {
public:
    WindowImplBase() = default;
    ~WindowImplBase() override = default;

    virtual void InitWindow() {}
    virtual CDuiString GetSkinFile() = 0;
    void Notify(TNotifyUI&) override {}
    CControlUI* CreateControl(const wchar_t*) override { return nullptr; }
    LRESULT MessageHandler(UINT, WPARAM, LPARAM, bool& handled) override {
        handled = false;
        return 0;
    }
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
    void Move(int x, int y);

    virtual LRESULT OnCreate(UINT message, WPARAM wParam, LPARAM lParam, BOOL& handled);
    virtual LRESULT OnClose(UINT message, WPARAM wParam, LPARAM lParam, BOOL& handled);
    virtual LRESULT OnDestroy(UINT message, WPARAM wParam, LPARAM lParam, BOOL& handled);
    virtual LRESULT OnSize(UINT message, WPARAM wParam, LPARAM lParam, BOOL& handled);
    virtual LRESULT OnMouseMove(UINT message, WPARAM wParam, LPARAM lParam, BOOL& handled);
    virtual LRESULT OnLButtonDown(UINT message, WPARAM wParam, LPARAM lParam, BOOL& handled);
    virtual LRESULT OnLButtonUp(UINT message, WPARAM wParam, LPARAM lParam, BOOL& handled);
    virtual LRESULT OnKeyDown(UINT message, WPARAM wParam, LPARAM lParam, BOOL& handled);
    virtual LRESULT HandleCustomMessage(UINT message, WPARAM wParam, LPARAM lParam, BOOL& handled);

protected:
    CPaintManagerUI m_pm;
};

} // namespace DuiLib
