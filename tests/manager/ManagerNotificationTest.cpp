#include "HostFixture.h"
#include "TestRoot.h"
#include "qeevent/QeEventCapture.h"

namespace hosttest {
namespace {

using ManagerNotifications = HostTest;

// A block sends the recent record, the counter and the blocked record; it and a
// suspected window reach telemetry, each with the pop-up's description. The counter
// is also answered at once, on the asking thread.
TEST_F(ManagerNotifications, BlockGivesRecentRecordCounterThenBlockedRecordAndIsReported) {
    SetSwitch(L"BlockedTimes", 10);
    engine.AddItem(Item(L"k", 1, 4));
    InitAndSettle();
    QeEventCapture::Begin();
    MessageWindow window;
    ASSERT_EQ(engine.FireAdBlock(L"k"), 1);
    ASSERT_EQ(engine.FireOtherAd(L"k", window.get()), 1); // a blocked item's: no record
    ASSERT_TRUE(host.WaitFor(HostEvent::Record, 2));
    // Each event as kind and value: a record's value is its status.
    std::vector<std::pair<int, int>> told;
    for (const auto& e : host.Events()) told.emplace_back(e.kind, e.records.empty() ? e.value : e.records[0].status);
    EXPECT_EQ(told, (std::vector<std::pair<int, int>>{{HostEvent::Record, 2}, {HostEvent::BlockedTimes, 11},
                                                     {HostEvent::Record, 1}}));
    EXPECT_EQ(host.OfKind(HostEvent::Record)[0].records[0].blockCount, 4u);
    DWORD stored = 0;
    ASSERT_TRUE(adwtest::GetDword(HKEY_CURRENT_USER, kConfigKey, L"BlockedTimes", stored));
    EXPECT_EQ(stored, 11u);
    // A null key is not counted (its line: BadInput.KeysOfEveryNotification); the counter is answered at once.
    ASSERT_EQ(engine.FireAdBlock(nullptr), 1);
    host.Clear();
    EXPECT_EQ(client->GetBlockedTimes(), 0);
    EXPECT_EQ(host.Values(HostEvent::BlockedTimes), std::vector<int>{11});
    EXPECT_EQ(host.Events()[0].threadId, GetCurrentThreadId());
    ASSERT_TRUE(adwtest::WaitUntil([] { return QeEventCapture::Events().size() >= 2; }));
    std::vector<int> ids;
    for (const auto& e : QeEventCapture::Events()) {
        ids.push_back(e.id);
        ASSERT_FALSE(e.pairs.empty());
        EXPECT_EQ(e.pairs[0].key, "windowInfo");
        EXPECT_NE(e.pairs[0].value.find("\"softwareName\":\"Some Software\""), std::string::npos) << e.pairs[0].value;
    }
    EXPECT_EQ(ids, (std::vector<int>{992614520, 992614523})); // an automatic block, a suspected window
    QeEventCapture::End();
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
    EXPECT_EQ(host.RecordsTold(), (adwtest::KeysStatuses{{L"undecided", 3}, {L"undecided", 3}}));
}

// While the worker waits in the host, a burst overflows the queue: the jobs it
// drops still send their reports, and all go out in the notifications' order.
TEST_F(ManagerNotifications, ReportsOfAnOverflowingBurstGoOutInNotificationOrder) {
    constexpr size_t kBurst = 130; // the queue holds 100
    for (size_t i = 0; i < kBurst; ++i) {
        adpop::EngineItem item = Item(L"burst" + std::to_wstring(i), kAdPopHandleBlocked);
        item.softwareName = std::to_wstring(i);
        engine.AddItem(item);
    }
    InitAndSettle();
    HoldWorkerInHost();
    QeEventCapture::Begin();
    adwtest::LogCapture log;
    for (size_t i = 0; i < kBurst; ++i) ASSERT_EQ(engine.FireOtherAd((L"burst" + std::to_wstring(i)).c_str(), nullptr), 1);
    EXPECT_EQ(log.CountPrefix(L"operation queue full"), kBurst - 100);
    ReleaseWorker();
    std::vector<std::string> described; // the suspected windows' descriptions, as sent
    ASSERT_TRUE(adwtest::WaitUntil([&] {
        described.clear();
        for (const auto& e : QeEventCapture::Events())
            if (e.id == 992614523) described.push_back(e.pairs.at(0).value);
        return described.size() >= kBurst;
    }));
    ASSERT_EQ(described.size(), kBurst);
    for (size_t i = 0; i < kBurst; ++i)
        EXPECT_NE(described[i].find("\"softwareName\":\"" + std::to_string(i) + "\""), std::string::npos) << described[i];
    QeEventCapture::End();
}

// No record for a key the engine does not know (gone windows: BadInput); the maker's
// own programs are set to allowed instead and never reported. A program that only
// carries the maker's name, on a self-made certificate, is not the maker's.
TEST_F(ManagerNotifications, NoRecordForAGoneWindowAnUnknownKeyOrTheMakersOwnProgram) {
    const adwtest::TestRootInstalled root;
    ASSERT_TRUE(root.Ok());
    MessageWindow window;
    adpop::EngineItem own = Item(L"own", 2);
    own.exePath = Fixture(L"chained_technologies.exe");
    engine.AddItem(own);
    adpop::EngineItem forged = Item(L"forged", 2);
    forged.exePath = Fixture(L"signed_technologies.exe");
    engine.AddItem(forged);
    InitAndSettle();
    adwtest::LogCapture log;
    ASSERT_EQ(engine.FireOtherAd(L"unknown", window.get()), 1);
    ASSERT_EQ(engine.FireAdHat(L"own", window.get()), 1);
    ASSERT_EQ(engine.FireOtherAd(L"forged", window.get()), 1);
    ASSERT_TRUE(adwtest::WaitUntil([&] { return log.CountPrefix(L"pItem is null") == 2; })) << log.Dump();
    EXPECT_EQ(log.Count(L"pItem is null(KelvaneCenter::AdWarden::CallBackAdHat::Job)", adw::kLogError), 1);
    EXPECT_TRUE(log.Has(L"*pItem is null(KelvaneCenter::AdWarden::GetValidWndItem)", adw::kLogError));
    EXPECT_EQ(engine.ItemHandleType(L"own"), 3);
    ASSERT_TRUE(host.WaitFor(HostEvent::Record, 1));
    EXPECT_EQ(host.OfKind(HostEvent::Record)[0].records[0].popupId, L"forged");
    EXPECT_EQ(engine.ItemHandleType(L"forged"), 2);
    EXPECT_EQ(host.CountOf(HostEvent::Record), 1u);
}

} // namespace
} // namespace hosttest
