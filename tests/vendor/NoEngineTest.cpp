// Runs from a folder with no vendor\360SafeOptSDK\AdPopBlocker64.dll beside it.

#include "HostRecorder.h"
#include "VendorFixture.h"
#include "manager/AdWarden.h"

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

// The manager passes the code on, to the host too, and starts no queue.
TEST(VendorNoEngine, ManagerInitAnswersAndReports203) {
    auto& manager = KelvaneCenter::AdWarden::Instance();
    adwtest::HostRecorder host;
    manager.RegisterCallback(&host);
    EXPECT_EQ(manager.Init(), 203);
    EXPECT_EQ(manager.GetBlockingRecords(), 206u);
    EXPECT_EQ(host.Values(adwtest::HostEvent::Error), (std::vector<int>{203, 206}));
    manager.UnInit();
    manager.UnRegisterCallback();
}

} // namespace
} // namespace vendortest
