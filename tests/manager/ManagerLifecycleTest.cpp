#include "HostFixture.h"

namespace hosttest {
namespace {

constexpr int kLevelError = 4;

using ManagerLifecycle = HostTest;

TEST_F(ManagerLifecycle, RefusedEngineIsReportedAndNothingElseStarts) {
    adwtest::LogCapture log;
    engine.SetInitResult(0);
    EXPECT_EQ(client->Init(), 204);
    EXPECT_TRUE(log.Has(L"failed, err =  204(KelvaneCenter::AdWarden::Init)", kLevelError)) << log.Dump();
    auto errors = host.OfKind(HostEvent::Error);
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_EQ(errors[0].value, 204);

    // No queue was made: the records request fails and says so.
    EXPECT_EQ(client->GetBlockingRecords(), 206u);
    EXPECT_TRUE(log.Has(L"getModelListQueue is null(KelvaneCenter::AdWarden::GetBlockingRecords)", kLevelError));
    errors = host.OfKind(HostEvent::Error);
    ASSERT_EQ(errors.size(), 2u);
    EXPECT_EQ(errors[1].value, 206);
    EXPECT_EQ(client->SetBlockingStatus(L"k", true), 407u);
    EXPECT_EQ(host.CountOf(HostEvent::Error), 2u); // 407 is returned, never reported
    EXPECT_EQ(host.CountOf(HostEvent::BlockedTimes), 0u);
}

TEST_F(ManagerLifecycle, EngineWithoutTrackerLeavesEveryOperationEmpty) {
    engine.SetGetInterfaceReturnsNull(true);
    engine.AddItem(Item(L"k1", 1));
    EXPECT_EQ(client->Init(), 202);

    adwtest::LogCapture log;
    // The adapter holds the module, so a second Init goes ahead without a tracker.
    EXPECT_EQ(client->Init(), 0);
    ASSERT_TRUE(host.WaitFor(HostEvent::BlockedTimes, 1));
    EXPECT_EQ(host.OfKind(HostEvent::BlockedTimes)[0].value, 0);
    EXPECT_EQ(engine.InitCalls(), 0);

    EXPECT_EQ(settings->SetClearPeriod(7), 102);
    EXPECT_EQ(settings->SetPowerState(1), 102);
    EXPECT_EQ(client->SetBlockingStatus(L"k1", true), 300u);
    ASSERT_EQ(client->GetBlockingRecords(), 0u);
    ASSERT_TRUE(host.WaitFor(HostEvent::Records, 1));
    EXPECT_TRUE(host.OfKind(HostEvent::Records)[0].records.empty());
    EXPECT_TRUE(log.Has(L"vendor instance is nullptr(KelvaneCenter::PopUpBlockingVendor::GetBlockCount)", kLevelError))
        << log.Dump();
    EXPECT_TRUE(log.Has(L"vendor instance is nullptr(KelvaneCenter::PopUpBlockingVendor::EnumAllPopWnd)", kLevelError));
    EXPECT_TRUE(log.Has(L"g_pAdPopWndTracker is null, err = 102(KelvaneCenter::PopUpBlockingVendor::SetClearPeriod)",
                        kLevelError));
}

TEST_F(ManagerLifecycle, MissingSettingsKeyStillHandlesNotifications) {
    adwtest::DeleteHkcuTree(kConfigKey);
    engine.AddItem(Item(L"k1", 1));
    adwtest::LogCapture log;
    EXPECT_EQ(client->Init(), 101);
    EXPECT_TRUE(log.Has(L"Load Config Failed!(KelvaneCenter::AdWarden::ConfigInit)", kLevelError)) << log.Dump();
    EXPECT_TRUE(log.Has(L"Config init failed!(KelvaneCenter::AdWarden::Init)", kLevelError));
    EXPECT_EQ(host.CountOf(HostEvent::Error), 0u);

    // The handlers were bound before the switches were read.
    ASSERT_EQ(engine.FireAdBlock(L"k1"), 1);
    ASSERT_TRUE(host.WaitFor(HostEvent::Record, 2));
    // No counter load was queued: the only counter the host hears is the block's.
    auto counters = host.OfKind(HostEvent::BlockedTimes);
    ASSERT_EQ(counters.size(), 1u);
    EXPECT_EQ(counters[0].value, 1);
}

TEST_F(ManagerLifecycle, TrackerModeFollowsTheSwitches) {
    struct Case {
        DWORD blocking, power;
        int mode;
    } cases[] = {{0, 1, 2}, {1, 0, 1}, {0, 0, 0}, {1, 1, 2}, {7, 0, 0}};
    // Each case's mode differs from the one before it, so a mode left unset shows.
    for (const Case& c : cases) {
        SetSwitch(L"PopUpBlockingStatus", c.blocking);
        SetSwitch(L"PowerfulModeStatus", c.power);
        ASSERT_EQ(client->Init(), 0);
        EXPECT_EQ(engine.TrackerState(), c.mode) << "blocking " << c.blocking << " power " << c.power;
        client->UnInit();
    }
}

TEST_F(ManagerLifecycle, PositivePersistedCounterIsReportedAsIs) {
    SetSwitch(L"BlockedTimes", 41);
    adpop::EngineItem item = Item(L"k1", 1);
    item.blockCount = 5;
    engine.AddItem(item);
    ASSERT_EQ(client->Init(), 0);
    ASSERT_TRUE(host.WaitFor(HostEvent::BlockedTimes, 1));
    auto counters = host.OfKind(HostEvent::BlockedTimes);
    EXPECT_EQ(counters[0].value, 41);
    EXPECT_NE(counters[0].threadId, GetCurrentThreadId()); // answered on the queue's worker
    DWORD stored = 0;
    ASSERT_TRUE(adwtest::GetDword(HKEY_CURRENT_USER, kConfigKey, L"BlockedTimes", stored));
    EXPECT_EQ(stored, 41u);
}

TEST_F(ManagerLifecycle, UnusablePersistedCounterIsReplacedByTheEngineTotal) {
    for (int persisted : {0, -5, 1000 /* marker: value absent */}) {
        engine.Reset();
        adpop::EngineItem a = Item(L"a", 1);
        a.blockCount = 3;
        adpop::EngineItem b = Item(L"b", 2);
        b.blockCount = 4;
        engine.AddItem(a);
        engine.AddItem(b);
        if (persisted == 1000) {
            RegDeleteKeyValueW(HKEY_CURRENT_USER, kConfigKey, L"BlockedTimes");
        } else {
            SetSwitch(L"BlockedTimes", static_cast<DWORD>(persisted));
        }
        host.Clear();
        ASSERT_EQ(client->Init(), 0);
        ASSERT_TRUE(host.WaitFor(HostEvent::BlockedTimes, 1));
        EXPECT_EQ(host.OfKind(HostEvent::BlockedTimes)[0].value, 7) << "persisted " << persisted;
        DWORD stored = 0;
        ASSERT_TRUE(adwtest::GetDword(HKEY_CURRENT_USER, kConfigKey, L"BlockedTimes", stored));
        EXPECT_EQ(stored, 7u);
        client->UnInit();
    }
}

TEST_F(ManagerLifecycle, UnInitBeforeInitOnlyReleasesTheAdapter) {
    client->UnInit();
    EXPECT_EQ(engine.UnInitCalls(), 0);
    EXPECT_EQ(engine.ReleaseCalls(), 0);
    EXPECT_EQ(client->GetBlockingRecords(), 206u);
}

TEST_F(ManagerLifecycle, RestartMakesANewQueueAndBindsAgain) {
    engine.AddItem(Item(L"k1", 1));
    InitAndSettle();
    client->UnInit();
    EXPECT_EQ(engine.UnInitCalls(), 1);
    EXPECT_EQ(engine.ReleaseCalls(), 1);
    EXPECT_EQ(engine.FireAdBlock(L"k1"), 0); // nothing is listening any more
    EXPECT_EQ(client->GetBlockingRecords(), 206u);

    host.Clear();
    ASSERT_EQ(client->Init(), 0);
    ASSERT_TRUE(host.WaitFor(HostEvent::BlockedTimes, 1)); // the counter is loaded again
    ASSERT_EQ(engine.FireAdBlock(L"k1"), 1);
    ASSERT_TRUE(host.WaitFor(HostEvent::Record, 2));
    EXPECT_EQ(client->GetBlockingRecords(), 0u);
    EXPECT_TRUE(host.WaitFor(HostEvent::Records, 1));
}

TEST_F(ManagerLifecycle, SecondInitWithoutUnInitReplacesTheQueueSafely) {
    engine.AddItem(Item(L"k1", 1));
    InitAndSettle();
    ASSERT_EQ(client->Init(), 0);
    ASSERT_TRUE(host.WaitFor(HostEvent::BlockedTimes, 1));
    ASSERT_EQ(engine.FireAdBlock(L"k1"), 1);
    ASSERT_TRUE(host.WaitFor(HostEvent::Record, 2));
    EXPECT_EQ(host.CountOf(HostEvent::Record), 2u); // one handler bound, not two
    EXPECT_EQ(engine.InitCalls(), 1);
}

} // namespace
} // namespace hosttest
