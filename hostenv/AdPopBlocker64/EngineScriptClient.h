#pragma once

// Test side of the engine stand-in's script interface. It loads the engine from
// the very path the adapter uses (<exe dir>\vendor\360SafeOptSDK\AdPopBlocker64.dll),
// so both work on one module, and its reference keeps the engine and its script
// state loaded while the adapter frees and loads it again.

#include <windows.h>

#include <string>

#include "AdPopBlocker64/EngineScript.h"
#include "common/UniqueResource.h"
#include "vendor/AdPopWndTracker.h"

namespace adpop {

// An item for the table, with owned strings and harmless defaults.
struct EngineItem {
    std::wstring key;
    std::wstring textA;
    std::wstring textB;
    std::wstring exePath;
    std::wstring softwareName;
    int popupType = 0;
    unsigned blockCount = 0;
    SYSTEMTIME lastBlockTime = {};
    int hideFlag = 0;
    int handleType = kAdPopHandleUndecided;
};

class EngineScriptClient {
public:
    EngineScriptClient() : module_(::LoadLibraryW(EnginePath().c_str())) {
        ok_ = module_ && Resolve(reset_, "AdPopScript_Reset") && Resolve(addItem_, "AdPopScript_AddItem") &&
              Resolve(removeItem_, "AdPopScript_RemoveItem") &&
              Resolve(setGetInterfaceReturnsNull_, "AdPopScript_SetGetInterfaceReturnsNull") &&
              Resolve(setInitResult_, "AdPopScript_SetInitResult") &&
              Resolve(setIsSuppotBlockResult_, "AdPopScript_SetIsSuppotBlockResult") &&
              Resolve(setAddBlockByScreenShotResult_, "AdPopScript_SetAddBlockByScreenShotResult") &&
              Resolve(setClearPeriodResult_, "AdPopScript_SetClearPeriodResult") &&
              Resolve(setHandleTypeResult_, "AdPopScript_SetHandleTypeResult") &&
              Resolve(failItemAt_, "AdPopScript_FailItemAt") && Resolve(setNullTexts_, "AdPopScript_SetNullTexts") &&
              Resolve(trackerState_, "AdPopScript_TrackerState") &&
              Resolve(clearPeriod_, "AdPopScript_ClearPeriod") && Resolve(initCalls_, "AdPopScript_InitCalls") &&
              Resolve(unInitCalls_, "AdPopScript_UnInitCalls") && Resolve(releaseCalls_, "AdPopScript_ReleaseCalls") &&
              Resolve(itemHandleType_, "AdPopScript_ItemHandleType") && Resolve(fireAdHat_, "AdPopScript_FireAdHat") &&
              Resolve(fireAdBlock_, "AdPopScript_FireAdBlock") && Resolve(fireAdWindow_, "AdPopScript_FireAdWindow") &&
              Resolve(fireOtherAd_, "AdPopScript_FireOtherAd") &&
              Resolve(lastFiredAt_, "AdPopScript_LastFiredAt") && Resolve(startStorm_, "AdPopScript_StartStorm") &&
              Resolve(stormCalls_, "AdPopScript_StormCalls") && Resolve(stopStorm_, "AdPopScript_StopStorm") &&
              Resolve(holdTableLock_, "AdPopScript_HoldTableLock") &&
              Resolve(notifyUnderTableLock_, "AdPopScript_NotifyUnderTableLock") &&
              Resolve(tableLockWaiters_, "AdPopScript_TableLockWaiters") &&
              Resolve(closeCallGate_, "AdPopScript_CloseCallGate") && Resolve(callsInFlight_, "AdPopScript_CallsInFlight") &&
              Resolve(releasedDuringCall_, "AdPopScript_ReleasedDuringCall") &&
              Resolve(fireOnNextSetTrackerState_, "AdPopScript_FireOnNextSetTrackerState") &&
              Resolve(timeNotifications_, "AdPopScript_TimeNotifications");
    }

    EngineScriptClient(const EngineScriptClient&) = delete;
    EngineScriptClient& operator=(const EngineScriptClient&) = delete;

    // The engine's full path beside the running executable.
    static std::wstring EnginePath() {
        wchar_t path[MAX_PATH] = {};
        ::GetModuleFileNameW(nullptr, path, MAX_PATH);
        std::wstring dir = path;
        const size_t slash = dir.find_last_of(L"\\/");
        dir.resize(slash == std::wstring::npos ? 0 : slash);
        return dir + kAdPopBlockerRelativePath;
    }

    // False when the engine or one of its script functions is missing; no other member may be used then.
    bool Ok() const { return ok_; }

    void Reset() const { reset_(); }
    unsigned AddItem(const EngineItem& item) const {
        AdPopScriptItem raw = {item.key.c_str(), item.textA.c_str(), item.textB.c_str(), item.exePath.c_str(),
                               item.softwareName.c_str(), item.popupType, item.blockCount, item.lastBlockTime,
                               item.hideFlag, item.handleType};
        return addItem_(&raw);
    }
    bool RemoveItem(const wchar_t* key) const { return removeItem_(key) != 0; }

    void SetGetInterfaceReturnsNull(bool returnsNull) const { setGetInterfaceReturnsNull_(returnsNull ? 1 : 0); }
    void SetInitResult(int result) const { setInitResult_(result); }
    void SetIsSuppotBlockResult(int result) const { setIsSuppotBlockResult_(result); }
    void SetAddBlockByScreenShotResult(int result) const { setAddBlockByScreenShotResult_(result); }
    void SetClearPeriodResult(int result) const { setClearPeriodResult_(result); }
    // key null: every item without an answer of its own.
    bool SetHandleTypeResult(const wchar_t* key, int result) const { return setHandleTypeResult_(key, result) != 0; }
    void FailItemAt(unsigned index, int result, bool leaveNull) const { failItemAt_(index, result, leaveNull ? 1 : 0); }
    void SetNullTexts(bool nullTexts) const { setNullTexts_(nullTexts ? 1 : 0); }

    int TrackerState() const { return trackerState_(); }
    unsigned ClearPeriod() const { return clearPeriod_(); }
    int InitCalls() const { return initCalls_(); }
    int UnInitCalls() const { return unInitCalls_(); }
    int ReleaseCalls() const { return releaseCalls_(); }
    int ItemHandleType(const wchar_t* key) const { return itemHandleType_(key); }

    int FireAdHat(const wchar_t* key, HWND window) const { return fireAdHat_(key, window); }
    int FireAdBlock(const wchar_t* key) const { return fireAdBlock_(key); }
    int FireAdWindow(HWND window) const { return fireAdWindow_(window); }
    int FireOtherAd(const wchar_t* key, HWND window) const { return fireOtherAd_(key, window); }
    long long LastFiredAt() const { return lastFiredAt_(); }

    bool StartStorm(unsigned threads, const wchar_t* key, HWND window) const {
        return startStorm_(threads, key, window) != 0;
    }
    unsigned long long StormCalls() const { return stormCalls_(); }
    bool StopStorm() const { return stopStorm_() != 0; }

    bool HoldTableLock() const { return holdTableLock_() != 0; }
    int NotifyUnderTableLock(int kind, const wchar_t* key, HWND window) const {
        return notifyUnderTableLock_(kind, key, window);
    }
    int TableLockWaiters() const { return tableLockWaiters_(); }
    void CloseCallGate(bool closed) const { closeCallGate_(closed ? 1 : 0); }
    int CallsInFlight() const { return callsInFlight_(); }
    int ReleasedDuringCall() const { return releasedDuringCall_(); }
    void FireOnNextSetTrackerState(int kind, const wchar_t* key) const { fireOnNextSetTrackerState_(kind, key); }
    // kind: kAdPopScriptAdHat ... kAdPopScriptOtherAd; microsOut (and the others given) hold `count` values.
    int TimeNotifications(int kind, const wchar_t* key, HWND window, unsigned count, unsigned pauseMs,
                          double* microsOut, double* callMicrosOut = nullptr, double* baselineOut = nullptr) const {
        return timeNotifications_(kind, key, window, count, pauseMs, microsOut, callMicrosOut, baselineOut);
    }

private:
    template <typename Fn>
    bool Resolve(Fn& fn, const char* name) {
        // Through a generic function pointer: the export's real type is known only by name.
        fn = reinterpret_cast<Fn>(reinterpret_cast<void (*)()>(::GetProcAddress(module_.get(), name)));
        return fn != nullptr;
    }

    adw::UniqueModule module_;
    bool ok_ = false;
    decltype(&AdPopScript_Reset) reset_ = nullptr;
    decltype(&AdPopScript_AddItem) addItem_ = nullptr;
    decltype(&AdPopScript_RemoveItem) removeItem_ = nullptr;
    decltype(&AdPopScript_SetGetInterfaceReturnsNull) setGetInterfaceReturnsNull_ = nullptr;
    decltype(&AdPopScript_SetInitResult) setInitResult_ = nullptr;
    decltype(&AdPopScript_SetIsSuppotBlockResult) setIsSuppotBlockResult_ = nullptr;
    decltype(&AdPopScript_SetAddBlockByScreenShotResult) setAddBlockByScreenShotResult_ = nullptr;
    decltype(&AdPopScript_SetClearPeriodResult) setClearPeriodResult_ = nullptr;
    decltype(&AdPopScript_SetHandleTypeResult) setHandleTypeResult_ = nullptr;
    decltype(&AdPopScript_FailItemAt) failItemAt_ = nullptr;
    decltype(&AdPopScript_SetNullTexts) setNullTexts_ = nullptr;
    decltype(&AdPopScript_TrackerState) trackerState_ = nullptr;
    decltype(&AdPopScript_ClearPeriod) clearPeriod_ = nullptr;
    decltype(&AdPopScript_InitCalls) initCalls_ = nullptr;
    decltype(&AdPopScript_UnInitCalls) unInitCalls_ = nullptr;
    decltype(&AdPopScript_ReleaseCalls) releaseCalls_ = nullptr;
    decltype(&AdPopScript_ItemHandleType) itemHandleType_ = nullptr;
    decltype(&AdPopScript_FireAdHat) fireAdHat_ = nullptr;
    decltype(&AdPopScript_FireAdBlock) fireAdBlock_ = nullptr;
    decltype(&AdPopScript_FireAdWindow) fireAdWindow_ = nullptr;
    decltype(&AdPopScript_FireOtherAd) fireOtherAd_ = nullptr;
    decltype(&AdPopScript_LastFiredAt) lastFiredAt_ = nullptr;
    decltype(&AdPopScript_StartStorm) startStorm_ = nullptr;
    decltype(&AdPopScript_StormCalls) stormCalls_ = nullptr;
    decltype(&AdPopScript_StopStorm) stopStorm_ = nullptr;
    decltype(&AdPopScript_HoldTableLock) holdTableLock_ = nullptr;
    decltype(&AdPopScript_NotifyUnderTableLock) notifyUnderTableLock_ = nullptr;
    decltype(&AdPopScript_TableLockWaiters) tableLockWaiters_ = nullptr;
    decltype(&AdPopScript_CloseCallGate) closeCallGate_ = nullptr;
    decltype(&AdPopScript_CallsInFlight) callsInFlight_ = nullptr;
    decltype(&AdPopScript_ReleasedDuringCall) releasedDuringCall_ = nullptr;
    decltype(&AdPopScript_FireOnNextSetTrackerState) fireOnNextSetTrackerState_ = nullptr;
    decltype(&AdPopScript_TimeNotifications) timeNotifications_ = nullptr;
};

} // namespace adpop
