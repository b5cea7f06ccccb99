#pragma once

// The ad-popup engine (AdPopBlocker64.dll) as AdWarden calls it. The layout of
// both virtual tables is the engine's binary interface: every entry keeps its
// place, and the entries nobody calls are held by placeholders.

#include <windows.h>

// The engine's calling convention for its methods, notifications and export
// (x64 has a single convention; the keyword keeps 32-bit builds in agreement).
#define ADPOP_CALL __stdcall

// Beside the host executable.
constexpr wchar_t kAdPopBlockerRelativePath[] = L"\\vendor\\360SafeOptSDK\\AdPopBlocker64.dll";
constexpr char kAdPopGetInterfaceName[] = "GetInterface";

// Handle types of an engine item.
constexpr int kAdPopHandleBlocked = 1;
constexpr int kAdPopHandleUndecided = 2;
constexpr int kAdPopHandleAllowed = 3;

// Notifications, called on the engine's own threads.
using AdHatNotify = void(ADPOP_CALL*)(const wchar_t* key, HWND window);
using AdBlockNotify = void(ADPOP_CALL*)(const wchar_t* key);
using AdWindowNotify = void(ADPOP_CALL*)(HWND window);
using OtherAdNotify = void(ADPOP_CALL*)(const wchar_t* key, HWND window);

// One pop-up the engine knows. Owned by the engine; callers never free it.
class PopWndItem {
public:
    virtual const wchar_t* ADPOP_CALL GetKey() = 0;                // 0
    virtual int ADPOP_CALL GetHideFlag() = 0;                      // 1
    virtual const wchar_t* ADPOP_CALL GetExePath() = 0;            // 2
    virtual const wchar_t* ADPOP_CALL GetTextA() = 0;              // 3
    virtual void ADPOP_CALL Reserved04() = 0;                      // 4
    virtual int ADPOP_CALL GetPopupType() = 0;                     // 5
    virtual const wchar_t* ADPOP_CALL GetTextB() = 0;              // 6
    virtual void ADPOP_CALL Reserved07() = 0;                      // 7
    virtual void ADPOP_CALL Reserved08() = 0;                      // 8
    virtual const wchar_t* ADPOP_CALL GetSoftwareName() = 0;       // 9
    virtual void ADPOP_CALL Reserved10() = 0;                      // 10
    virtual void ADPOP_CALL Reserved11() = 0;                      // 11
    virtual void ADPOP_CALL Reserved12() = 0;                      // 12
    virtual unsigned ADPOP_CALL GetBlockCount() = 0;               // 13
    virtual SYSTEMTIME ADPOP_CALL GetLastBlockTime() = 0;          // 14
    virtual int ADPOP_CALL SetHandleType(int handleType) = 0;      // 15: 1 = accepted
    virtual int ADPOP_CALL GetHandleType() = 0;                    // 16

protected:
    ~PopWndItem() = default; // never deleted through this interface
};

// The engine's tracker, obtained from its export `GetInterface`.
class IAdPopWndTracker {
public:
    virtual void ADPOP_CALL Release() = 0;                                          // 0
    virtual int ADPOP_CALL Init(AdHatNotify hat, AdBlockNotify block, AdWindowNotify window,
                                OtherAdNotify other) = 0;                           // 1: 1 = ready
    virtual void ADPOP_CALL UnInit() = 0;                                           // 2
    virtual void ADPOP_CALL Reserved03() = 0;                                       // 3
    virtual int ADPOP_CALL SetTrackerState(int state) = 0;                          // 4
    virtual int ADPOP_CALL IsSuppotBlock(HWND window) = 0;                          // 5: 1 = blockable
    virtual int ADPOP_CALL AddBlockByScreenShot(HWND window) = 0;                   // 6: 1 = now blocked
    virtual unsigned ADPOP_CALL EnumAllPopWnd() = 0;                                // 7: item count
    virtual int ADPOP_CALL GetPopWndItem(unsigned index, PopWndItem** item) = 0;    // 8: 1 = success
    virtual int ADPOP_CALL GetPopByKey(const wchar_t* key, PopWndItem** item) = 0;  // 9
    virtual void ADPOP_CALL Reserved10() = 0;                                       // 10
    virtual void ADPOP_CALL Reserved11() = 0;                                       // 11
    virtual void ADPOP_CALL Reserved12() = 0;                                       // 12
    virtual int ADPOP_CALL SetClearPeriod(unsigned period) = 0;                     // 13: non-zero = accepted

protected:
    ~IAdPopWndTracker() = default; // ended through Release
};

// The engine's export `GetInterface`: the tracker, or null.
using GetInterfaceFunc = IAdPopWndTracker*(ADPOP_CALL*)();
