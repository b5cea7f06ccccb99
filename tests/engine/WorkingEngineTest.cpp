// The working engine that the demo runs, on the real desktop with the ad
// maker's pop-ups (another process).

#include <gtest/gtest.h>

#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "AdPopBlocker64/WorkingTracker.h"
#include "ChildProcess.h"
#include "Desktop.h"
#include "TestSupport.h"

namespace {

using namespace adpop;

RECT Screen() { return RECT{0, 0, ::GetSystemMetrics(SM_CXSCREEN), ::GetSystemMetrics(SM_CYSCREEN)}; }

// Notifications as the engine's thread delivers them: kind and key.
struct Heard {
    std::mutex mutex;
    std::vector<std::pair<Notification, std::wstring>> events;
    void Add(Notification kind, const wchar_t* key) {
        std::lock_guard<std::mutex> lock(mutex);
        events.emplace_back(kind, key != nullptr ? key : L"");
    }
    int Count(Notification kind, const std::wstring& key = L"") {
        std::lock_guard<std::mutex> lock(mutex);
        int n = 0;
        for (const auto& e : events) n += e.first == kind && (key.empty() || e.second == key) ? 1 : 0;
        return n;
    }
    std::wstring FirstKey(Notification kind) {
        std::lock_guard<std::mutex> lock(mutex);
        for (const auto& e : events) if (e.first == kind) return e.second;
        return L"";
    }
} g_heard;

void ADPOP_CALL OnHat(const wchar_t* key, HWND) { g_heard.Add(Notification::AdHat, key); }
void ADPOP_CALL OnBlock(const wchar_t* key) { g_heard.Add(Notification::AdBlock, key); }
void ADPOP_CALL OnWindow(HWND) { g_heard.Add(Notification::AdWindow, nullptr); }
void ADPOP_CALL OnOther(const wchar_t* key, HWND) { g_heard.Add(Notification::OtherAd, key); }

// The engine watching only the ad maker's windows, with its items in a file of this test.
class WorkingEngine : public ::testing::Test {
protected:
    void SetUp() override {
        wchar_t temp[MAX_PATH] = {};
        ::GetTempPathW(MAX_PATH, temp);
        file_ = std::wstring(temp) + L"adpop-engine-test-" + std::to_wstring(::GetCurrentProcessId()) + L".txt";
        ::DeleteFileW(file_.c_str());
        std::lock_guard<std::mutex> lock(g_heard.mutex);
        g_heard.events.clear();
    }
    void TearDown() override {
        engine_.reset();
        ::DeleteFileW(file_.c_str());
    }
    void Start() {
        engine_.reset(); // an engine before it writes its file as it ends
        WorkingOptions options{file_, 50, [this](DWORD id) { return id == makerId_.load(); }};
        engine_ = std::make_unique<WorkingTracker>(options);
        ASSERT_EQ(engine_->Init(OnHat, OnBlock, OnWindow, OnOther), 1);
    }
    void RunMaker(const std::wstring& args) {
        maker_ = std::make_unique<adwtest::ChildProcess>(adwtest::ExeDir() + L"\\AdMaker.exe", args);
        ASSERT_NE(maker_->Id(), 0u);
        makerId_ = maker_->Id();
    }
    PopWndItem* Item(const std::wstring& key) {
        PopWndItem* item = nullptr;
        engine_->GetPopByKey(key.c_str(), &item);
        return item;
    }

    std::wstring file_;
    std::atomic<DWORD> makerId_{0};
    std::unique_ptr<adwtest::ChildProcess> maker_;
    std::unique_ptr<WorkingTracker> engine_;
};

// Both toasts live for a minute: each is blocked by the engine or not at all.
TEST_F(WorkingEngine, ABlockedPopupsNextAppearanceIsBlockedReportedOnceAndKeptAcrossARestart) {
    Start();
    engine_->SetTrackerState(1);
    RunMaker(L"--advertiser Testco --kinds toast --count 2 --interval 1500 --lifetime 60000 --exit-after 30");
    ASSERT_TRUE(adwtest::WaitUntil([] { return g_heard.Count(Notification::AdHat) == 1; }));
    adwtest::SaveScreenshotPng(L"engine-first-toast", Screen());
    const std::wstring key = g_heard.FirstKey(Notification::AdHat);
    ASSERT_NE(Item(key), nullptr);
    EXPECT_EQ(Item(key)->GetBlockCount(), 0u);
    ASSERT_EQ(Item(key)->SetHandleType(kAdPopHandleBlocked), 1);

    // The toast on screen when it was decided is blocked at once, and the next one as it opens
    // (that both are hidden: the demo's checks).
    ASSERT_TRUE(adwtest::WaitUntil([&] { return g_heard.Count(Notification::AdBlock, key) == 2; }));
    const auto scans = engine_->Scans();
    ASSERT_TRUE(adwtest::WaitUntil([&] { return engine_->Scans() >= scans + 3; }));
    EXPECT_EQ(g_heard.Count(Notification::AdBlock), 2);
    EXPECT_EQ(g_heard.Count(Notification::AdHat), 1);
    EXPECT_EQ(Item(key)->GetBlockCount(), 2u);
    maker_.reset();

    Start(); // the item as the file kept it, each field read back
    ASSERT_EQ(engine_->EnumAllPopWnd(), 1u);
    PopWndItem* kept = Item(key);
    ASSERT_NE(kept, nullptr);
    EXPECT_EQ(kept->GetHandleType(), kAdPopHandleBlocked);
    EXPECT_EQ(kept->GetBlockCount(), 2u);
    EXPECT_EQ(kept->GetPopupType(), kPopupBottomRight);
    EXPECT_STREQ(kept->GetTextA(), L"Testco - toast");
    EXPECT_STREQ(kept->GetSoftwareName(), L"AdMaker");
    EXPECT_NE(std::wstring(kept->GetExePath()).find(L"AdMaker.exe"), std::wstring::npos);
    EXPECT_NE(kept->GetLastBlockTime().wYear, 0);
}

} // namespace
