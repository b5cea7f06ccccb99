#include <gtest/gtest.h>

#include "TestSupport.h"
#include "manager/LoadConfig.h"

using KelvaneCenter::LoadConfig;
using KelvaneCenter::SwitchConfig;

TEST(LoadConfigSmoke, KeyAbsent) {
    adwtest::DeleteHkcuTree(L"SOFTWARE\\Norvane\\Hubrix\\Kelvane");
    SwitchConfig config{5, 6, 7};
    EXPECT_FALSE(LoadConfig::GetSwitchConfig(config));
    EXPECT_EQ(config.FocusModeStatus, 5);
}
