#include <windows.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "VendorFixture.h"

namespace vendortest {
namespace {

using KelvaneCenter::PopUpBlockingVendor;

const HWND kWindowA = reinterpret_cast<HWND>(static_cast<uintptr_t>(0x1A2B));
const HWND kWindowB = reinterpret_cast<HWND>(static_cast<uintptr_t>(0x3C4D));

// One call as a target received it: target, key ("<null>" for a null key), window.
std::wstring Call(const wchar_t* target, const wchar_t* key, HWND window) {
    return std::wstring(target) + L" " + (key != nullptr ? key : L"<null>") + L" " +
           std::to_wstring(reinterpret_cast<uintptr_t>(window));
}

class Recorder {
public:
    void Bind(PopUpBlockingVendor& vendor) {
        vendor.SetAdHatTarget([this](const wchar_t* const& key, HWND const& window) { Add(Call(L"hat", key, window)); });
        vendor.SetAdWindowTarget([this](HWND const& window) { Add(Call(L"window", L"", window)); });
        vendor.SetOtherAdTarget([this](const wchar_t* const& key, HWND const& window) { Add(Call(L"other", key, window)); });
        vendor.SetAdBlockTarget([this](const wchar_t* const& key) { Add(Call(L"block", key, nullptr)); });
    }
    std::vector<std::wstring> Calls() {
        std::lock_guard<std::mutex> lock(mutex_);
        return calls_;
    }
    std::atomic<bool> onTestThread{false};

private:
    void Add(const std::wstring& call) {
        if (::GetCurrentThreadId() == testThread_) {
            onTestThread = true;
        }
        std::lock_guard<std::mutex> lock(mutex_);
        calls_.push_back(call);
    }
    const DWORD testThread_ = ::GetCurrentThreadId();
    std::mutex mutex_;
    std::vector<std::wstring> calls_;
};

// Runs `fn` on a thread of its own; false when it has not returned within 10 s.
bool ReturnsWithin10s(std::function<void()> fn) {
    auto done = std::make_shared<std::atomic<bool>>(false);
    std::thread runner([fn, done] {
        fn();
        *done = true;
    });
    const bool returned = adwtest::WaitUntil([&] { return done->load(); });
    returned ? runner.join() : runner.detach(); // a detached runner owns what it uses
    return returned;
}

class VendorNotifications : public VendorTest {
protected:
    void SetUp() override {
        VendorTest::SetUp();
        LoadEngine();
    }

    void FireAll(const wchar_t* key, int expected) {
        EXPECT_EQ(engine.FireAdHat(key, kWindowA), expected);
        EXPECT_EQ(engine.FireAdBlock(key), expected);
        EXPECT_EQ(engine.FireAdWindow(kWindowA), expected);
        EXPECT_EQ(engine.FireOtherAd(key, kWindowA), expected);
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
        Call(L"hat", L"hat-key", kWindowA),     Call(L"block", L"block-key", nullptr),
        Call(L"window", L"", kWindowB),         Call(L"other", L"other-key", kWindowB),
        Call(L"hat", nullptr, kWindowB), // a null key reaches the target as null
    };
    EXPECT_EQ(recorder.Calls(), expected);
    EXPECT_FALSE(recorder.onTestThread) << "a target ran on the test thread, not the engine's";
}

TEST_F(VendorNotifications, NotificationsWithoutTargetsAreDropped) {
    adwtest::LogCapture log;
    FireAll(L"early", 1); // reached the forwarders, which had nowhere to send them
    EXPECT_TRUE(log.Lines().empty()) << log.Dump();
    Recorder recorder;
    recorder.Bind(vendor);
    FireAll(L"late", 1);
    EXPECT_EQ(recorder.Calls().size(), 4u) << "an early notification was kept and delivered late";

    vendor.ClearTargets();
    FireAll(L"k", 1); // the engine still runs; the targets are empty
    recorder.Bind(vendor);
    vendor.UnInit();
    FireAll(L"k", 0);
    LoadEngine(); // a new period without new targets
    FireAll(L"k", 1);
    EXPECT_EQ(recorder.Calls().size(), 4u) << "ClearTargets or UnInit left a target in place";
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
    // The forwarder's lock was given back: emptying the targets does not wait forever.
    EXPECT_TRUE(ReturnsWithin10s([] { PopUpBlockingVendor::GetInstance().ClearTargets(); }));
}

TEST_F(VendorNotifications, EmptyingWaitsForACallInFlight) {
    std::atomic<bool> entered{false};
    std::atomic<bool> cleared{false};
    std::atomic<bool> clearedWhileRunning{false};
    vendor.SetAdHatTarget([&](const wchar_t* const&, HWND const&) {
        entered = true;
        // Stay in flight for a while; emptying must not finish meanwhile.
        adwtest::WaitUntil([&] { return cleared.load(); }, std::chrono::milliseconds(300));
        clearedWhileRunning = cleared.load();
    });

    std::thread engineSide([&] { engine.FireAdHat(L"k", kWindowA); });
    ASSERT_TRUE(adwtest::WaitUntil([&] { return entered.load(); }));
    vendor.ClearTargets();
    cleared = true;
    engineSide.join();
    EXPECT_FALSE(clearedWhileRunning) << "ClearTargets returned while the target was still running";
}

} // namespace
} // namespace vendortest
