#include <windows.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <memory>
#include <thread>

#include "VendorFixture.h"

namespace vendortest {
namespace {

using KelvaneCenter::PopUpBlockingVendor;
using std::chrono::seconds;

constexpr unsigned kEngineThreads = 4;
constexpr int kRounds = 60;
const HWND kStormWindow = reinterpret_cast<HWND>(static_cast<uintptr_t>(0x5EED));

// Stands for the manager whose handlers are bound into the targets. It is
// "destroyed" (the flag) as soon as the call that let go of its targets returns;
// its memory is kept so that a late call is counted instead of crashing.
struct TargetOwner {
    std::atomic<bool> destroyed{false};
    std::atomic<int> calls{0};
    std::atomic<int> lateCalls{0};

    void Visit() {
        if (destroyed) {
            ++lateCalls;
        }
        ++calls;
        for (int i = 0; i < 16; ++i) {
            std::this_thread::yield(); // stay in flight long enough to overlap the emptying
        }
        if (destroyed) {
            ++lateCalls;
        }
    }
};

void BindAll(PopUpBlockingVendor& vendor, TargetOwner* owner) {
    vendor.SetAdHatTarget([owner](const wchar_t* const&, HWND const&) { owner->Visit(); });
    vendor.SetAdWindowTarget([owner](HWND const&) { owner->Visit(); });
    vendor.SetOtherAdTarget([owner](const wchar_t* const&, HWND const&) { owner->Visit(); });
    vendor.SetAdBlockTarget([owner](const wchar_t* const&) { owner->Visit(); });
}

struct StressRun {
    std::deque<TargetOwner> owners;
    std::atomic<int> initFailures{0};
    std::atomic<int> starvedWaits{0};
    std::atomic<bool> finished{false};
};

// One period: load, bind a first owner, replace it by a second, then let go of
// the targets the way UnInit does, or the way the manager does at the start of
// its stop (ClearTargets while the engine still runs) followed by UnInit.
void RunPeriod(StressRun& run, const adpop::EngineScriptClient& engine, bool clearFirst) {
    auto& vendor = PopUpBlockingVendor::GetInstance();
    if (vendor.Init() != 0) {
        ++run.initFailures;
    }
    TargetOwner& replaced = run.owners.emplace_back();
    TargetOwner& current = run.owners.emplace_back();
    const auto reached = [](TargetOwner& owner) { return [&owner] { return owner.calls.load() >= 4; }; };

    BindAll(vendor, &replaced);
    if (!adwtest::WaitUntil(reached(replaced), seconds(10))) {
        ++run.starvedWaits;
    }
    BindAll(vendor, &current);
    replaced.destroyed = true;
    if (!adwtest::WaitUntil(reached(current), seconds(10))) {
        ++run.starvedWaits;
    }

    if (clearFirst) {
        vendor.ClearTargets();
        current.destroyed = true;
        // Notifications keep arriving and must find the targets empty.
        const unsigned long long seen = engine.StormCalls();
        if (!adwtest::WaitUntil([&] { return engine.StormCalls() >= seen + 16; }, seconds(10))) {
            ++run.starvedWaits;
        }
        vendor.UnInit();
    } else {
        vendor.UnInit();
        current.destroyed = true;
    }
}

class VendorStress : public VendorTest {};

TEST_F(VendorStress, InFlightNotificationsNeverReachATargetLetGo) {
    ASSERT_TRUE(engine.StartStorm(kEngineThreads, L"storm", kStormWindow));

    auto run = std::make_shared<StressRun>();
    std::thread driver([run, this] {
        for (int round = 0; round < kRounds; ++round) {
            RunPeriod(*run, engine, round % 2 == 1);
        }
        run->finished = true;
    });
    if (!adwtest::WaitUntil([&] { return run->finished.load(); }, seconds(60))) {
        // A deadlock between emptying and the engine's threads: nothing sane is
        // left to tear down, so end the process with the verdict.
        std::fprintf(stderr, "VendorStress: Init/bind/UnInit did not finish within 60 s (hang)\n");
        std::fflush(stderr);
        std::_Exit(3);
    }
    driver.join();
    ASSERT_TRUE(engine.StopStorm()) << "an engine thread did not end";

    EXPECT_EQ(run->initFailures.load(), 0);
    EXPECT_EQ(run->starvedWaits.load(), 0);
    int calls = 0;
    int lateCalls = 0;
    for (const TargetOwner& owner : run->owners) {
        calls += owner.calls.load();
        lateCalls += owner.lateCalls.load();
    }
    EXPECT_EQ(lateCalls, 0) << "a target ran after the call that let it go had returned";
    EXPECT_GE(calls, kRounds * 2 * 4);
    EXPECT_EQ(engine.InitCalls(), kRounds);
    EXPECT_EQ(engine.UnInitCalls(), kRounds);
    EXPECT_EQ(engine.ReleaseCalls(), kRounds);
}

} // namespace
} // namespace vendortest
