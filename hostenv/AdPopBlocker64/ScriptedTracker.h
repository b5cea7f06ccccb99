#pragma once

#include <atomic>

#include "AdPopBlocker64/EngineThreads.h"
#include "AdPopBlocker64/ItemTable.h"
#include "AdPopBlocker64/NotificationHub.h"
#include "vendor/AdPopWndTracker.h"

namespace adpop {

// The stand-in's tracker: answers as scripted, records what it was asked.
class ScriptedTracker final : public IAdPopWndTracker {
public:
    // Never destroyed: engine threads may still run when the process ends.
    static ScriptedTracker& Instance();

    void ADPOP_CALL Release() override;
    int ADPOP_CALL Init(AdHatNotify hat, AdBlockNotify block, AdWindowNotify window, OtherAdNotify other) override;
    void ADPOP_CALL UnInit() override;
    void ADPOP_CALL Reserved03() override {}
    int ADPOP_CALL SetTrackerState(int state) override;
    int ADPOP_CALL IsSuppotBlock(HWND window) override;
    int ADPOP_CALL AddBlockByScreenShot(HWND window) override;
    unsigned ADPOP_CALL EnumAllPopWnd() override;
    int ADPOP_CALL GetPopWndItem(unsigned index, PopWndItem** item) override;
    int ADPOP_CALL GetPopByKey(const wchar_t* key, PopWndItem** item) override;
    void ADPOP_CALL Reserved10() override {}
    void ADPOP_CALL Reserved11() override {}
    void ADPOP_CALL Reserved12() override {}
    int ADPOP_CALL SetClearPeriod(unsigned period) override;

    // Script side.
    void Reset();

    struct Answers {
        std::atomic<bool> getInterfaceReturnsNull{false};
        std::atomic<int> init{1};
        std::atomic<int> isSuppotBlock{1};
        std::atomic<int> addBlockByScreenShot{1};
        std::atomic<int> setClearPeriod{1};
    };
    // Calls the tests can hold inside the engine, and a notification fired from
    // inside the next SetTrackerState (on an engine thread, waited for).
    struct Holds {
        std::atomic<bool> gateClosed{false};
        adw::UniqueHandle gateOpen{::CreateEventW(nullptr, TRUE, TRUE, nullptr)};
        std::atomic<int> fireOnTrackerState{-1};
        std::wstring fireKey; // written only while no SetTrackerState runs
    };
    struct Observed {
        std::atomic<int> trackerState{-1};
        std::atomic<unsigned> clearPeriod{0};
        std::atomic<int> initCalls{0};
        std::atomic<int> unInitCalls{0};
        std::atomic<int> releaseCalls{0};
        std::atomic<int> callsInFlight{0};
        std::atomic<int> releasedDuringCall{0};
    };

    Answers answers;
    Holds holds;
    Observed observed;
    ItemTable items;
    NotificationHub hub;
    EngineThreads threads{hub, items};

private:
    void CountRelease();

    ScriptedTracker() = default;
    ~ScriptedTracker() = default;
};

} // namespace adpop
