#include <gtest/gtest.h>

#include <vector>

#include "PopUpBlockingClientFactory.h"
#include "TestSupport.h"

using KelvaneCenter::PopUpBlockingClientFactory;
using KelvaneMsgCenter::BlockingRecordModel;
using KelvaneMsgCenter::IPopUpBlockingCallback;

namespace {

class RecordingCallback : public IPopUpBlockingCallback {
public:
    void OnBlockingRecords(const std::vector<BlockingRecordModel>&) override { ++recordLists; }
    void OnBlockingRecord(const BlockingRecordModel&) override { ++records; }
    void OnBlockedTimes(int n) override { blockedTimes.push_back(n); }
    void OnError(int code) override { errors.push_back(code); }
    void OnStateChanged(int) override {}

    int recordLists = 0;
    int records = 0;
    std::vector<int> blockedTimes;
    std::vector<int> errors;
};

} // namespace

TEST(ManagerEntry, BothAccessorsAreViewsOfOneObject) {
    auto* client = PopUpBlockingClientFactory::GetClientInstance();
    auto* settings = PopUpBlockingClientFactory::GetSettingCenterClientInstance();
    ASSERT_NE(client, nullptr);
    ASSERT_NE(settings, nullptr);
    EXPECT_EQ(client, PopUpBlockingClientFactory::GetClientInstance());
    // Two different base subobjects of one manager: the addresses differ, the object does not.
    EXPECT_NE(static_cast<void*>(client), static_cast<void*>(settings));
    EXPECT_EQ(dynamic_cast<void*>(reinterpret_cast<KelvaneMsgCenter::IPopUpBlockingClient*>(client)),
              dynamic_cast<void*>(client));
}

TEST(ManagerEntry, GetBlockedTimesReportsOnlyToARegisteredCallback) {
    auto* client = PopUpBlockingClientFactory::GetClientInstance();
    RecordingCallback first;
    RecordingCallback second;

    client->UnRegisterCallback();
    EXPECT_EQ(client->GetBlockedTimes(), 0);

    client->RegisterCallback(&first);
    EXPECT_EQ(client->GetBlockedTimes(), 0);
    ASSERT_EQ(first.blockedTimes.size(), 1u);
    EXPECT_EQ(first.blockedTimes[0], 0); // nothing loaded yet

    client->RegisterCallback(&second); // replaces the first, which hears nothing more
    EXPECT_EQ(client->GetBlockedTimes(), 0);
    EXPECT_EQ(first.blockedTimes.size(), 1u);
    EXPECT_EQ(second.blockedTimes.size(), 1u);

    client->UnRegisterCallback();
    EXPECT_EQ(client->GetBlockedTimes(), 0);
    EXPECT_EQ(second.blockedTimes.size(), 1u);
}
