#include "HostFixture.h"

namespace hosttest {
namespace {

constexpr int kLevelError = 4;

using ManagerNotifications = HostTest;

TEST_F(ManagerNotifications, BlockGivesRecentRecordCounterThenBlockedRecord) {
    SetSwitch(L"BlockedTimes", 10);
    adpop::EngineItem item = Item(L"k", 1);
    item.blockCount = 4;
    engine.AddItem(item);
    InitAndSettle();

    ASSERT_EQ(engine.FireAdBlock(L"k"), 1);
    ASSERT_TRUE(host.WaitFor(HostEvent::Record, 2));
    auto events = host.Events();
    ASSERT_EQ(events.size(), 3u);
    EXPECT_EQ(events[0].kind, HostEvent::Record);
    EXPECT_EQ(events[0].records[0].status, 2);
    EXPECT_EQ(events[0].records[0].blockCount, 4u);
    EXPECT_EQ(events[1].kind, HostEvent::BlockedTimes);
    EXPECT_EQ(events[1].value, 11);
    EXPECT_EQ(events[2].kind, HostEvent::Record);
    EXPECT_EQ(events[2].records[0].status, 1);
    DWORD stored = 0;
    ASSERT_TRUE(adwtest::GetDword(HKEY_CURRENT_USER, kConfigKey, L"BlockedTimes", stored));
    EXPECT_EQ(stored, 11u);
}

TEST_F(ManagerNotifications, NullKeysAreLoggedAndDropped) {
    InitAndSettle();
    adwtest::LogCapture log;
    ASSERT_EQ(engine.FireAdBlock(nullptr), 1);
    ASSERT_EQ(engine.FireAdHat(nullptr, nullptr), 1);
    ASSERT_EQ(engine.FireOtherAd(nullptr, nullptr), 1);
    EXPECT_TRUE(log.Has(L"AdBlockNotify lpkey is nullptr(KelvaneCenter::AdWarden::CallBackAdBlock)", kLevelError))
        << log.Dump();
    EXPECT_TRUE(log.Has(L"key is null(KelvaneCenter::AdWarden::CallBackAdHat)", kLevelError));
    EXPECT_TRUE(log.Has(L"key is null(KelvaneCenter::AdWarden::CallBackOtherAdNotify)", kLevelError));
    client->GetBlockedTimes();
    EXPECT_EQ(host.Values(HostEvent::BlockedTimes), std::vector<int>{0}); // a null key is not counted
}

TEST_F(ManagerNotifications, HatAndOtherAdReportOnlyUndecidedPopUps) {
    MessageWindow window;
    ASSERT_NE(window.get(), nullptr);
    engine.AddItem(Item(L"undecided", 2));
    engine.AddItem(Item(L"blocked", 1));
    engine.AddItem(Item(L"allowed", 3));
    InitAndSettle();
    for (const wchar_t* key : {L"undecided", L"blocked", L"allowed"}) {
        ASSERT_EQ(engine.FireAdHat(key, window.get()), 1);
        ASSERT_EQ(engine.FireOtherAd(key, window.get()), 1);
    }
    // A marker behind them: its answer means every job above has run.
    ASSERT_EQ(client->GetBlockingRecords(), 0u);
    ASSERT_TRUE(host.WaitFor(HostEvent::Records, 1));
    auto records = host.OfKind(HostEvent::Record);
    ASSERT_EQ(records.size(), 2u);
    for (const auto& r : records) {
        EXPECT_EQ(r.records[0].popupId, L"undecided");
        EXPECT_EQ(r.records[0].status, 3);
    }
}

// No record without a living window and a key the engine knows; the maker's own
// programs are set to allowed instead and never reported.
TEST_F(ManagerNotifications, NoRecordForAGoneWindowAnUnknownKeyOrTheMakersOwnProgram) {
    MessageWindow window;
    HWND gone = nullptr;
    {
        MessageWindow shortLived;
        gone = shortLived.get();
    }
    adpop::EngineItem own = Item(L"own", 2);
    own.exePath = Fixture(L"signed_technologies.exe");
    engine.AddItem(own);
    engine.AddItem(Item(L"k", 2));
    InitAndSettle();
    adwtest::LogCapture log;
    ASSERT_EQ(engine.FireAdHat(L"k", gone), 1);
    ASSERT_EQ(engine.FireOtherAd(L"unknown", window.get()), 1);
    ASSERT_EQ(engine.FireAdHat(L"own", window.get()), 1);
    ASSERT_TRUE(adwtest::WaitUntil([&] { return log.CountPrefix(L"pItem is null") == 3; })) << log.Dump();
    EXPECT_EQ(log.Count(L"pItem is null(KelvaneCenter::AdWarden::CallBackAdHat::Job)", kLevelError), 2);
    EXPECT_TRUE(log.Has(L"*pItem is null(KelvaneCenter::AdWarden::GetValidWndItem)", kLevelError));
    EXPECT_EQ(engine.ItemHandleType(L"own"), 3);
    EXPECT_EQ(host.CountOf(HostEvent::Record), 0u);
}

} // namespace
} // namespace hosttest
