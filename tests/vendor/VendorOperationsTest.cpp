#include <cstdint>
#include <string>

#include "VendorFixture.h"

namespace vendortest {
namespace {

adpop::EngineItem Item(const wchar_t* key, unsigned blockCount = 0, int handleType = kAdPopHandleUndecided) {
    adpop::EngineItem item;
    item.key = key;
    item.blockCount = blockCount;
    item.handleType = handleType;
    return item;
}

class VendorOperations : public VendorTest {
protected:
    void SetUp() override {
        VendorTest::SetUp();
        LoadEngine();
    }
};

TEST_F(VendorOperations, SetTrackerStatePassesEachModeThrough) {
    adwtest::LogCapture log;
    for (int state : {1, 2, 0}) {
        EXPECT_EQ(vendor.SetTrackerState(state), 0u);
        EXPECT_EQ(engine.TrackerState(), state);
    }
    EXPECT_TRUE(log.Lines().empty()) << log.Dump();
}

TEST_F(VendorOperations, SetClearPeriodPassesThePeriodAndMapsTheAnswer) {
    EXPECT_EQ(vendor.SetClearPeriod(30), 0u);
    EXPECT_EQ(engine.ClearPeriod(), 30u);

    engine.SetClearPeriodResult(7); // any non-zero answer accepts
    EXPECT_EQ(vendor.SetClearPeriod(45), 0u);

    engine.SetClearPeriodResult(0);
    EXPECT_EQ(vendor.SetClearPeriod(60), 304u);
    EXPECT_EQ(engine.ClearPeriod(), 60u);
}

TEST_F(VendorOperations, IsSuppotBlockMapsTheAnswerAndLogsIt) {
    const HWND window = reinterpret_cast<HWND>(static_cast<uintptr_t>(0x2F00)); // passed through, never used
    struct Case {
        int answer;
        unsigned expected;
    };
    for (Case c : {Case{1, 0u}, Case{0, 405u}, Case{2, 405u}}) {
        SCOPED_TRACE(c.answer);
        engine.SetIsSuppotBlockResult(c.answer);
        adwtest::LogCapture log;
        EXPECT_EQ(vendor.IsSuppotBlock(window), c.expected);
        EXPECT_EQ(Lines(log), std::vector<Line>{AdapterLine(3, L"IsSuppotBlock returns " + std::to_wstring(c.answer),
                                                            "IsSuppotBlock")});
    }
}

TEST_F(VendorOperations, SetHandleTypeBlocksOrAllowsTheItemWithThatKey) {
    engine.AddItem(Item(L"first"));
    engine.AddItem(Item(L"second"));

    EXPECT_EQ(vendor.SetHandleType(L"second", true), 0u);
    EXPECT_EQ(engine.ItemHandleType(L"second"), kAdPopHandleBlocked);
    EXPECT_EQ(engine.ItemHandleType(L"first"), kAdPopHandleUndecided);

    EXPECT_EQ(vendor.SetHandleType(L"second", false), 0u);
    EXPECT_EQ(engine.ItemHandleType(L"second"), kAdPopHandleAllowed);
}

TEST_F(VendorOperations, SetHandleTypeForAnUnknownKeyGives300AndChangesNothing) {
    engine.AddItem(Item(L"known"));
    adwtest::LogCapture log;
    EXPECT_EQ(vendor.SetHandleType(L"unknown", true), 300u);
    const std::vector<Line> expected = {
        AdapterLine(4, L"get adat pop up window fail. errCode = 0", "GetPopByKey"),
        AdapterLine(4, L"item is null, err = 300", "SetHandleType"),
    };
    EXPECT_EQ(Lines(log), expected);
    EXPECT_EQ(engine.ItemHandleType(L"known"), kAdPopHandleUndecided);
}

TEST_F(VendorOperations, SetHandleTypeRefusedByTheItemGives301) {
    engine.AddItem(Item(L"stubborn"));
    engine.AddItem(Item(L"willing"));
    ASSERT_TRUE(engine.SetHandleTypeResult(L"stubborn", 0));

    adwtest::LogCapture log;
    EXPECT_EQ(vendor.SetHandleType(L"stubborn", true), 301u);
    EXPECT_EQ(Lines(log), std::vector<Line>{AdapterLine(4, L"set pop type fail. popupId = stubborn", "SetHandleType")});
    EXPECT_EQ(engine.ItemHandleType(L"stubborn"), kAdPopHandleUndecided);
    EXPECT_EQ(vendor.SetHandleType(L"willing", true), 0u);

    engine.SetHandleTypeResult(nullptr, 2); // every other item refuses too; only 1 means accepted
    EXPECT_EQ(vendor.SetHandleType(L"willing", false), 301u);
    EXPECT_EQ(engine.ItemHandleType(L"willing"), kAdPopHandleBlocked);
}

TEST_F(VendorOperations, GetPopByKeyHandsOutTheEngineItemWithItsData) {
    adpop::EngineItem scripted = Item(L"ad-7", 4, kAdPopHandleAllowed);
    scripted.textA = L"Text A";
    scripted.textB = L"Text B";
    scripted.exePath = L"C:\\Apps\\ads.exe";
    scripted.softwareName = L"Ads";
    scripted.popupType = 5;
    scripted.hideFlag = 1;
    scripted.lastBlockTime.wYear = 2024;
    scripted.lastBlockTime.wMonth = 3;
    scripted.lastBlockTime.wDay = 9;
    engine.AddItem(Item(L"other"));
    engine.AddItem(scripted);

    PopWndItem* item = nullptr;
    vendor.GetPopByKey(L"ad-7", item);
    ASSERT_NE(item, nullptr);
    EXPECT_STREQ(item->GetKey(), L"ad-7");
    EXPECT_STREQ(item->GetTextA(), L"Text A");
    EXPECT_STREQ(item->GetTextB(), L"Text B");
    EXPECT_STREQ(item->GetExePath(), L"C:\\Apps\\ads.exe");
    EXPECT_STREQ(item->GetSoftwareName(), L"Ads");
    EXPECT_EQ(item->GetPopupType(), 5);
    EXPECT_EQ(item->GetHideFlag(), 1);
    EXPECT_EQ(item->GetBlockCount(), 4u);
    EXPECT_EQ(item->GetHandleType(), kAdPopHandleAllowed);
    EXPECT_EQ(item->GetLastBlockTime().wYear, 2024);
    EXPECT_EQ(item->GetLastBlockTime().wDay, 9);

    adwtest::LogCapture log;
    vendor.GetPopByKey(L"gone", item);
    EXPECT_EQ(item, nullptr);
    EXPECT_EQ(Lines(log),
              std::vector<Line>{AdapterLine(4, L"get adat pop up window fail. errCode = 0", "GetPopByKey")});
}

TEST_F(VendorOperations, GetBlockCountSumsTheItemsThatCanBeFetched) {
    EXPECT_EQ(vendor.GetBlockCount(), 0u);

    engine.AddItem(Item(L"a", 3));
    engine.AddItem(Item(L"b", 4));
    engine.AddItem(Item(L"c", 5));
    EXPECT_EQ(vendor.GetBlockCount(), 12u);

    // An item handed out with a failure code still counts; a missing one adds nothing.
    engine.FailItemAt(1, 0, false);
    EXPECT_EQ(vendor.GetBlockCount(), 12u);
    engine.FailItemAt(1, 0, true);
    EXPECT_EQ(vendor.GetBlockCount(), 8u);
    engine.FailItemAt(2, 1, true); // "success" without an item
    EXPECT_EQ(vendor.GetBlockCount(), 3u);
}

TEST_F(VendorOperations, ListingStepsFetchEachItemAndLogTheFailures) {
    engine.AddItem(Item(L"a"));
    engine.AddItem(Item(L"b"));
    engine.AddItem(Item(L"c"));
    engine.FailItemAt(1, 0, true);
    engine.FailItemAt(2, 0, false);

    adwtest::LogCapture log;
    ASSERT_EQ(vendor.EnumAllPopWnd(), 3u);
    PopWndItem* item = nullptr;
    vendor.GetPopWndItem(0, item);
    ASSERT_NE(item, nullptr);
    EXPECT_STREQ(item->GetKey(), L"a");
    vendor.GetPopWndItem(1, item);
    EXPECT_EQ(item, nullptr);
    vendor.GetPopWndItem(2, item);
    ASSERT_NE(item, nullptr) << "an item returned with a failure code is kept";
    EXPECT_STREQ(item->GetKey(), L"c");
    vendor.GetPopWndItem(3, item);
    EXPECT_EQ(item, nullptr);

    const std::vector<Line> expected = {
        AdapterLine(3, L"get item fail. index = 1", "GetPopWndItem"),
        AdapterLine(3, L"get item fail. index = 2", "GetPopWndItem"),
        AdapterLine(3, L"get item fail. index = 3", "GetPopWndItem"),
    };
    EXPECT_EQ(Lines(log), expected);
}

TEST_F(VendorOperations, RemovedItemsLeaveTheListingButStayValid) {
    engine.AddItem(Item(L"a", 1));
    engine.AddItem(Item(L"b", 2));
    PopWndItem* held = nullptr;
    vendor.GetPopByKey(L"a", held);
    ASSERT_NE(held, nullptr);

    ASSERT_TRUE(engine.RemoveItem(L"a"));
    EXPECT_EQ(vendor.EnumAllPopWnd(), 1u);
    EXPECT_EQ(vendor.GetBlockCount(), 2u);
    EXPECT_STREQ(held->GetKey(), L"a");
}

} // namespace
} // namespace vendortest
