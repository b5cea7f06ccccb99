#pragma once

// The working engine's rules, each a pure function: which top-level windows
// are advertising pop-ups and of which type, the key that names one pop-up,
// when an item is old enough to forget, and the format of the items file.

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

namespace adpop {

// Pop-up types as the items report them.
enum PopupType : int {
    kNotPopup = -1,       // an ordinary window: never an item
    kPopupUnknown = 0,    // looks like a pop-up, fits no rule below
    kPopupBottomRight = 1,
    kPopupCentre = 2,
    kPopupBubble = 3,
    kPopupTray = 4,
    kPopupToolbar = 5,
};

// What the rules look at: one visible top-level window of another process.
struct WindowFacts {
    RECT rect{};      // screen coordinates
    RECT workArea{};  // of the monitor the window is on
    RECT monitor{};   // the whole monitor, taskbar included
    LONG style = 0;
    LONG exStyle = 0;
    bool owned = false;      // has an owner window (a dialog, menu or tip of an application)
    bool systemClass = false; // menus, tool tips and the like
};

// An application's own window: owned, of a system class, resizable or
// minimisable, or filling most of the screen.
bool IsOrdinaryWindow(const WindowFacts& w);
// Docked to the top or bottom edge of the work area, wide and low.
bool IsToolbarAd(const WindowFacts& w);
// Over the taskbar, in the monitor's right half: below the work area's bottom edge.
bool IsTrayAd(const WindowFacts& w);
// At the work area's right edge and ending in its lower third (toasts stack
// upwards from the corner), no larger than a toast.
bool IsBottomRightToast(const WindowFacts& w);
// Small, anywhere else.
bool IsBubble(const WindowFacts& w);
// Centred in the work area.
bool IsCentreWindow(const WindowFacts& w);
// The rules above in that order; the first that holds decides.
int ClassifyPopup(const WindowFacts& w);

// What the engine does when a pop-up appears, by tracker state (0 off,
// 1 blocking, 2 powerful) and the item's handle type (1 blocked, 2 undecided,
// 3 allowed). A pop-up the user allowed stays, also in powerful mode.
enum class Action { None, Hide, OfferHat, ReportSuspected };
Action DecideAction(int trackerState, int handleType, int popupType);

// One pop-up's key: the same program's window of the same class and title
// keeps it across appearances and restarts. The image path counts without case.
std::wstring PopupKey(const std::wstring& exePath, const std::wstring& className, const std::wstring& title);

// Local times as 100 ns counts (a FILETIME's value), 0 for none.
using LocalStamp = std::uint64_t;
LocalStamp StampFromSystemTime(const SYSTEMTIME& time);
SYSTEMTIME SystemTimeFromStamp(LocalStamp stamp);

// An item last seen more than `periodDays` days before `now` is forgotten.
// Period 0 keeps items for ever; a last sighting after `now` (the clock was
// set back) keeps the item.
bool IsForgotten(LocalStamp lastSeen, LocalStamp now, unsigned periodDays);

// One item as the file keeps it.
struct ItemRecord {
    std::wstring key;
    std::wstring textA;
    std::wstring textB;
    std::wstring exePath;
    std::wstring softwareName;
    int popupType = kPopupUnknown;
    int handleType = 2;
    unsigned blockCount = 0;
    LocalStamp lastBlock = 0;
    LocalStamp lastSeen = 0;
    int hideFlag = 0;
};

// The items file: UTF-8 text, a version line, the clearing period, one line
// per item with tab-separated fields (tab, line breaks and backslash escaped).
std::string FormatStore(unsigned periodDays, const std::vector<ItemRecord>& items);
// Lines it cannot read are skipped, so one damaged line loses one item only;
// false when the text is not an items file at all.
bool ParseStore(const std::string& text, unsigned& periodDays, std::vector<ItemRecord>& items);

} // namespace adpop
