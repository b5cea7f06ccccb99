#include <gtest/gtest.h>

#include "TestSupport.h"
#include "manager/LoadConfig.h"

using KelvaneCenter::LoadConfig;
using KelvaneCenter::SwitchConfig;

namespace {

const wchar_t kKey[] = L"SOFTWARE\\Norvane\\Hubrix\\Kelvane";
const std::wstring kKeyWithSlash = L"\\SOFTWARE\\Norvane\\Hubrix\\Kelvane";

class LoadConfigTest : public ::testing::Test {
protected:
    void SetUp() override { adwtest::DeleteHkcuTree(kKey); }
    void TearDown() override { adwtest::DeleteHkcuTree(kKey); }
    static void MakeKey() { ASSERT_TRUE(adwtest::CreateKey(HKEY_CURRENT_USER, kKey)); }
};

} // namespace

TEST_F(LoadConfigTest, AbsentKeyLeavesSwitchesUntouchedAndLogsNothing) {
    adwtest::LogCapture log;
    SwitchConfig config{5, 6, 7};
    EXPECT_FALSE(LoadConfig::GetSwitchConfig(config));
    EXPECT_EQ(config.FocusModeStatus, 5);
    EXPECT_EQ(config.PopUpBlockingStatus, 6);
    EXPECT_EQ(config.PowerfulModeStatus, 7);
    EXPECT_TRUE(log.Lines().empty()) << log.Dump();
}

TEST_F(LoadConfigTest, EmptyKeyGivesBlockingOnFocusAndPowerOff) {
    MakeKey();
    SwitchConfig config{5, 6, 7};
    EXPECT_TRUE(LoadConfig::GetSwitchConfig(config));
    EXPECT_EQ(config.FocusModeStatus, 0);
    EXPECT_EQ(config.PopUpBlockingStatus, 1);
    EXPECT_EQ(config.PowerfulModeStatus, 0);
}

TEST_F(LoadConfigTest, SwitchValuesArePassedOnUnchanged) {
    MakeKey();
    ASSERT_TRUE(adwtest::SetDword(HKEY_CURRENT_USER, kKey, L"FocusModeStatus", 2));
    ASSERT_TRUE(adwtest::SetDword(HKEY_CURRENT_USER, kKey, L"PopUpBlockingStatus", 0));
    ASSERT_TRUE(adwtest::SetDword(HKEY_CURRENT_USER, kKey, L"PowerfulModeStatus", 0xFFFFFFFFu));
    SwitchConfig config;
    EXPECT_TRUE(LoadConfig::GetSwitchConfig(config));
    EXPECT_EQ(config.FocusModeStatus, 2);
    EXPECT_EQ(config.PopUpBlockingStatus, 0);
    EXPECT_EQ(config.PowerfulModeStatus, -1);
}

TEST_F(LoadConfigTest, AValueOfTheWrongKindFallsBackToItsDefault) {
    MakeKey();
    ASSERT_TRUE(adwtest::SetString(HKEY_CURRENT_USER, kKey, L"PopUpBlockingStatus", L"0"));
    ASSERT_TRUE(adwtest::SetDword(HKEY_CURRENT_USER, kKey, L"FocusModeStatus", 1));
    SwitchConfig config;
    EXPECT_TRUE(LoadConfig::GetSwitchConfig(config));
    EXPECT_EQ(config.FocusModeStatus, 1);
    EXPECT_EQ(config.PopUpBlockingStatus, 1);
}

TEST_F(LoadConfigTest, CounterWithoutKeyLogsThePathAndNeverCreatesTheKey) {
    adwtest::LogCapture log;
    int value = 77;
    EXPECT_FALSE(LoadConfig::GetBlockTimesConfig(value));
    EXPECT_EQ(value, 77);
    EXPECT_FALSE(LoadConfig::SetBlockTimesConfig(5));
    EXPECT_EQ(log.Count(L"register key not exist. path = " + kKeyWithSlash +
                            L"(KelvaneCenter::LoadConfig::GetBlockTimesConfig)",
                        3),
              1)
        << log.Dump();
    EXPECT_EQ(log.Count(L"register key not exist. path = " + kKeyWithSlash +
                            L"(KelvaneCenter::LoadConfig::SetBlockTimesConfig)",
                        3),
              1)
        << log.Dump();
    EXPECT_EQ(log.Lines().size(), 2u);
    DWORD ignored = 0;
    EXPECT_FALSE(adwtest::GetDword(HKEY_CURRENT_USER, kKey, L"BlockedTimes", ignored));
}

TEST_F(LoadConfigTest, CounterAbsentThenWrittenThenReadBack) {
    MakeKey();
    adwtest::LogCapture log;
    int value = 0;
    EXPECT_FALSE(LoadConfig::GetBlockTimesConfig(value));
    EXPECT_TRUE(log.Has(L"Get BlockTimes registry value failed.(KelvaneCenter::LoadConfig::GetBlockTimesConfig)", 3))
        << log.Dump();

    EXPECT_TRUE(LoadConfig::SetBlockTimesConfig(1234));
    DWORD stored = 0;
    ASSERT_TRUE(adwtest::GetDword(HKEY_CURRENT_USER, kKey, L"BlockedTimes", stored));
    EXPECT_EQ(stored, 1234u);
    EXPECT_TRUE(LoadConfig::GetBlockTimesConfig(value));
    EXPECT_EQ(value, 1234);

    EXPECT_TRUE(LoadConfig::SetBlockTimesConfig(-3));
    EXPECT_TRUE(LoadConfig::GetBlockTimesConfig(value));
    EXPECT_EQ(value, -3);
    EXPECT_EQ(log.Lines().size(), 1u) << log.Dump();
}
