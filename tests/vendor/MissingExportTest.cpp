// Runs beside an engine built without its GetInterface export.

#include "VendorTestSupport.h"

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
    ExpectEveryOperationReportsNoTracker();

    vendor.UnInit();
    adwtest::LogCapture log;
    EXPECT_EQ(vendor.Init(), 202u);
    EXPECT_EQ(log.Count(L"popUpBlockingInterface is null, err = 202(KelvaneCenter::PopUpBlockingVendor::Init)", 4), 1);
    vendor.UnInit();
}

} // namespace
} // namespace vendortest
