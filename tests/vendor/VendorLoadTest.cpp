#include "VendorFixture.h"

namespace vendortest {
namespace {

// With no tracker, every operation says so: 102 or an empty result, and its own line.
void ExpectEveryOperationReportsNoTracker() {
    auto& vendor = KelvaneCenter::PopUpBlockingVendor::GetInstance();
    adwtest::LogCapture log;
    PopWndItem* item = Unwritten();
    vendor.GetPopWndItem(0, item);
    EXPECT_EQ(item, nullptr);
    const unsigned results[] = {vendor.SetTrackerState(1), vendor.IsSuppotBlock(nullptr), vendor.SetClearPeriod(30),
                                vendor.GetBlockCount(),    vendor.EnumAllPopWnd(),        vendor.SetHandleType(L"k", true)};
    EXPECT_EQ(std::vector<unsigned>(std::begin(results), std::end(results)),
              (std::vector<unsigned>{102u, 102u, 102u, 0u, 0u, 300u}));
    const std::wstring noTracker = L"g_pAdPopWndTracker is null, err = 102";
    const std::wstring noVendor = L"vendor instance is nullptr";
    for (const Line& line : {AdapterLine(4, noVendor, "GetPopWndItem"), AdapterLine(4, noTracker, "SetTrackerState"),
                             AdapterLine(4, noTracker, "IsSuppotBlock"), AdapterLine(4, noTracker, "SetClearPeriod"),
                             AdapterLine(4, noVendor, "GetBlockCount"), AdapterLine(4, noVendor, "EnumAllPopWnd"),
                             AdapterLine(4, noVendor, "GetPopByKey"),
                             AdapterLine(4, L"item is null, err = 300", "SetHandleType")}) {
        EXPECT_EQ(Count(log, line), 1) << testing::PrintToString(line.second) << log.Dump();
    }
}

class VendorLoad : public VendorTest {};

TEST_F(VendorLoad, InitLoadsOnceAndConnectsNotificationsUnInitUndoesIt) {
    adwtest::LogCapture log;
    EXPECT_EQ(vendor.Init(), 0u);
    IAdPopWndTracker* first = g_pAdPopWndTracker;
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(engine.FireAdHat(L"k", nullptr), 1) << "Init registered no callbacks with the engine";
    const size_t logged = log.Lines().size();
    EXPECT_EQ(vendor.Init(), 0u); // already loaded: nothing is done again, nothing is logged
    EXPECT_EQ(log.Lines().size(), logged) << log.Dump();
    EXPECT_EQ(g_pAdPopWndTracker, first);
    vendor.UnInit();
    EXPECT_EQ(g_pAdPopWndTracker, nullptr);
    EXPECT_EQ(engine.FireAdHat(L"k", nullptr), 0) << "the engine still holds callbacks after UnInit";
    vendor.UnInit(); // nothing left to end, the line all the same
    EXPECT_EQ(Count(log, AdapterLine(3, L"Init true.", "Init")), 1) << log.Dump();
    EXPECT_EQ(Count(log, AdapterLine(3, L"Enter uninit.", "UnInit")), 2);
    EXPECT_EQ(std::vector<int>({engine.InitCalls(), engine.UnInitCalls(), engine.ReleaseCalls()}),
              std::vector<int>({1, 1, 1}));
    LoadEngine(); // a new period loads the engine again
    EXPECT_EQ(engine.InitCalls(), 2);
}

// The module is held after the failure: a second Init claims success, does
// nothing and logs nothing, and every operation finds no tracker; UnInit lets go.
TEST_F(VendorLoad, NullTrackerGives202AndIsNotRetriedUntilUnInit) {
    engine.SetGetInterfaceReturnsNull(true);
    {
        adwtest::LogCapture log;
        EXPECT_EQ(vendor.Init(), 202u);
        EXPECT_EQ(Count(log, AdapterLine(4, L"g_pAdPopWndTracker is null, err = 202", "Init")), 1) << log.Dump();
        const size_t logged = log.Lines().size();
        engine.SetGetInterfaceReturnsNull(false);
        EXPECT_EQ(vendor.Init(), 0u);
        EXPECT_EQ(log.Lines().size(), logged) << log.Dump();
    }
    EXPECT_EQ(g_pAdPopWndTracker, nullptr);
    EXPECT_EQ(engine.InitCalls(), 0);
    ExpectEveryOperationReportsNoTracker();
    vendor.UnInit();
    LoadEngine();
}

TEST_F(VendorLoad, RefusedInitGives204AndKeepsTheTrackerUntilUnInit) {
    for (int refusal : {0, 2}) {
        SCOPED_TRACE(refusal);
        engine.Reset();
        engine.SetInitResult(refusal);
        {
            adwtest::LogCapture log;
            EXPECT_EQ(vendor.Init(), 204u);
            EXPECT_EQ(Count(log, AdapterLine(4, L"Init fail.", "Init")), 1) << log.Dump();
        }
        ASSERT_NE(g_pAdPopWndTracker, nullptr);
        EXPECT_EQ(engine.FireAdHat(L"k", nullptr), 0) << "a refused Init must leave no callbacks";

        // Held, so not retried; the held tracker still takes operations.
        engine.SetInitResult(1);
        EXPECT_EQ(vendor.Init(), 0u);
        EXPECT_EQ(engine.InitCalls(), 1);
        EXPECT_EQ(vendor.SetTrackerState(2), 0u);
        EXPECT_EQ(engine.TrackerState(), 2);

        vendor.UnInit();
        EXPECT_EQ(g_pAdPopWndTracker, nullptr);
        EXPECT_EQ(engine.UnInitCalls(), 1);
        EXPECT_EQ(engine.ReleaseCalls(), 1);
    }
}

} // namespace
} // namespace vendortest
