#include <cstdint>
#include <string>
#include <vector>

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
    engine.FailItemAt(2, 0, false); // an item returned with a failure code is kept

    adwtest::LogCapture log;
    ASSERT_EQ(vendor.EnumAllPopWnd(), 3u);
    const wchar_t* const expectedKeys[] = {L"a", nullptr, L"c", nullptr};
    for (unsigned index = 0; index < 4; ++index) {
        PopWndItem* item = nullptr;
        vendor.GetPopWndItem(index, item);
        EXPECT_EQ(item != nullptr ? std::wstring(item->GetKey()) : L"<null>",
                  expectedKeys[index] != nullptr ? expectedKeys[index] : L"<null>")
            << index;
    }
    const std::vector<Line> expected = {
        AdapterLine(3, L"get item fail. index = 1", "GetPopWndItem"),
        AdapterLine(3, L"get item fail. index = 2", "GetPopWndItem"),
        AdapterLine(3, L"get item fail. index = 3", "GetPopWndItem"),
    };
    EXPECT_EQ(Lines(log), expected);
}

} // namespace
} // namespace vendortest
