#include <windows.h>

#include <atomic>
#include <cstdint>
#include <stdexcept>

#include "VendorFixture.h"

namespace vendortest {
namespace {

using KelvaneCenter::PopUpBlockingVendor;

const HWND kWindowA = reinterpret_cast<HWND>(static_cast<uintptr_t>(0x1A2B));

using VendorNotifications = VendorTest;

TEST_F(VendorNotifications, ATargetThatThrowsIsContainedAndLogged) {
    LoadEngine();
    int blockCalls = 0;
    vendor.SetAdHatTarget([](const wchar_t* const&, HWND const&) { throw std::runtime_error("hat broke"); });
    vendor.SetAdBlockTarget([&blockCalls](const wchar_t* const&) { ++blockCalls; });
    adwtest::LogCapture log;
    ASSERT_EQ(engine.FireAdHat(L"k", kWindowA), 1) << "the exception reached the engine's thread";
    EXPECT_EQ(Lines(log), (std::vector<Line>{{4, L"notification target failed: hat broke(ForwardAdHat)"}}));
    ASSERT_EQ(engine.FireAdBlock(L"k"), 1);
    EXPECT_EQ(blockCalls, 1);
    // The call was counted out: emptying the targets does not wait for it.
    adwtest::ExpectReturns(adwtest::RunDetached([] { PopUpBlockingVendor::GetInstance().ClearTargets(); }),
                           "ClearTargets");
}

// While a hat call is in flight, emptying the targets refuses new notifications
// at once (a block no longer reaches its target) and returns only after the call.
TEST_F(VendorNotifications, EmptyingRefusesNewCallsAndWaitsForTheOneInFlight) {
    LoadEngine();
    std::atomic<bool> entered{false};
    std::atomic<bool> release{false};
    std::atomic<int> blocks{0};
    vendor.SetAdHatTarget([&](const wchar_t* const&, HWND const&) {
        entered = true;
        adwtest::WaitUntil([&] { return release.load(); });
    });
    vendor.SetAdBlockTarget([&](const wchar_t* const&) { ++blocks; });
    auto hat = adwtest::RunDetached([this] { engine.FireAdHat(L"k", kWindowA); });
    ASSERT_TRUE(adwtest::WaitUntil([&] { return entered.load(); }));

    auto cleared = adwtest::RunDetached([this] { vendor.ClearTargets(); });
    ASSERT_TRUE(adwtest::WaitUntil([&] {
        const int before = blocks;
        return engine.FireAdBlock(L"k") == 1 && blocks == before; // refused: emptying has begun
    }));
    EXPECT_FALSE(cleared->load()) << "ClearTargets returned while the target was still running";
    release = true;
    adwtest::ExpectReturns(cleared, "ClearTargets");
    adwtest::ExpectReturns(hat, "the hat notification");
}

} // namespace
} // namespace vendortest
