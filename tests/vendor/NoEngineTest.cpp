// Runs from a folder with no vendor\360SafeOptSDK\AdPopBlocker64.dll beside it.

#include "VendorFixture.h"

namespace vendortest {
namespace {

TEST(VendorNoEngine, MissingEngineGives203EveryTimeAndNoTracker) {
    auto& vendor = KelvaneCenter::PopUpBlockingVendor::GetInstance();
    // Nothing is held after this failure, so each Init tries again.
    for (int attempt = 0; attempt < 2; ++attempt) {
        adwtest::LogCapture log;
        EXPECT_EQ(vendor.Init(), 203u);
        EXPECT_EQ(Count(log, AdapterLine(4, L"popUpBlockingModule is null, err = 203", "Init")), 1) << log.Dump();
        EXPECT_EQ(g_pAdPopWndTracker, nullptr);
    }
    vendor.UnInit();
}

} // namespace
} // namespace vendortest
