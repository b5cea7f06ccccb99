#include "AdPopBlocker64/ScriptedTracker.h"

namespace adpop {

ScriptedTracker& ScriptedTracker::Instance() {
    static ScriptedTracker* const instance = new ScriptedTracker();
    return *instance;
}

// Ending or releasing the tracker under a call still inside it is what a
// careless caller does; the tests read the count.
void ScriptedTracker::CountRelease() {
    if (observed.callsInFlight.load() > 0) {
        ++observed.releasedDuringCall;
    }
}

void ADPOP_CALL ScriptedTracker::Release() {
    CountRelease();
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
    CountRelease();
    ++observed.unInitCalls;
    hub.Disconnect();
}

int ADPOP_CALL ScriptedTracker::SetTrackerState(int state) {
    observed.trackerState = state;
    const int kind = holds.fireOnTrackerState.exchange(-1);
    if (kind >= 0) {
        threads.FireOnce(static_cast<Notification>(kind), holds.fireKey.c_str(), nullptr);
    }
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
    ++observed.callsInFlight;
    if (holds.gateClosed) {
        ::WaitForSingleObject(holds.gateOpen.get(), 10000);
    }
    observed.clearPeriod = period;
    --observed.callsInFlight;
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
    observed.releasedDuringCall = 0;
    holds.gateClosed = false;
    ::SetEvent(holds.gateOpen.get());
    holds.fireOnTrackerState = -1;
    threads.ReleaseTableLock();
}

} // namespace adpop
