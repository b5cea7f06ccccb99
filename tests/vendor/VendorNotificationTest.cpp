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

// What one target saw: the arguments as it received them and the calling thread.
struct Call {
    std::string target;
    bool keyIsNull = false;
    std::wstring key;
    HWND window = nullptr;
    DWORD thread = 0;
};

class Recorder {
public:
    void Bind(PopUpBlockingVendor& vendor) {
        vendor.SetAdHatTarget([this](const wchar_t* const& key, HWND const& window) { Add("hat", key, window); });
        vendor.SetAdWindowTarget([this](HWND const& window) { Add("window", nullptr, window, false); });
        vendor.SetOtherAdTarget([this](const wchar_t* const& key, HWND const& window) { Add("other", key, window); });
        vendor.SetAdBlockTarget([this](const wchar_t* const& key) { Add("block", key, nullptr); });
    }

    std::vector<Call> Calls() {
        std::lock_guard<std::mutex> lock(mutex_);
        return calls_;
    }

private:
    void Add(const char* target, const wchar_t* key, HWND window, bool hasKey = true) {
        Call call;
        call.target = target;
        call.keyIsNull = hasKey && key == nullptr;
        call.key = key != nullptr ? key : L"";
        call.window = window;
        call.thread = ::GetCurrentThreadId();
        std::lock_guard<std::mutex> lock(mutex_);
        calls_.push_back(call);
    }

    std::mutex mutex_;
    std::vector<Call> calls_;
};

// Runs `fn` on a thread of its own; false when it has not returned within the bound.
bool ReturnsWithin(std::function<void()> fn, std::chrono::milliseconds bound = std::chrono::seconds(10)) {
    auto done = std::make_shared<std::atomic<bool>>(false);
    std::thread runner([fn, done] {
        fn();
        *done = true;
    });
    if (!adwtest::WaitUntil([&] { return done->load(); }, bound)) {
        runner.detach(); // it owns what it uses; the test fails on the result
        return false;
    }
    runner.join();
    return true;
}

class VendorNotifications : public VendorTest {
protected:
    void SetUp() override {
        VendorTest::SetUp();
        LoadEngine();
    }

    void FireAll(const wchar_t* key, HWND window, int expected) {
        EXPECT_EQ(engine.FireAdHat(key, window), expected);
        EXPECT_EQ(engine.FireAdBlock(key), expected);
        EXPECT_EQ(engine.FireAdWindow(window), expected);
        EXPECT_EQ(engine.FireOtherAd(key, window), expected);
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

    const auto calls = recorder.Calls();
    ASSERT_EQ(calls.size(), 5u);
    EXPECT_EQ(calls[0].target, "hat");
    EXPECT_EQ(calls[0].key, L"hat-key");
    EXPECT_EQ(calls[0].window, kWindowA);
    EXPECT_EQ(calls[1].target, "block");
    EXPECT_EQ(calls[1].key, L"block-key");
    EXPECT_EQ(calls[2].target, "window");
    EXPECT_EQ(calls[2].window, kWindowB);
    EXPECT_EQ(calls[3].target, "other");
    EXPECT_EQ(calls[3].key, L"other-key");
    EXPECT_EQ(calls[3].window, kWindowB);
    EXPECT_EQ(calls[4].target, "hat");
    EXPECT_TRUE(calls[4].keyIsNull) << "a null key reaches the target as null";
    for (const Call& call : calls) {
        EXPECT_NE(call.thread, ::GetCurrentThreadId()) << call.target << " ran on the test thread";
    }
}

TEST_F(VendorNotifications, NotificationsBeforeTargetsAreSetAreDropped) {
    adwtest::LogCapture log;
    FireAll(L"early", kWindowA, 1); // reached the forwarders, which had nowhere to send them
    EXPECT_TRUE(log.Lines().empty()) << log.Dump();

    Recorder recorder;
    recorder.Bind(vendor);
    FireAll(L"late", kWindowA, 1);
    const auto calls = recorder.Calls();
    ASSERT_EQ(calls.size(), 4u);
    for (const Call& call : calls) {
        EXPECT_TRUE(call.key == L"late" || call.target == "window");
    }
}

TEST_F(VendorNotifications, NotificationsAfterClearTargetsOrUnInitAreDropped) {
    Recorder recorder;
    recorder.Bind(vendor);
    vendor.ClearTargets();
    FireAll(L"k", kWindowA, 1); // the engine still runs; the targets are empty
    EXPECT_TRUE(recorder.Calls().empty());

    recorder.Bind(vendor);
    vendor.UnInit();
    FireAll(L"k", kWindowA, 0);
    LoadEngine(); // a new period without new targets
    FireAll(L"k", kWindowA, 1);
    EXPECT_TRUE(recorder.Calls().empty()) << "UnInit left a target in place";
}

TEST_F(VendorNotifications, SettingATargetReplacesAndReleasesThePreviousOne) {
    auto firstState = std::make_shared<int>(0);
    std::weak_ptr<int> firstAlive = firstState;
    int secondCalls = 0;
    vendor.SetAdHatTarget([firstState](const wchar_t* const&, HWND const&) { ++*firstState; });
    firstState.reset();
    ASSERT_FALSE(firstAlive.expired());

    vendor.SetAdHatTarget([&secondCalls](const wchar_t* const&, HWND const&) { ++secondCalls; });
    EXPECT_TRUE(firstAlive.expired()) << "the replaced callable is still alive";
    ASSERT_EQ(engine.FireAdHat(L"k", kWindowA), 1);
    EXPECT_EQ(secondCalls, 1);
}

TEST_F(VendorNotifications, ATargetThatThrowsIsContainedAndLogged) {
    int blockCalls = 0;
    vendor.SetAdHatTarget([](const wchar_t* const&, HWND const&) { throw std::runtime_error("hat broke"); });
    vendor.SetAdBlockTarget([&blockCalls](const wchar_t* const&) { ++blockCalls; });

    adwtest::LogCapture log;
    ASSERT_EQ(engine.FireAdHat(L"k", kWindowA), 1) << "the exception reached the engine's thread";
    const std::vector<Line> expected = {{4, L"notification target failed: hat broke(ForwardAdHat)"}};
    EXPECT_EQ(Lines(log), expected);
    ASSERT_EQ(engine.FireAdBlock(L"k"), 1);
    EXPECT_EQ(blockCalls, 1);
    // The forwarder's lock was given back: emptying the targets does not wait forever.
    EXPECT_TRUE(ReturnsWithin([] { PopUpBlockingVendor::GetInstance().ClearTargets(); }));
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
