#pragma once

#include <windows.h>

#include <string>

#include "DuiLib/UIlib.h"
#include "common/ModuleRef.h"
#include "ui/RealPress.h"

namespace KelvaneCenter {

// The "hat": a strip over an ad window the engine has not decided on, offering
// to block the pop-up from now on or to leave it alone. It lives on the UI
// thread; it never deletes itself: `closed` tells its owner it may be deleted.
class BlockingPopup : public DuiLib::WindowImplBase {
public:
    static constexpr UINT_PTR kWatchTimer = 1;
    static constexpr UINT kWatchPeriodMs = 1000;

    BlockingPopup() = default;
    ~BlockingPopup() override = default;

    const wchar_t* GetWindowClassName() const override { return L"BlockingPopup"; }
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
    DuiLib::CDuiString GetSkinFile() override { return L"layout\\PopUpBlocking\\BlockingPopup.xml"; }
    void Notify(DuiLib::TNotifyUI& msg) override;

    // Builds the window from its layout, hidden, unplaced and not watching
    // anything yet; false when the layout is missing or malformed.
    bool Prepare();
    // Places the hat over `window` and shows it, building the window first
    // unless Prepare has; false when it could not be built (the hat is then
    // marked closed).
    bool Open(HWND window, const std::wstring& key, const char* tag);
    // Closes the hat now, not at its next tick, when its ad window has gone or
    // hidden; true when it did. Sends nothing: the caller may hold its lock,
    // and reports kAutoHide with Report once it has let go of it.
    bool CloseIfAdWindowGone();
    // The usage event of a hat that ended in `manner` (it calls the engine).
    void Report(const char* manner) const;
    static constexpr const char* kAutoHide = "AUTO_HIDE";

    HWND adWindow = nullptr;
    std::wstring popupKey;
    bool closed = false;
    RECT adWindowRect = {};

private:
    void OnWatchTick();
    void CloseHat();
    void CloseReporting(const char* manner);
    bool AdWindowGone() const;
    void KeepZOrder();

    RealPress press_;
    bool realClick_ = false; // while the button-up that may notify a click is handled

    // Its window and timer run this library's code for as long as it exists.
    adw::ModuleRef pin_;
};

} // namespace KelvaneCenter
