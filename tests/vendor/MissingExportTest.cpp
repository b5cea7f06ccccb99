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
    const Line missing = AdapterLine(4, L"popUpBlockingInterface is null, err = 202", "Init");
    EXPECT_EQ(vendor.Init(), 202u);
    EXPECT_EQ(Count(log, missing), 1) << log.Dump();
    const size_t logged = log.Lines().size();
    EXPECT_EQ(vendor.Init(), 0u);
    EXPECT_EQ(log.Lines().size(), logged) << log.Dump();
    vendor.UnInit();
    EXPECT_EQ(vendor.Init(), 202u);
    EXPECT_EQ(Count(log, missing), 2) << log.Dump();
    vendor.UnInit();
}

// The manager's Init fails (its line and its report: the lifecycle and engine-file
// tests); the module stays held, so a second Init goes ahead with no tracker behind it.
TEST(VendorMissingExport, TheManagersNextInitRunsWithoutTracker) {
    auto& manager = KelvaneCenter::AdWarden::Instance();
    adwtest::HostRecorder host;
    manager.RegisterCallback(&host);
    EXPECT_EQ(manager.Init(), 202);
    ASSERT_TRUE(adwtest::CreateKey(HKEY_CURRENT_USER, L"SOFTWARE\\Norvane\\Hubrix\\Kelvane"));
    EXPECT_EQ(manager.Init(), 0);
    EXPECT_EQ(g_pAdPopWndTracker, nullptr);
    EXPECT_EQ(manager.GetBlockingRecords(), 0u);
    EXPECT_TRUE(host.WaitFor(adwtest::HostEvent::Records, 1)); // an empty list, from the queue's worker
    EXPECT_EQ(manager.SetClearPeriod(5), 102);
    manager.UnInit();
    EXPECT_EQ(manager.GetBlockingRecords(), 206u);
    manager.UnRegisterCallback();
}

} // namespace
} // namespace vendortest
