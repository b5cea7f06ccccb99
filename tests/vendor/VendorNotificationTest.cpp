#include <windows.h>

#include <atomic>
#include <cstdint>
#include <mutex>
#include <stdexcept>
#include <string>
#include <vector>

#include "VendorFixture.h"

namespace vendortest {
namespace {

using KelvaneCenter::PopUpBlockingVendor;

const HWND kWindowA = reinterpret_cast<HWND>(static_cast<uintptr_t>(0x1A2B));
const HWND kWindowB = reinterpret_cast<HWND>(static_cast<uintptr_t>(0x3C4D));

// Every call the four targets receive, as "target key window" ("<null>" for a null key).
class Recorder {
public:
    void Bind(PopUpBlockingVendor& vendor) {
        vendor.SetAdHatTarget([this](const wchar_t* const& key, HWND const& window) { Add(L"hat", key, window); });
        vendor.SetAdWindowTarget([this](HWND const& window) { Add(L"window", L"", window); });
        vendor.SetOtherAdTarget([this](const wchar_t* const& key, HWND const& window) { Add(L"other", key, window); });
        vendor.SetAdBlockTarget([this](const wchar_t* const& key) { Add(L"block", key, nullptr); });
    }
    std::vector<std::wstring> Calls() {
        std::lock_guard<std::mutex> lock(mutex_);
        return calls_;
    }
    static std::wstring Call(const wchar_t* target, const wchar_t* key, HWND window) {
        return std::wstring(target) + L" " + (key != nullptr ? key : L"<null>") + L" " +
               std::to_wstring(reinterpret_cast<uintptr_t>(window));
    }
    std::atomic<bool> onTestThread{false};

private:
    void Add(const wchar_t* target, const wchar_t* key, HWND window) {
        onTestThread = onTestThread || ::GetCurrentThreadId() == testThread_;
        std::lock_guard<std::mutex> lock(mutex_);
        calls_.push_back(Call(target, key, window));
    }
    const DWORD testThread_ = ::GetCurrentThreadId();
    std::mutex mutex_;
    std::vector<std::wstring> calls_;
};

class VendorNotifications : public VendorTest {
protected:
    void SetUp() override {
        VendorTest::SetUp();
        LoadEngine();
    }
};

TEST_F(VendorNotifications, ForwardersPassKeyAndWindowToTheirOwnTarget) {
    Recorder recorder;
    recorder.Bind(vendor);
    ASSERT_EQ(engine.FireAdHat(L"hat-key", kWindowA), 1);
    ASSERT_EQ(engine.FireAdBlock(L"block-key"), 1);
    ASSERT_EQ(engine.FireAdWindow(kWindowB), 1);
    ASSERT_EQ(engine.FireOtherAd(L"other-key", kWindowB), 1);
    ASSERT_EQ(engine.FireAdHat(nullptr, kWindowB), 1);
    const std::vector<std::wstring> expected = {
        Recorder::Call(L"hat", L"hat-key", kWindowA), Recorder::Call(L"block", L"block-key", nullptr),
        Recorder::Call(L"window", L"", kWindowB),     Recorder::Call(L"other", L"other-key", kWindowB),
        Recorder::Call(L"hat", nullptr, kWindowB), // a null key reaches the target as null
    };
    EXPECT_EQ(recorder.Calls(), expected);
    EXPECT_FALSE(recorder.onTestThread) << "a target ran on the test thread, not the engine's";
}

TEST_F(VendorNotifications, ATargetThatThrowsIsContainedAndLogged) {
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
