// Runs beside an engine built without its GetInterface export.

#include "HostRecorder.h"
#include "VendorFixture.h"
#include "manager/AdWarden.h"

namespace vendortest {
namespace {

// The module is held after the failure: not retried (and nothing logged) until UnInit.
TEST(VendorMissingExport, MissingExportGives202AndIsNotRetriedUntilUnInit) {
    auto& vendor = KelvaneCenter::PopUpBlockingVendor::GetInstance();
    adwtest::LogCapture log;
    EXPECT_EQ(vendor.Init(), 202u);
    EXPECT_EQ(vendor.Init(), 0u);
    vendor.UnInit();
    EXPECT_EQ(vendor.Init(), 202u);
    const Line missing = AdapterLine(4, L"popUpBlockingInterface is null, err = 202", "Init");
    EXPECT_EQ(Lines(log), (std::vector<Line>{missing, AdapterLine(3, L"Enter uninit.", "UnInit"), missing}));
    vendor.UnInit();
}

// The manager returns, logs and reports the code and starts nothing; the module
// stays held, so a second Init goes ahead with no tracker behind it.
TEST(VendorMissingExport, ManagerReturnsAndReports202ThenRunsWithoutTracker) {
    auto& manager = KelvaneCenter::AdWarden::Instance();
    adwtest::HostRecorder host;
    manager.RegisterCallback(&host);
    adwtest::LogCapture log;
    EXPECT_EQ(manager.Init(), 202);
    EXPECT_EQ(log.Count(L"failed, err =  202(KelvaneCenter::AdWarden::Init)", 4), 1) << log.Dump();
    EXPECT_EQ(host.Values(adwtest::HostEvent::Error), std::vector<int>{202});
    EXPECT_EQ(host.Events().size(), 1u);
    EXPECT_EQ(manager.Queue(), nullptr);
    ASSERT_TRUE(adwtest::CreateKey(HKEY_CURRENT_USER, L"SOFTWARE\\Norvane\\Hubrix\\Kelvane"));
    EXPECT_EQ(manager.Init(), 0);
    EXPECT_EQ(g_pAdPopWndTracker, nullptr);
    EXPECT_NE(manager.Queue(), nullptr);
    EXPECT_EQ(manager.SetClearPeriod(5), 102);
    manager.UnInit();
    manager.UnRegisterCallback();
    EXPECT_EQ(manager.Queue(), nullptr);
}

} // namespace
} // namespace vendortest
