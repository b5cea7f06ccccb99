#include <atomic>
#include <tuple>

#include "common/UniqueResource.h"

#include "HostFixture.h"
#include "TestRoot.h"

namespace hosttest {
namespace {

using ManagerRecords = HostTest;
using Pairs = adwtest::KeysStatuses;

// One item may give two records: blocked in the last 14 days first, then the one
// of its handle type. Hidden allowed items, the maker's own programs (signed
// under a trusted root, not merely carrying the name), unknown types and items
// the engine cannot hand out give none of the second kind. (Which signers are
// the maker's is the identity tests' matter: one of each kind is enough here.)
TEST_F(ManagerRecords, ListFollowsRecencyHandleTypeAndSigner) {
    const adwtest::TestRootInstalled root;
    ASSERT_TRUE(root.Ok());
    // exe null: unsigned
    struct Row { const wchar_t* key; int type; unsigned blocks; double daysAgo; const wchar_t* exe; int hide; } rows[] = {
        {L"recent", 1, 3, 2, nullptr, 0},
        {L"old", 1, 3, 20, nullptr, 0},
        {L"future", 2, 1, -3, nullptr, 0},
        {L"never", 1, 0, 1, nullptr, 0},                   // no block counted: the time is ignored
        {L"hidden", 3, 0, 0, nullptr, 1},
        {L"shown", 3, 0, 0, nullptr, 0},
        {L"trusted", 2, 0, 0, L"chained_technologies.exe", 0},
        {L"forged", 2, 0, 0, L"signed_technologies.exe", 0},
        {L"strange", 7, 0, 0, nullptr, 0},
        {L"unreadable", 1, 0, 0, nullptr, 0}, // fetched with a failure and no item
        {L"withFailure", 1, 0, 0, nullptr, 0}, // fetched with a failure code, item kept
    };
    for (const Row& row : rows) {
        adpop::EngineItem item = Item(row.key, row.type, row.blocks);
        item.lastBlockTime = LocalTimeDaysAgo(row.daysAgo);
        item.hideFlag = row.hide;
        if (row.exe != nullptr) item.exePath = Fixture(row.exe);
        engine.AddItem(item);
    }
    engine.FailItemAt(9, 0, /*leaveNull=*/true);
    engine.FailItemAt(10, 5, /*leaveNull=*/false);
    InitAndSettle();
    ASSERT_EQ(client->GetBlockingRecords(), 0u);
    ASSERT_TRUE(host.WaitFor(HostEvent::Records, 1));
    const HostEvent listed = host.OfKind(HostEvent::Records)[0];
    EXPECT_NE(listed.threadId, GetCurrentThreadId()); // answered on the worker
    const auto& list = listed.records;
    ASSERT_FALSE(list.empty());
    EXPECT_EQ(std::make_tuple(list[0].textA, list[0].textB, list[0].popupType, list[0].blockCount),
              std::make_tuple(std::wstring(L"recent A"), std::wstring(L"recent B"), 1, 3u));
    EXPECT_EQ(adwtest::KeysAndStatus(list), (Pairs{{L"recent", 2}, {L"recent", 1}, {L"old", 1}, {L"future", 2},
                                            {L"future", 3}, {L"never", 1}, {L"shown", 3}, {L"forged", 3},
                                            {L"withFailure", 1}}));
}

// Each status change sets the engine and, through the worker, tells the host the
// record as it now stands; jobs run in push order, so the marker's record last.
TEST_F(ManagerRecords, StatusChangesSetTheEngineAndTellTheHost) {
    adpop::EngineItem hidden = Item(L"hidden", 1);
    hidden.hideFlag = 1;
    for (const auto& i : {Item(L"k", 2), hidden, Item(L"stubborn", 2), Item(L"marker", 2)}) engine.AddItem(i);
    engine.SetHandleTypeResult(L"stubborn", 0);
    InitAndSettle();
    adwtest::LogCapture log;
    // "hidden": allowed, and hidden: the host hears nothing;
    // "stubborn": refused by the engine, reported as asked all the same.
    struct Case { const wchar_t* key; bool block; unsigned code; int typeAfter; } cases[] = {
        {L"k", true, 0u, 1}, {L"k", false, 0u, 3}, {L"hidden", false, 0u, 3},
        {L"nobody", true, 300u, -1}, {L"stubborn", true, 301u, 2}, {L"marker", true, 0u, 1}};
    for (const Case& c : cases) {
        EXPECT_EQ(client->SetBlockingStatus(c.key, c.block), c.code) << testing::PrintToString(std::wstring(c.key));
        EXPECT_EQ(engine.ItemHandleType(c.key), c.typeAfter);
    }
    ASSERT_TRUE(host.WaitFor(HostEvent::Record, 4));
    EXPECT_EQ(host.RecordsTold(), (Pairs{{L"k", 1}, {L"k", 3}, {L"stubborn", 1}, {L"marker", 1}}));
    EXPECT_EQ(host.CountOf(HostEvent::BlockedTimes), 0u); // only status 2 stores the counter
    // (The adapter's own lines for these: the vendor tests.)
    EXPECT_TRUE(log.Has(L"item is null(KelvaneCenter::AdWarden::SetBlockingStatus::Job)", adw::kLogError)) << log.Dump();
}

// A burst of engine notifications fills the work queue and drops its oldest
// engine jobs, never the host's: the listing asked for in the middle of it,
// and the status change, are still answered.
TEST_F(ManagerRecords, HostRequestsOutliveAFloodOfEngineNotifications) {
    engine.AddItem(Item(L"flood", kAdPopHandleBlocked));
    engine.AddItem(Item(L"chosen", kAdPopHandleUndecided));
    InitAndSettle();
    HoldWorkerInHost();
    for (int i = 0; i < 250; ++i) ASSERT_EQ(engine.FireAdHat(L"flood", nullptr), 1); // decided: no record, no hat
    ASSERT_EQ(client->GetBlockingRecords(), 0u);
    EXPECT_EQ(client->SetBlockingStatus(L"chosen", true), 0u);
    for (int i = 0; i < 250; ++i) ASSERT_EQ(engine.FireAdHat(L"flood", nullptr), 1);
    ReleaseWorker();
    EXPECT_TRUE(host.WaitFor(HostEvent::Records, 2));
    EXPECT_TRUE(host.WaitFor(HostEvent::Record, 1)); // the status change told
}

} // namespace
} // namespace hosttest
