// The engine's exports: GetInterface, and the script interface for tests.

#include "AdPopBlocker64/EngineScript.h"

#include "AdPopBlocker64/Guarded.h"
#include "AdPopBlocker64/ScriptedItem.h"
#include "AdPopBlocker64/ScriptedTracker.h"
#include "AdPopBlocker64/WorkingTracker.h"

using adpop::Guarded;
using adpop::Notification;
using adpop::ScriptedTracker;

namespace {
ScriptedTracker& Engine() {
    return ScriptedTracker::Instance();
}
} // namespace

#if defined(ADPOP_STANDIN_IMPORTS_HELPER)
// A build that, like a vendor SDK of several DLLs, needs a DLL of its own to load.
extern "C" __declspec(dllimport) int __cdecl AdPopEngineHelper();
#endif

// A build for the "export missing" case leaves GetInterface out altogether.
#if !defined(ADPOP_STANDIN_WITHOUT_GETINTERFACE)
extern "C" __declspec(dllexport) IAdPopWndTracker* ADPOP_CALL GetInterface() {
#if defined(ADPOP_STANDIN_IMPORTS_HELPER)
    (void)AdPopEngineHelper();
#endif
    // Scripted unless the loading process asked for the working engine; no test sets the variable.
    if (adpop::WorkingModeRequested()) {
        return &adpop::WorkingTracker::Instance();
    }
    ScriptedTracker& engine = Engine();
    return engine.answers.getInterfaceReturnsNull ? nullptr : &engine;
}
#endif

void __cdecl AdPopScript_Reset() {
    Engine().Reset();
}

unsigned __cdecl AdPopScript_AddItem(const AdPopScriptItem* item) {
    if (item == nullptr) {
        return kAdPopScriptNoIndex;
    }
    return Guarded(kAdPopScriptNoIndex, [item] { return Engine().items.Add(*item); });
}

int __cdecl AdPopScript_RemoveItem(const wchar_t* key) {
    return Engine().items.Remove(key) ? 1 : 0;
}

void __cdecl AdPopScript_SetGetInterfaceReturnsNull(int returnsNull) {
    Engine().answers.getInterfaceReturnsNull = returnsNull != 0;
}

void __cdecl AdPopScript_SetInitResult(int result) {
    Engine().answers.init = result;
}

void __cdecl AdPopScript_SetIsSuppotBlockResult(int result) {
    Engine().answers.isSuppotBlock = result;
}

void __cdecl AdPopScript_SetAddBlockByScreenShotResult(int result) {
    Engine().answers.addBlockByScreenShot = result;
}

void __cdecl AdPopScript_SetClearPeriodResult(int result) {
    Engine().answers.setClearPeriod = result;
}

int __cdecl AdPopScript_SetHandleTypeResult(const wchar_t* key, int result) {
    return Engine().items.SetHandleTypeResult(key, result) ? 1 : 0;
}

void __cdecl AdPopScript_SetNullTexts(int nullTexts) {
    adpop::ScriptedItem::SetNullTexts(nullTexts != 0);
}

void __cdecl AdPopScript_FailItemAt(unsigned index, int result, int leaveNull) {
    Engine().items.FailAt(index, result, leaveNull != 0);
}

int __cdecl AdPopScript_TrackerState() {
    return Engine().observed.trackerState;
}

unsigned __cdecl AdPopScript_ClearPeriod() {
    return Engine().observed.clearPeriod;
}

int __cdecl AdPopScript_InitCalls() {
    return Engine().observed.initCalls;
}

int __cdecl AdPopScript_UnInitCalls() {
    return Engine().observed.unInitCalls;
}

int __cdecl AdPopScript_ReleaseCalls() {
    return Engine().observed.releaseCalls;
}

int __cdecl AdPopScript_ItemHandleType(const wchar_t* key) {
    return Engine().items.HandleTypeOf(key);
}

int __cdecl AdPopScript_FireAdHat(const wchar_t* key, HWND window) {
    return Guarded(-1, [=] { return Engine().threads.FireOnce(Notification::AdHat, key, window); });
}

int __cdecl AdPopScript_FireAdBlock(const wchar_t* key) {
    return Guarded(-1, [=] { return Engine().threads.FireOnce(Notification::AdBlock, key, nullptr); });
}

int __cdecl AdPopScript_FireAdWindow(HWND window) {
    return Guarded(-1, [=] { return Engine().threads.FireOnce(Notification::AdWindow, nullptr, window); });
}

int __cdecl AdPopScript_FireOtherAd(const wchar_t* key, HWND window) {
    return Guarded(-1, [=] { return Engine().threads.FireOnce(Notification::OtherAd, key, window); });
}

long long __cdecl AdPopScript_LastFiredAt() {
    return Engine().threads.LastFiredAt();
}

int __cdecl AdPopScript_StartStorm(unsigned threads, const wchar_t* key, HWND window) {
    return Guarded(0, [=] { return Engine().threads.StartStorm(threads, key, window) ? 1 : 0; });
}

unsigned long long __cdecl AdPopScript_StormCalls() {
    return Engine().threads.StormCalls();
}

int __cdecl AdPopScript_StopStorm() {
    return Engine().threads.StopStorm() ? 1 : 0;
}

int __cdecl AdPopScript_HoldTableLock() {
    return Guarded(0, [] { return Engine().threads.HoldTableLock() ? 1 : 0; });
}

int __cdecl AdPopScript_NotifyUnderTableLock(int kind, const wchar_t* key, HWND window) {
    Notification notification;
    if (!adpop::NotificationFromKind(kind, notification)) {
        return -1;
    }
    return Guarded(-1, [=] { return Engine().threads.NotifyUnderTableLock(notification, key, window); });
}

int __cdecl AdPopScript_TableLockWaiters() {
    return Engine().items.Waiters();
}

void __cdecl AdPopScript_CloseCallGate(int closed) {
    auto& holds = Engine().holds;
    if (closed != 0) {
        holds.gateClosed = true;
        ::ResetEvent(holds.gateOpen.get());
    } else {
        ::SetEvent(holds.gateOpen.get());
        holds.gateClosed = false;
    }
}

int __cdecl AdPopScript_CallsInFlight() {
    return Engine().observed.callsInFlight;
}

int __cdecl AdPopScript_ReleasedDuringCall() {
    return Engine().observed.releasedDuringCall;
}

void __cdecl AdPopScript_FireOnNextSetTrackerState(int kind, const wchar_t* key) {
    Notification ignored;
    if (!adpop::NotificationFromKind(kind, ignored)) {
        return;
    }
    Guarded(0, [=] {
        Engine().holds.fireKey = key != nullptr ? key : L"";
        Engine().holds.fireOnTrackerState = kind;
        return 0;
    });
}
