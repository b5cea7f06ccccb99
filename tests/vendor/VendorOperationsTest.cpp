#include "VendorFixture.h"

namespace vendortest {
namespace {

adpop::EngineItem Item(const wchar_t* key, unsigned blockCount = 0) {
    adpop::EngineItem item;
    item.key = key;
    item.blockCount = blockCount;
    return item;
}

class VendorOperations : public VendorTest {
protected:
    void SetUp() override {
        VendorTest::SetUp();
        LoadEngine();
    }
};

TEST_F(VendorOperations, SetClearPeriodPassesThePeriodAndMapsTheAnswer) {
    for (int answer : {1, 7, 0}) { // any non-zero answer accepts
        engine.SetClearPeriodResult(answer);
        EXPECT_EQ(vendor.SetClearPeriod(30u + answer), answer != 0 ? 0u : 304u);
        EXPECT_EQ(engine.ClearPeriod(), 30u + answer);
    }
}

// An item handed out with a failure code is kept (listed and counted); a
// missing one is skipped, and each failure is logged by the listing step.
TEST_F(VendorOperations, ListingAndBlockCountKeepItemsReturnedWithAFailure) {
    EXPECT_EQ(vendor.GetBlockCount(), 0u);
    engine.AddItem(Item(L"a", 3));
    engine.AddItem(Item(L"b", 4));
    engine.AddItem(Item(L"c", 5));
    engine.FailItemAt(1, 0, true);
    engine.FailItemAt(2, 0, false);
    EXPECT_EQ(vendor.GetBlockCount(), 8u);

    adwtest::LogCapture log;
    ASSERT_EQ(vendor.EnumAllPopWnd(), 3u);
    std::vector<std::wstring> keys;
    for (unsigned index = 0; index < 4; ++index) {
        PopWndItem* item = Unwritten();
        vendor.GetPopWndItem(index, item);
        keys.push_back(item != nullptr ? item->GetKey() : L"<null>");
    }
    EXPECT_EQ(keys, (std::vector<std::wstring>{L"a", L"<null>", L"c", L"<null>"}));
    for (unsigned index = 0; index < 4; ++index) {
        EXPECT_EQ(Count(log, AdapterLine(3, L"get item fail. index = " + std::to_wstring(index), "GetPopWndItem")),
                  index == 0 ? 0 : 1) << log.Dump();
    }
}

// An engine key is text another program chose: a line break in it cannot
// start a log line of its own.
TEST_F(VendorOperations, ControlCharactersOfAnEngineKeyAreEscapedInTheLog) {
    const wchar_t key[] = L"k\r\n2026-01-01 00:00:00.000 [1] INFO forged\u2028\x1b";
    engine.AddItem(Item(key));
    ASSERT_TRUE(engine.SetHandleTypeResult(key, 0));
    adwtest::LogCapture log;
    EXPECT_EQ(vendor.SetHandleType(key, true), 301u);
    EXPECT_EQ(Lines(log), std::vector<Line>{AdapterLine(
                              4, L"set pop type fail. popupId = k\\r\\n2026-01-01 00:00:00.000 [1] INFO forged\\u2028\\u001B",
                              "SetHandleType")});
}

} // namespace
} // namespace vendortest
