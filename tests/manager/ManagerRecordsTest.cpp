#include "HostFixture.h"

namespace hosttest {
namespace {

constexpr int kLevelError = 4;

class ManagerRecords : public HostTest {
protected:
    // Asks for the list and waits for the answer.
    std::vector<BlockingRecordModel> List() {
        host.Clear();
        EXPECT_EQ(client->GetBlockingRecords(), 0u);
        EXPECT_TRUE(host.WaitFor(HostEvent::Records, 1));
        auto lists = host.OfKind(HostEvent::Records);
        return lists.empty() ? std::vector<BlockingRecordModel>() : lists[0].records;
    }

    static std::vector<std::pair<std::wstring, int>> KeysAndStatus(const std::vector<BlockingRecordModel>& list) {
        std::vector<std::pair<std::wstring, int>> out;
        for (const auto& r : list) out.emplace_back(r.popupId, r.status);
        return out;
    }
};

using Pairs = std::vector<std::pair<std::wstring, int>>;

TEST_F(ManagerRecords, RecordCarriesTheItemsFields) {
    adpop::EngineItem item = Item(L"key-1", 1);
    item.textA = L"Title \"quoted\"";
    item.textB = L"Body";
    item.popupType = 4;
    item.blockCount = 0;
    engine.AddItem(item);
    InitAndSettle();
    auto list = List();
    EXPECT_NE(host.OfKind(HostEvent::Records)[0].threadId, GetCurrentThreadId()); // answered on the worker
    ASSERT_EQ(list.size(), 1u);
    EXPECT_EQ(list[0].popupId, L"key-1");
    EXPECT_EQ(list[0].textA, L"Title \"quoted\"");
    EXPECT_EQ(list[0].textB, L"Body");
    EXPECT_EQ(list[0].popupType, 4);
    EXPECT_EQ(list[0].blockCount, 0u);
    EXPECT_EQ(list[0].status, 1);
}

TEST_F(ManagerRecords, RecentBlockComesFirstThenTheHandleType) {
    adpop::EngineItem recent = Item(L"recent", 1);
    recent.blockCount = 3;
    recent.lastBlockTime = LocalTimeDaysAgo(2);
    adpop::EngineItem old = Item(L"old", 1);
    old.blockCount = 3;
    old.lastBlockTime = LocalTimeDaysAgo(20);
    adpop::EngineItem future = Item(L"future", 2);
    future.blockCount = 1;
    future.lastBlockTime = LocalTimeDaysAgo(-3);
    adpop::EngineItem edge = Item(L"edge", 3);
    edge.blockCount = 1;
    edge.lastBlockTime = LocalTimeDaysAgo(14.0 + 2.0 / 86400.0); // just beyond 14 days and 1 second
    adpop::EngineItem neverBlocked = Item(L"never", 1);
    neverBlocked.blockCount = 0;
    neverBlocked.lastBlockTime = LocalTimeDaysAgo(1); // ignored: no block counted
    for (const auto& i : {recent, old, future, edge, neverBlocked}) engine.AddItem(i);
    InitAndSettle();
    EXPECT_EQ(KeysAndStatus(List()), (Pairs{{L"recent", 2},
                                            {L"recent", 1},
                                            {L"old", 1},
                                            {L"future", 2},
                                            {L"future", 3},
                                            {L"edge", 3},
                                            {L"never", 1}}));
}

TEST_F(ManagerRecords, HiddenAllowedTrustedAndUnknownTypesGiveNoHandleTypeRecord) {
    adpop::EngineItem hidden = Item(L"hidden", 3);
    hidden.hideFlag = 1;
    adpop::EngineItem shown = Item(L"shown", 3);
    adpop::EngineItem trusted = Item(L"trusted", 2);
    trusted.exePath = Fixture(L"signed_technologies.exe");
    adpop::EngineItem trustedDevice = Item(L"trustedDevice", 3);
    trustedDevice.exePath = Fixture(L"signed_device.exe");
    adpop::EngineItem lookAlike = Item(L"lookAlike", 2);
    lookAlike.exePath = Fixture(L"signed_lowercase.exe");
    adpop::EngineItem blank = Item(L"blank", 2);
    blank.exePath = Fixture(L"signed_trailing_blank.exe");
    adpop::EngineItem strange = Item(L"strange", 7);
    for (const auto& i : {hidden, shown, trusted, trustedDevice, lookAlike, blank, strange}) engine.AddItem(i);
    InitAndSettle();
    EXPECT_EQ(KeysAndStatus(List()), (Pairs{{L"shown", 3}, {L"lookAlike", 3}, {L"blank", 3}}));
}

TEST_F(ManagerRecords, FailedIndexIsSkippedButAnItemReturnedWithAFailureIsKept) {
    engine.AddItem(Item(L"a", 1));
    engine.AddItem(Item(L"b", 1));
    engine.AddItem(Item(L"c", 1));
    engine.FailItemAt(0, 0, /*leaveNull=*/true);
    engine.FailItemAt(2, 5, /*leaveNull=*/false);
    InitAndSettle();
    EXPECT_EQ(KeysAndStatus(List()), (Pairs{{L"b", 1}, {L"c", 1}}));
}

TEST_F(ManagerRecords, BlockingAPopUpSetsTheEngineAndTellsTheHost) {
    engine.AddItem(Item(L"k", 2));
    InitAndSettle();
    EXPECT_EQ(client->SetBlockingStatus(L"k", true), 0u);
    EXPECT_EQ(engine.ItemHandleType(L"k"), 1);
    ASSERT_TRUE(host.WaitFor(HostEvent::Record, 1));
    auto records = host.OfKind(HostEvent::Record);
    EXPECT_EQ(records[0].records[0].popupId, L"k");
    EXPECT_EQ(records[0].records[0].status, 1);
    EXPECT_EQ(host.CountOf(HostEvent::BlockedTimes), 0u); // only status 2 stores the counter

    EXPECT_EQ(client->SetBlockingStatus(L"k", false), 0u);
    EXPECT_EQ(engine.ItemHandleType(L"k"), 3);
    ASSERT_TRUE(host.WaitFor(HostEvent::Record, 2));
    EXPECT_EQ(host.OfKind(HostEvent::Record)[1].records[0].status, 3);
}

TEST_F(ManagerRecords, AllowingAHiddenPopUpTellsTheHostNothing) {
    adpop::EngineItem hidden = Item(L"hidden", 1);
    hidden.hideFlag = 1;
    engine.AddItem(hidden);
    engine.AddItem(Item(L"marker", 2));
    InitAndSettle();
    EXPECT_EQ(client->SetBlockingStatus(L"hidden", false), 0u);
    EXPECT_EQ(engine.ItemHandleType(L"hidden"), 3);
    // Jobs run in push order: once the marker's record is here, the hidden one's job is done.
    EXPECT_EQ(client->SetBlockingStatus(L"marker", true), 0u);
    ASSERT_TRUE(host.WaitFor(HostEvent::Record, 1));
    auto records = host.OfKind(HostEvent::Record);
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].records[0].popupId, L"marker");
}

TEST_F(ManagerRecords, UnknownKeyOrRefusedTypeIsReturnedAndTheJobOnlyLogs) {
    engine.AddItem(Item(L"stubborn", 2));
    engine.SetHandleTypeResult(L"stubborn", 0);
    InitAndSettle();
    adwtest::LogCapture log;
    EXPECT_EQ(client->SetBlockingStatus(L"nobody", true), 300u);
    EXPECT_EQ(client->SetBlockingStatus(L"stubborn", true), 301u);
    ASSERT_TRUE(host.WaitFor(HostEvent::Record, 1)); // the refused item is still reported as it stands
    EXPECT_EQ(host.CountOf(HostEvent::Record), 1u);
    EXPECT_EQ(host.OfKind(HostEvent::Record)[0].records[0].popupId, L"stubborn");
    EXPECT_TRUE(log.Has(L"item is null(KelvaneCenter::AdWarden::SetBlockingStatus::Job)", kLevelError)) << log.Dump();
}

TEST_F(ManagerRecords, WithoutAQueueTheStatusIsStillSetAnd407Returned) {
    engine.AddItem(Item(L"k", 2));
    engine.SetInitResult(0);
    ASSERT_EQ(client->Init(), 204); // tracker held, no queue
    adwtest::LogCapture log;
    host.Clear();
    EXPECT_EQ(client->SetBlockingStatus(L"k", true), 407u);
    EXPECT_EQ(engine.ItemHandleType(L"k"), 1);
    EXPECT_EQ(host.CountOf(HostEvent::Error), 0u);
    EXPECT_TRUE(log.Has(L"getModelListQueue is null, err = 407(KelvaneCenter::AdWarden::SetBlockingStatus)",
                        kLevelError));
}

TEST_F(ManagerRecords, WithoutACallbackNothingIsDeliveredOrPersisted) {
    engine.AddItem(Item(L"k", 2));
    InitAndSettle();
    client->UnRegisterCallback();
    adwtest::LogCapture log;
    EXPECT_EQ(client->GetBlockingRecords(), 0u);
    ASSERT_EQ(engine.FireAdBlock(L"k"), 1);
    // A job behind the others that leaves a trace: once it has run, so have they.
    ASSERT_EQ(engine.FireAdBlock(L"missing"), 1);
    ASSERT_TRUE(adwtest::WaitUntil(
        [&] { return log.Has(L"pItem is null(KelvaneCenter::AdWarden::CallBackAdBlock::Job)", kLevelError); }))
        << log.Dump();
    EXPECT_TRUE(host.Events().empty());
    DWORD stored = 0;
    ASSERT_TRUE(adwtest::GetDword(HKEY_CURRENT_USER, kConfigKey, L"BlockedTimes", stored));
    EXPECT_EQ(stored, 0u); // both blocks were counted in memory only

    client->RegisterCallback(&host);
    EXPECT_EQ(client->GetBlockedTimes(), 0);
    EXPECT_EQ(host.Values(HostEvent::BlockedTimes), std::vector<int>{2});
}

} // namespace
} // namespace hosttest
