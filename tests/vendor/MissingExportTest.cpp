// Runs beside an engine built without its GetInterface export.

#include "ManagerLoadFailureTest.h"
#include "VendorFixture.h"

namespace vendortest {
namespace {

TEST(VendorMissingExport, MissingExportGives202AndIsNotRetriedUntilUnInit) {
    auto& vendor = KelvaneCenter::PopUpBlockingVendor::GetInstance();
    {
        adwtest::LogCapture log;
        EXPECT_EQ(vendor.Init(), 202u);
        EXPECT_EQ(Lines(log),
                  std::vector<Line>{AdapterLine(4, L"popUpBlockingInterface is null, err = 202", "Init")});
    }
    {
        adwtest::LogCapture log;
        EXPECT_EQ(vendor.Init(), 0u) << "the loaded module counts as loaded";
        EXPECT_TRUE(log.Lines().empty()) << log.Dump();
    }

    vendor.UnInit();
    adwtest::LogCapture log;
    EXPECT_EQ(vendor.Init(), 202u);
    EXPECT_EQ(log.Count(L"popUpBlockingInterface is null, err = 202(KelvaneCenter::PopUpBlockingVendor::Init)", 4), 1);
    vendor.UnInit();
}

TEST(VendorMissingExport, ManagerReturnsAndReports202ThenRunsWithoutTracker) {
    auto& manager = KelvaneCenter::AdWarden::Instance();
    ExpectManagerInitFails(202);
    // The module stays held: a second Init goes ahead, with no tracker behind it.
    ASSERT_TRUE(adwtest::CreateKey(HKEY_CURRENT_USER, L"SOFTWARE\\Norvane\\Hubrix\\Kelvane"));
    EXPECT_EQ(manager.Init(), 0);
    EXPECT_EQ(g_pAdPopWndTracker, nullptr);
    EXPECT_NE(manager.Queue(), nullptr);
    EXPECT_EQ(manager.SetClearPeriod(5), 102);
    manager.UnInit();
    EXPECT_EQ(manager.Queue(), nullptr);
}

} // namespace
} // namespace vendortest
