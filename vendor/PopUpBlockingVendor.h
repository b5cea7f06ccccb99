#pragma once

// The only code that loads, calls and unloads the ad-popup engine.

#include <windows.h>

#include <functional>
#include <string>

#include "common/UniqueResource.h"
#include "vendor/AdPopWndTracker.h"

// The engine's tracker, null while no engine is ready. Every operation of the
// adapter reads it afresh.
extern IAdPopWndTracker* g_pAdPopWndTracker;

namespace KelvaneCenter {

// Where the engine's notifications go: set by the manager, called on engine threads.
using AdHatTarget = std::function<void(const wchar_t* const&, HWND const&)>;
using AdBlockTarget = std::function<void(const wchar_t* const&)>;
using AdWindowTarget = std::function<void(HWND const&)>;
using OtherAdTarget = std::function<void(const wchar_t* const&, HWND const&)>;

class PopUpBlockingVendor {
public:
    static PopUpBlockingVendor& GetInstance();

    PopUpBlockingVendor(const PopUpBlockingVendor&) = delete;
    PopUpBlockingVendor& operator=(const PopUpBlockingVendor&) = delete;

    // Loads the engine and connects its notifications: 0, 201, 202, 203 or 204.
    // Returns 0 at once while a module or a tracker is held, even a failed one.
    unsigned Init();
    // Empties the targets, then ends the tracker and frees the engine.
    void UnInit();

    // Each replaces what the target held. Called by the manager once Init has returned.
    void SetAdHatTarget(AdHatTarget target);
    void SetAdBlockTarget(AdBlockTarget target);
    void SetAdWindowTarget(AdWindowTarget target);
    void SetOtherAdTarget(OtherAdTarget target);
    // Empties the four targets (hat, window, block, other). When it returns, no
    // target is running on another thread and none will be called until one is
    // set again; notifications arriving meanwhile return at once.
    void ClearTargets();

    unsigned SetTrackerState(int state);          // 0 or 102
    unsigned IsSuppotBlock(HWND window);          // 0, 405 or 102
    // Has the engine block the window from now on and reports the attempt: 0, 405 or 102.
    unsigned AddBlockByScreenShot(HWND wnd);
    unsigned SetClearPeriod(unsigned period);     // 0, 304 or 102
    unsigned SetHandleType(const wchar_t* const& key, bool block); // 0, 300 or 301
    // `item` is null afterwards when the engine knows no such key.
    void GetPopByKey(const wchar_t* const& key, PopWndItem*& item);
    // Calls `use` with the item for `key` while the engine cannot be released
    // (UnInit waits for it); false, without calling, when there is no such item.
    bool UsePopByKey(const wchar_t* const& key, const std::function<void(PopWndItem&)>& use);
    // Sum of the items' block counts; 0 without a tracker.
    unsigned GetBlockCount();

    // Steps of the record listing: the item count (0 without a tracker), then
    // each item by index; an item returned together with a failure code is kept.
    unsigned EnumAllPopWnd();
    void GetPopWndItem(unsigned index, PopWndItem*& item);

    // JSON description of the process behind the window: its file name and the
    // signer of its image; "" when the process cannot be opened.
    std::string GetWindowInfo(HWND wnd);

private:
    PopUpBlockingVendor() = default;
    ~PopUpBlockingVendor();

    adw::UniqueModule popUpBlockingModule_;
};

} // namespace KelvaneCenter
