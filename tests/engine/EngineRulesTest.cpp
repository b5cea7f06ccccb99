// The working engine: its pure rules, and the engine itself on the real
// desktop with the ad maker's pop-ups (another process).

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
RECT At(LONG left, LONG top, LONG width, LONG height) { return RECT{left, top, left + width, top + height}; }

constexpr LONG kAd = WS_POPUP | WS_BORDER;

TEST(EngineRules, ClassifiesWindowsByGeometryAndStyle) {
    // A 1920x1080 monitor with a 40 px taskbar at the bottom.
    const RECT monitor{0, 0, 1920, 1080};
    const RECT work{0, 0, 1920, 1040};
    struct Row { const char* name; RECT rect; LONG style; bool owned; int type; } rows[] = {
        {"toast in the corner", At(1564, 824, 340, 200), kAd, false, kPopupBottomRight},
        {"toast stacked above", At(1564, 552, 340, 200), kAd, false, kPopupBottomRight},
        {"over the taskbar", At(1700, 1000, 200, 80), kAd, false, kPopupTray},
        {"bar along the top", At(200, 0, 1200, 60), kAd, false, kPopupToolbar},
        {"small, near the top", At(1600, 96, 280, 150), kAd, false, kPopupBubble},
        {"centred", At(720, 360, 480, 320), kAd, false, kPopupCentre},
        {"larger than a toast in the corner", At(1320, 460, 580, 560), kAd, false, kPopupUnknown},
        {"large, off centre", At(40, 40, 600, 400), kAd, false, kPopupUnknown},
        {"application window", At(720, 360, 480, 320), WS_OVERLAPPEDWINDOW, false, kNotPopup},
        {"owned dialog", At(1564, 824, 340, 200), kAd, true, kNotPopup},
        {"too small to read", At(1800, 1000, 20, 10), kAd, false, kNotPopup},
        {"most of the screen", At(0, 0, 1900, 1000), kAd, false, kNotPopup},
    };
    for (const Row& row : rows) {
        WindowFacts facts;
        facts.rect = row.rect;
        facts.workArea = work;
        facts.monitor = monitor;
        facts.style = row.style;
        facts.owned = row.owned;
        EXPECT_EQ(ClassifyPopup(facts), row.type) << row.name;
    }
}

TEST(EngineRules, ActionFollowsTrackerStateAndDecision) {
    struct Row { int state, handleType, popupType; Action action; } rows[] = {
        {0, 1, kPopupBottomRight, Action::None},     {1, 1, kPopupBottomRight, Action::Hide},
        {1, 2, kPopupBottomRight, Action::OfferHat}, {1, 2, kPopupUnknown, Action::ReportSuspected},
        {1, 3, kPopupBottomRight, Action::None},     {2, 2, kPopupUnknown, Action::Hide},
        {2, 3, kPopupCentre, Action::None},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(DecideAction(row.state, row.handleType, row.popupType), row.action)
            << row.state << "/" << row.handleType << "/" << row.popupType;
    }
}

TEST(EngineRules, KeyIgnoresThePathsCaseAndTellsClassAndTitleApart) {
    const std::wstring key = PopupKey(L"C:\\Ads\\AdMaker.exe", L"AdMakerToast", L"Sunmart - toast");
    EXPECT_EQ(key, PopupKey(L"c:\\ads\\ADMAKER.EXE", L"AdMakerToast", L"Sunmart - toast"));
    EXPECT_NE(key, PopupKey(L"C:\\Ads\\AdMaker.exe", L"AdMakerToast", L"Nimbus Games - toast"));
    EXPECT_NE(key, PopupKey(L"C:\\Ads\\AdMaker.exe", L"AdMakerBubble", L"Sunmart - toast"));
    EXPECT_NE(PopupKey(L"a", L"bc", L""), PopupKey(L"ab", L"c", L""));
}

constexpr LocalStamp kDay = 864000000000ull;
constexpr LocalStamp kNow = 1000 * kDay;

TEST(EngineRules, ItemsNotSeenWithinThePeriodAreForgotten) {
    struct Row { LocalStamp lastSeen; unsigned days; bool forgotten; } rows[] = {
        {kNow - 8 * kDay, 7, true}, {kNow - 6 * kDay, 7, false}, {kNow - 7 * kDay, 7, false},
        {kNow - 900 * kDay, 0, false}, {kNow + kDay, 1, false},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(IsForgotten(row.lastSeen, kNow, row.days), row.forgotten) << (kNow - row.lastSeen) / kDay;
    }
}

ItemRecord Record(const std::wstring& key, LocalStamp lastSeen) {
    ItemRecord item;
    item.key = key;
    item.textA = L"Tab\there, line\nbreak, back\\slash, 广告";
    item.exePath = L"C:\\Ads\\AdMaker.exe";
    item.handleType = 1;
    item.popupType = kPopupBubble;
    item.blockCount = 4000000000u;
    item.lastBlock = kNow - kDay;
    item.lastSeen = lastSeen;
    return item;
}

TEST(EngineRules, ItemsFileKeepsEveryFieldAndSkipsADamagedLine) {
    std::string text = FormatStore(9, {Record(L"a", kNow), Record(L"b", kNow - kDay)});
    text.insert(text.find("item\tb"), "item\tbroken\t7\n");
    unsigned period = 0;
    std::vector<ItemRecord> items;
    ASSERT_TRUE(ParseStore(text, period, items));
    EXPECT_EQ(period, 9u);
    ASSERT_EQ(items.size(), 2u);
    EXPECT_EQ(FormatStore(9, items), FormatStore(9, {Record(L"a", kNow), Record(L"b", kNow - kDay)}));
    EXPECT_EQ(items[0].textA, Record(L"a", kNow).textA);
    EXPECT_FALSE(ParseStore("item\ta\t1\n", period, items));
}

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
    bool MakerShowsNothing(std::chrono::milliseconds within) {
        return adwtest::WaitUntil([&] {
            HWND w = nullptr;
            while ((w = ::FindWindowExW(nullptr, w, nullptr, nullptr)) != nullptr) {
                DWORD id = 0;
                if (::GetWindowThreadProcessId(w, &id) && id == makerId_ && ::IsWindowVisible(w)) return false;
            }
            return true;
        }, within);
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

TEST_F(WorkingEngine, ABlockedPopupsNextAppearanceIsHiddenReportedOnceAndKeptAcrossARestart) {
    Start();
    engine_->SetTrackerState(1);
    // The first toast is gone before the second opens; the second would stay 1.4 s unless hidden.
    RunMaker(L"--advertiser Testco --kinds toast --count 2 --interval 1500 --lifetime 1400 --exit-after 20");
    ASSERT_TRUE(adwtest::WaitUntil([] { return g_heard.Count(Notification::AdHat) == 1; }));
    adwtest::SaveScreenshotPng(L"engine-first-toast", Screen());
    const std::wstring key = g_heard.FirstKey(Notification::AdHat);
    ASSERT_NE(Item(key), nullptr);
    EXPECT_EQ(Item(key)->GetBlockCount(), 0u);
    ASSERT_EQ(Item(key)->SetHandleType(kAdPopHandleBlocked), 1);

    // The toast on screen goes at once, and so does the next one.
    ASSERT_TRUE(adwtest::WaitUntil([&] { return g_heard.Count(Notification::AdBlock, key) == 1; }));
    EXPECT_TRUE(MakerShowsNothing(std::chrono::milliseconds(1000)));
    ASSERT_EQ(maker_->WaitForExit(), 0u);
    const auto scans = engine_->Scans();
    ASSERT_TRUE(adwtest::WaitUntil([&] { return engine_->Scans() >= scans + 3; }));
    EXPECT_EQ(g_heard.Count(Notification::AdBlock), 2);
    EXPECT_EQ(g_heard.Count(Notification::AdHat), 1);
    EXPECT_EQ(Item(key)->GetBlockCount(), 2u);

    Start();
    ASSERT_EQ(engine_->EnumAllPopWnd(), 1u);
    PopWndItem* kept = Item(key);
    ASSERT_NE(kept, nullptr);
    EXPECT_EQ(kept->GetHandleType(), kAdPopHandleBlocked);
    EXPECT_EQ(kept->GetBlockCount(), 2u);
    EXPECT_EQ(kept->GetPopupType(), kPopupBottomRight);
    EXPECT_STREQ(kept->GetTextA(), L"Testco - toast");
    EXPECT_STREQ(kept->GetSoftwareName(), L"AdMaker");
    EXPECT_NE(std::wstring(kept->GetExePath()).find(L"AdMaker.exe"), std::wstring::npos);
}

TEST_F(WorkingEngine, PowerfulModeHidesASuspectedPopupThatHasNoItemYet) {
    Start();
    ASSERT_EQ(engine_->EnumAllPopWnd(), 0u);
    engine_->SetTrackerState(2);
    RunMaker(L"--advertiser Powerco --kinds bubble --count 1 --interval 3000 --exit-after 20");
    ASSERT_TRUE(adwtest::WaitUntil([] { return g_heard.Count(Notification::AdBlock) == 1; }));
    EXPECT_TRUE(MakerShowsNothing(std::chrono::milliseconds(1500)));
    adwtest::SaveScreenshotPng(L"engine-powerful-bubble-hidden", Screen());
    PopWndItem* item = Item(g_heard.FirstKey(Notification::AdBlock));
    ASSERT_NE(item, nullptr);
    EXPECT_EQ(item->GetBlockCount(), 1u);
    EXPECT_EQ(item->GetPopupType(), kPopupBubble);
    EXPECT_EQ(item->GetHandleType(), kAdPopHandleUndecided); // the mode decided, not the user
    EXPECT_EQ(g_heard.Count(Notification::AdHat), 0);
}

TEST_F(WorkingEngine, ClearPeriodForgetsItemsNotSeenWithinItAndTheFileKeepsThat) {
    const LocalStamp now = StampFromSystemTime([] { SYSTEMTIME t; ::GetLocalTime(&t); return t; }());
    ASSERT_TRUE(WriteStoreFile(file_, FormatStore(0, {Record(L"old", now - 10 * kDay), Record(L"new", now - kDay)})));
    Start();
    ASSERT_EQ(engine_->EnumAllPopWnd(), 2u);
    EXPECT_EQ(engine_->SetClearPeriod(7), 1);
    EXPECT_EQ(engine_->EnumAllPopWnd(), 1u);
    EXPECT_EQ(Item(L"old"), nullptr);
    ASSERT_NE(Item(L"new"), nullptr);
    engine_.reset(); // its thread writes the file as it ends
    std::string text;
    unsigned period = 0;
    std::vector<ItemRecord> items;
    ASSERT_TRUE(ReadStoreFile(file_, text) && ParseStore(text, period, items));
    EXPECT_EQ(period, 7u);
    ASSERT_EQ(items.size(), 1u);
    EXPECT_EQ(items[0].key, L"new");
}

} // namespace
