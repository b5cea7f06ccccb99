#pragma once

// Script interface of the engine stand-in: plain C exports through which tests
// fill the item table, choose the engine's answers, read back what the adapter
// did and fire notifications from engine threads. Tests resolve these by name
// from the loaded engine (see EngineScriptClient.h) and never link against it,
// so that the adapter and the test share the one module.

#include <windows.h>

#if defined(ADPOPBLOCKER64_EXPORTS)
#define ADPOP_SCRIPT_API extern "C" __declspec(dllexport)
#else
#define ADPOP_SCRIPT_API extern "C" __declspec(dllimport)
#endif

// One pop-up for the item table; strings are copied, null ones become empty.
struct AdPopScriptItem {
    const wchar_t* key;
    const wchar_t* textA;
    const wchar_t* textB;
    const wchar_t* exePath;
    const wchar_t* softwareName;
    int popupType;
    unsigned blockCount;
    SYSTEMTIME lastBlockTime;
    int hideFlag;
    int handleType;
};

// Empties the item table, stops a storm, and puts every answer, counter and
// recorded value back to its start: Init, IsSuppotBlock, AddBlockByScreenShot,
// SetHandleType and SetClearPeriod succeed (1), GetInterface returns the
// tracker, tracker state -1 (never set), clear period 0, counters 0.
ADPOP_SCRIPT_API void __cdecl AdPopScript_Reset();

// Appends an item; returns its index, or kAdPopScriptNoIndex when it could not
// be added. Items stay valid until the next reset.
constexpr unsigned kAdPopScriptNoIndex = 0xFFFFFFFFu;
ADPOP_SCRIPT_API unsigned __cdecl AdPopScript_AddItem(const AdPopScriptItem* item);
// Takes the first item with that key out of the table (its memory stays valid
// until the next reset); 1 when one was found.
ADPOP_SCRIPT_API int __cdecl AdPopScript_RemoveItem(const wchar_t* key);

// Answers of the engine.
ADPOP_SCRIPT_API void __cdecl AdPopScript_SetGetInterfaceReturnsNull(int returnsNull);
ADPOP_SCRIPT_API void __cdecl AdPopScript_SetInitResult(int result);
ADPOP_SCRIPT_API void __cdecl AdPopScript_SetIsSuppotBlockResult(int result);
ADPOP_SCRIPT_API void __cdecl AdPopScript_SetAddBlockByScreenShotResult(int result);
ADPOP_SCRIPT_API void __cdecl AdPopScript_SetClearPeriodResult(int result);
// The item's SetHandleType answer; a null key sets the answer of every item
// that has none of its own. The type changes only when the answer is 1.
// Returns 0 when a key was given and no listed item has it.
ADPOP_SCRIPT_API int __cdecl AdPopScript_SetHandleTypeResult(const wchar_t* key, int result);
// While set, every item's text accessors (key, texts A/B, exe path, software
// name) return null, as a broken engine might; Reset clears it.
ADPOP_SCRIPT_API void __cdecl AdPopScript_SetNullTexts(int nullTexts);
// GetPopWndItem(index) returns `result`, with the item or (leaveNull) without it.
ADPOP_SCRIPT_API void __cdecl AdPopScript_FailItemAt(unsigned index, int result, int leaveNull);

// What the adapter did.
ADPOP_SCRIPT_API int __cdecl AdPopScript_TrackerState();       // last SetTrackerState, -1 if none
ADPOP_SCRIPT_API unsigned __cdecl AdPopScript_ClearPeriod();   // last SetClearPeriod, 0 if none
ADPOP_SCRIPT_API int __cdecl AdPopScript_InitCalls();
ADPOP_SCRIPT_API int __cdecl AdPopScript_UnInitCalls();
ADPOP_SCRIPT_API int __cdecl AdPopScript_ReleaseCalls();
// Current handle type of the first listed item with that key; -1 when none.
ADPOP_SCRIPT_API int __cdecl AdPopScript_ItemHandleType(const wchar_t* key);

// Each fires one notification on a new engine thread and waits for it (10 s at
// most): 1 delivered to the callback registered by Init, 0 not delivered (no
// tracker Init in force), -1 thread not started, -2 still running after 10 s.
// The key may be null.
ADPOP_SCRIPT_API int __cdecl AdPopScript_FireAdHat(const wchar_t* key, HWND window);
ADPOP_SCRIPT_API int __cdecl AdPopScript_FireAdBlock(const wchar_t* key);
ADPOP_SCRIPT_API int __cdecl AdPopScript_FireAdWindow(HWND window);
ADPOP_SCRIPT_API int __cdecl AdPopScript_FireOtherAd(const wchar_t* key, HWND window);
// QueryPerformanceCounter as the engine thread of the last of these called the
// callback (0 before any): where a benchmark starts its clock.
ADPOP_SCRIPT_API long long __cdecl AdPopScript_LastFiredAt();

// Storm: `threads` engine threads fire all four notifications in turn with the
// given key and window, in a loop, until stopped. 1 started, 0 refused (already
// running, no threads asked for, or a thread could not start).
ADPOP_SCRIPT_API int __cdecl AdPopScript_StartStorm(unsigned threads, const wchar_t* key, HWND window);
// Notifications the storm delivered to callbacks so far.
ADPOP_SCRIPT_API unsigned long long __cdecl AdPopScript_StormCalls();
// Stops and joins the storm threads; 1 when all ended within 10 s.
ADPOP_SCRIPT_API int __cdecl AdPopScript_StopStorm();

// Kinds of notification, where a script function takes one.
constexpr int kAdPopScriptAdHat = 0;
constexpr int kAdPopScriptAdBlock = 1;
constexpr int kAdPopScriptAdWindow = 2;
constexpr int kAdPopScriptOtherAd = 3;

// An engine that notifies while holding its table lock, which its item lookups
// also take. HoldTableLock starts an engine thread that takes the lock and
// keeps it (1 when held). NotifyUnderTableLock has that thread deliver one
// notification of `kind` still holding the
// lock, then release it and end: 1 delivered, 0 not, -1 no holder or an unknown kind, -2 not back
// within 10 s. TableLockWaiters: threads waiting for the lock right now.
ADPOP_SCRIPT_API int __cdecl AdPopScript_HoldTableLock();
ADPOP_SCRIPT_API int __cdecl AdPopScript_NotifyUnderTableLock(int kind, const wchar_t* key, HWND window);
ADPOP_SCRIPT_API int __cdecl AdPopScript_TableLockWaiters();

// While the gate is closed, SetClearPeriod waits inside the engine until it
// opens (10 s at most). CallsInFlight: such calls inside the engine now;
// ReleasedDuringCall: UnInit or Release calls made while one was inside.
ADPOP_SCRIPT_API void __cdecl AdPopScript_CloseCallGate(int closed);
ADPOP_SCRIPT_API int __cdecl AdPopScript_CallsInFlight();
ADPOP_SCRIPT_API int __cdecl AdPopScript_ReleasedDuringCall();

// The next SetTrackerState fires one notification (kind as above, no window)
// on an engine thread and waits for it before it returns.
ADPOP_SCRIPT_API void __cdecl AdPopScript_FireOnNextSetTrackerState(int kind, const wchar_t* key);
// Timing, for benchmarks: fires `count` notifications of one kind on ONE new
// engine thread, `pauseMs` apart (0: back to back), and stores how long each
// delivery took, in microseconds, in microsOut[0..count), and, with
// `callMicrosOut`, how long the callback alone took (the stand-in's own
// dispatch left out) in callMicrosOut[0..count). With `baselineOut`,
// the same thread also submits an empty callback to the system thread pool
// after each notification, `pauseMs` after it, and stores what each submit
// took in baselineOut[0..count): a baseline measured beside the notifications.
// Returns how many were delivered to a callback, -1 when the thread could not
// start or the kind is unknown, -2 when the thread was still running after
// 5 minutes (microsOut untouched).
ADPOP_SCRIPT_API int __cdecl AdPopScript_TimeNotifications(int kind, const wchar_t* key, HWND window, unsigned count,
                                                           unsigned pauseMs, double* microsOut,
                                                           double* callMicrosOut, double* baselineOut);
