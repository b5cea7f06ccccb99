#include "HostFixture.h"

namespace hosttest {
namespace {

TEST(ManagerEntry, BothAccessorsAreViewsOfOneObject) {
    auto* client = KelvaneCenter::PopUpBlockingClientFactory::GetClientInstance();
    auto* settings = KelvaneCenter::PopUpBlockingClientFactory::GetSettingCenterClientInstance();
    ASSERT_NE(client, nullptr);
    ASSERT_NE(settings, nullptr);
    EXPECT_EQ(client, KelvaneCenter::PopUpBlockingClientFactory::GetClientInstance());
    // Two base subobjects at different addresses, one most-derived object.
    EXPECT_NE(static_cast<void*>(client), static_cast<void*>(settings));
    EXPECT_EQ(dynamic_cast<void*>(client), dynamic_cast<void*>(settings));
}

TEST(ManagerEntry, GetBlockedTimesReportsOnlyToTheRegisteredCallback) {
    auto* client = KelvaneCenter::PopUpBlockingClientFactory::GetClientInstance();
    adwtest::HostRecorder first;
    adwtest::HostRecorder second;
    EXPECT_EQ(client->GetBlockedTimes(), 0); // none registered
    client->RegisterCallback(&first);
    EXPECT_EQ(client->GetBlockedTimes(), 0);
    client->RegisterCallback(&second); // replaces the first, which hears nothing more
    EXPECT_EQ(client->GetBlockedTimes(), 0);
    client->UnRegisterCallback();
    EXPECT_EQ(client->GetBlockedTimes(), 0);
    EXPECT_EQ(first.Values(HostEvent::BlockedTimes), std::vector<int>{0}); // nothing loaded yet
    EXPECT_EQ(second.Values(HostEvent::BlockedTimes), std::vector<int>{0});
}

} // namespace
} // namespace hosttest
