#include "HostFixture.h"

namespace hosttest {
namespace {

using ManagerLifecycle = HostTest;

TEST(ManagerEntry, BothAccessorsAreViewsOfOneObject) {
    auto* client = KelvaneCenter::PopUpBlockingClientFactory::GetClientInstance();
    auto* settings = KelvaneCenter::PopUpBlockingClientFactory::GetSettingCenterClientInstance();
    ASSERT_NE(client, nullptr);
    ASSERT_NE(settings, nullptr);
    EXPECT_EQ(client, KelvaneCenter::PopUpBlockingClientFactory::GetClientInstance());
    // Two base subobjects at different addresses, one most-derived object.
    EXPECT_NE(static_cast<void*>(client), static_cast<void*>(settings));
    EXPECT_EQ(dynamic_cast<void*>(client), dynamic_cast<void*>(settings));
}

TEST_F(ManagerLifecycle, RefusedEngineIsReportedAndNothingElseStarts) {
    adwtest::LogCapture log;
    engine.AddItem(Item(L"k", 2));
    engine.SetInitResult(0);
    EXPECT_EQ(client->Init(), 204);
    EXPECT_TRUE(log.Has(L"failed, err =  204(KelvaneCenter::AdWarden::Init)", adw::kLogError)) << log.Dump();
    // No queue was made: the records request fails and says so; 407 is returned, never reported.
    EXPECT_EQ(client->GetBlockingRecords(), 206u);
    EXPECT_TRUE(log.Has(L"getModelListQueue is null(KelvaneCenter::AdWarden::GetBlockingRecords)", adw::kLogError));
    EXPECT_EQ(client->SetBlockingStatus(L"k", true), 407u);
    EXPECT_EQ(engine.ItemHandleType(L"k"), 1); // the held tracker still took the status
    EXPECT_TRUE(log.Has(L"getModelListQueue is null, err = 407(KelvaneCenter::AdWarden::SetBlockingStatus)",
                        adw::kLogError));
    EXPECT_EQ(host.Values(HostEvent::Error), (std::vector<int>{204, 206}));
    EXPECT_EQ(host.CountOf(HostEvent::BlockedTimes), 0u);
}

TEST_F(ManagerLifecycle, MissingSettingsKeyStillHandlesNotifications) {
    adwtest::DeleteHkcuTree(kConfigKey);
    engine.AddItem(Item(L"k1", 1));
    adwtest::LogCapture log;
    EXPECT_EQ(client->Init(), 101);
    EXPECT_TRUE(log.Has(L"Load Config Failed!(KelvaneCenter::AdWarden::ConfigInit)", adw::kLogError)) << log.Dump();
    EXPECT_TRUE(log.Has(L"Config init failed!(KelvaneCenter::AdWarden::Init)", adw::kLogError));
    // The handlers were bound before the switches were read; no counter load was queued.
    ASSERT_EQ(engine.FireAdBlock(L"k1"), 1);
    ASSERT_TRUE(host.WaitFor(HostEvent::Record, 2));
    EXPECT_EQ(host.Values(HostEvent::BlockedTimes), std::vector<int>{1});
    EXPECT_EQ(host.CountOf(HostEvent::Error), 0u);
}

// The power switch as the host flips it, with blocking on: mode 2, then 0; the
// host hears each value on its own thread before the engine's mode changes.
TEST_F(ManagerLifecycle, PowerSwitchSetsTheTrackerModeAndTellsTheHostFirst) {
    SetSwitch(L"PopUpBlockingStatus", 1);
    InitAndSettle();
    ASSERT_EQ(engine.TrackerState(), 1);
    std::vector<int> modeWhenTold;
    host.onCall = [&](HostEvent::Kind) { modeWhenTold.push_back(engine.TrackerState()); };
    for (int power : {1, 0, 3, 0}) {
        EXPECT_EQ(settings->SetPowerState(power), 0);
        EXPECT_EQ(engine.TrackerState(), power != 0 ? 2 : 0) << power;
    }
    EXPECT_EQ(host.Values(HostEvent::StateChanged), (std::vector<int>{1, 0, 3, 0}));
    EXPECT_EQ(modeWhenTold, (std::vector<int>{1, 2, 0, 2}));
    for (const auto& e : host.Events()) EXPECT_EQ(e.threadId, GetCurrentThreadId());
    host.onCall = nullptr;
}

// Once unregistered or replaced, a callback hears nothing more, whatever was asked before.
TEST_F(ManagerLifecycle, NothingReachesAnUnregisteredOrReplacedCallback) {
    engine.AddItem(Item(L"k", 1));
    InitAndSettle();
    adwtest::HostRecorder replacement, last;
    client->RegisterCallback(&replacement);
    ASSERT_EQ(engine.FireAdBlock(L"k"), 1);
    ASSERT_EQ(client->GetBlockingRecords(), 0u);
    ASSERT_TRUE(replacement.WaitFor(HostEvent::Records, 1));
    EXPECT_EQ(replacement.CountOf(HostEvent::Record), 2u);
    EXPECT_EQ(replacement.Values(HostEvent::BlockedTimes), std::vector<int>{1});
    EXPECT_TRUE(host.Events().empty());

    client->UnRegisterCallback();
    const size_t heard = replacement.Events().size();
    ASSERT_EQ(engine.FireAdBlock(L"k"), 1);
    EXPECT_EQ(client->GetBlockingRecords(), 0u);
    EXPECT_EQ(client->GetBlockedTimes(), 0);
    EXPECT_EQ(settings->SetBlockingState(1), 0);
    // A listing asked of a third callback answers after every job above has run.
    client->RegisterCallback(&last);
    ASSERT_EQ(client->GetBlockingRecords(), 0u);
    ASSERT_TRUE(last.WaitFor(HostEvent::Records, 1));
    EXPECT_EQ(replacement.Events().size(), heard);
    EXPECT_TRUE(host.Events().empty());
    client->UnInit();
}

// Without a callback Init answers all the same, and the counter it loads is there for a later one.
TEST_F(ManagerLifecycle, InitWithNoCallbackRegisteredAnswersWithItsCode) {
    client->UnRegisterCallback();
    SetSwitch(L"BlockedTimes", 12);
    engine.SetInitResult(0);
    EXPECT_EQ(client->Init(), 204);
    client->UnInit();
    engine.SetInitResult(1);
    ASSERT_EQ(client->Init(), 0);
    ASSERT_EQ(client->GetBlockingRecords(), 0u); // queued behind the counter load, answered to nobody
    client->RegisterCallback(&host);
    ASSERT_EQ(client->GetBlockingRecords(), 0u);
    ASSERT_TRUE(host.WaitFor(HostEvent::Records, 1));
    host.Clear();
    EXPECT_EQ(client->GetBlockedTimes(), 0);
    EXPECT_EQ(host.Values(HostEvent::BlockedTimes), std::vector<int>{12});
    EXPECT_EQ(settings->SetClearPeriod(30), 0);
    engine.SetClearPeriodResult(0);
    EXPECT_EQ(settings->SetClearPeriod(31), 304); // the engine's refusal, passed through
}

TEST_F(ManagerLifecycle, TrackerModeFollowsTheSwitches) {
    struct Case { DWORD blocking, power; int mode; } cases[] = {{0, 1, 2}, {1, 0, 1}, {0, 0, 0}, {1, 1, 2}, {7, 0, 0}};
    // Each case's mode differs from the one before it, so a mode left unset shows.
    for (const Case& c : cases) {
        SetSwitch(L"PopUpBlockingStatus", c.blocking);
        SetSwitch(L"PowerfulModeStatus", c.power);
        ASSERT_EQ(client->Init(), 0);
        EXPECT_EQ(engine.TrackerState(), c.mode) << "blocking " << c.blocking << " power " << c.power;
        client->UnInit();
    }
}

// The first counter after Init is the persisted one when positive, else the
// engine's total, which is then persisted. A block notified while Init runs,
// before the load, counts on top of it instead of the count starting again.
TEST_F(ManagerLifecycle, CounterIsThePersistedValueElseTheEngineTotal) {
    constexpr int kAbsent = 1000;
    struct Case { int persisted; bool blockDuringInit; int reported; } cases[] = {
        {41, false, 41}, {0, false, 7}, {-5, false, 7}, {kAbsent, false, 7}, {10, true, 11}};
    for (const Case& c : cases) {
        engine.Reset();
        engine.AddItem(Item(L"a", 1, 3));
        engine.AddItem(Item(L"b", 2, 4));
        if (c.persisted == kAbsent) {
            RegDeleteKeyValueW(HKEY_CURRENT_USER, kConfigKey, L"BlockedTimes");
        } else {
            SetSwitch(L"BlockedTimes", static_cast<DWORD>(c.persisted));
        }
        if (c.blockDuringInit) engine.FireOnNextSetTrackerState(kAdPopScriptAdBlock, L"a");
        host.Clear();
        ASSERT_EQ(client->Init(), 0);
        ASSERT_TRUE(host.WaitFor(HostEvent::BlockedTimes, 1));
        ASSERT_TRUE(host.WaitFor(HostEvent::Record, c.blockDuringInit ? 2 : 0));
        const auto counters = host.OfKind(HostEvent::BlockedTimes);
        EXPECT_EQ(host.Values(HostEvent::BlockedTimes), std::vector<int>{c.reported}) << "persisted " << c.persisted;
        EXPECT_NE(counters[0].threadId, GetCurrentThreadId()); // answered on the queue's worker
        DWORD stored = 0;
        ASSERT_TRUE(adwtest::GetDword(HKEY_CURRENT_USER, kConfigKey, L"BlockedTimes", stored));
        EXPECT_EQ(stored, static_cast<DWORD>(c.reported));
        client->UnInit();
    }
}

TEST_F(ManagerLifecycle, RestartOrSecondInitBindsOneHandlerToANewQueue) {
    engine.AddItem(Item(L"k1", 1));
    for (bool unInitFirst : {true, false}) {
        SCOPED_TRACE(unInitFirst);
        InitAndSettle();
        if (unInitFirst) {
            client->UnInit();
            EXPECT_EQ(engine.FireAdBlock(L"k1"), 0); // nothing is listening any more
            EXPECT_EQ(client->GetBlockingRecords(), 206u);
        }
        host.Clear();
        ASSERT_EQ(client->Init(), 0);
        ASSERT_TRUE(host.WaitFor(HostEvent::BlockedTimes, 1)); // the counter is loaded again
        ASSERT_EQ(engine.FireAdBlock(L"k1"), 1);
        ASSERT_TRUE(host.WaitFor(HostEvent::Record, 2));
        EXPECT_EQ(client->GetBlockingRecords(), 0u);
        ASSERT_TRUE(host.WaitFor(HostEvent::Records, 1));
        EXPECT_EQ(host.CountOf(HostEvent::Record), 2u); // one handler bound, not two
        client->UnInit();
    }
    EXPECT_EQ(engine.InitCalls(), 3);
    EXPECT_EQ(engine.ReleaseCalls(), 3);
}

} // namespace
} // namespace hosttest
