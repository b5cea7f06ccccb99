#include "AdPopBlocker64/ScriptedTracker.h"

namespace adpop {

ScriptedTracker& ScriptedTracker::Instance() {
    static ScriptedTracker* const instance = new ScriptedTracker();
    return *instance;
}

void ADPOP_CALL ScriptedTracker::Release() {
    ++observed.releaseCalls;
}

int ADPOP_CALL ScriptedTracker::Init(AdHatNotify hat, AdBlockNotify block, AdWindowNotify window,
                                     OtherAdNotify other) {
    ++observed.initCalls;
    const int result = answers.init;
    if (result == 1) {
        hub.Connect(hat, block, window, other);
    }
    return result;
}

void ADPOP_CALL ScriptedTracker::UnInit() {
    ++observed.unInitCalls;
    hub.Disconnect();
}

int ADPOP_CALL ScriptedTracker::SetTrackerState(int state) {
    observed.trackerState = state;
    return 1;
}

int ADPOP_CALL ScriptedTracker::IsSuppotBlock(HWND) {
    return answers.isSuppotBlock;
}

int ADPOP_CALL ScriptedTracker::AddBlockByScreenShot(HWND) {
    return answers.addBlockByScreenShot;
}

unsigned ADPOP_CALL ScriptedTracker::EnumAllPopWnd() {
    return items.Count();
}

int ADPOP_CALL ScriptedTracker::GetPopWndItem(unsigned index, PopWndItem** item) {
    return item != nullptr ? items.ItemAt(index, item) : 0;
}

int ADPOP_CALL ScriptedTracker::GetPopByKey(const wchar_t* key, PopWndItem** item) {
    return item != nullptr ? items.ByKey(key, item) : 0;
}

int ADPOP_CALL ScriptedTracker::SetClearPeriod(unsigned period) {
    observed.clearPeriod = period;
    return answers.setClearPeriod;
}

void ScriptedTracker::Reset() {
    threads.StopStorm();
    items.Reset();
    answers.getInterfaceReturnsNull = false;
    answers.init = 1;
    answers.isSuppotBlock = 1;
    answers.addBlockByScreenShot = 1;
    answers.setClearPeriod = 1;
    observed.trackerState = -1;
    observed.clearPeriod = 0;
    observed.initCalls = 0;
    observed.unInitCalls = 0;
    observed.releaseCalls = 0;
}

} // namespace adpop
