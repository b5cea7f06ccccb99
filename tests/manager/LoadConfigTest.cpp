#include <gtest/gtest.h>

#include <vector>

#include <windows.h>
#include <sddl.h>

#include "TestSupport.h"
#include "manager/LoadConfig.h"

using KelvaneCenter::LoadConfig;
using KelvaneCenter::SwitchConfig;

namespace {

const wchar_t kKey[] = L"SOFTWARE\\Norvane\\Hubrix\\Kelvane";

class LoadConfigTest : public ::testing::Test {
protected:
    void SetUp() override { adwtest::DeleteHkcuTree(kKey); }
    void TearDown() override { adwtest::DeleteHkcuTree(kKey); }
    static bool Dword(const wchar_t* name, DWORD value) { return adwtest::SetDword(HKEY_CURRENT_USER, kKey, name, value); }
};

// A missing key leaves the switches untouched; a missing or unreadable value
// takes its default (blocking on), any other value is passed on unchanged.
TEST_F(LoadConfigTest, SwitchesWithTheirDefaults) {
    SwitchConfig config{5, 6, 7};
    EXPECT_FALSE(LoadConfig::GetSwitchConfig(config));
    EXPECT_EQ((std::vector<int>{config.FocusModeStatus, config.PopUpBlockingStatus, config.PowerfulModeStatus}),
              (std::vector<int>{5, 6, 7}));
    ASSERT_TRUE(adwtest::CreateKey(HKEY_CURRENT_USER, kKey));
    ASSERT_TRUE(adwtest::SetString(HKEY_CURRENT_USER, kKey, L"PopUpBlockingStatus", L"0"));
    ASSERT_TRUE(Dword(L"PowerfulModeStatus", 0xFFFFFFFFu));
    EXPECT_TRUE(LoadConfig::GetSwitchConfig(config));
    EXPECT_EQ((std::vector<int>{config.FocusModeStatus, config.PopUpBlockingStatus, config.PowerfulModeStatus}),
              (std::vector<int>{0, 1, -1}));
}

TEST_F(LoadConfigTest, CounterIsNeverCreatedWithoutTheKeyAndReadsBackWhatWasWritten) {
    adwtest::LogCapture log;
    int value = 77;
    EXPECT_FALSE(LoadConfig::GetBlockTimesConfig(value));
    EXPECT_EQ(value, 77);
    EXPECT_FALSE(LoadConfig::SetBlockTimesConfig(5));
    const std::wstring missing = L"register key not exist. path = \\SOFTWARE\\Norvane\\Hubrix\\Kelvane";
    EXPECT_EQ(log.Count(missing + L"(KelvaneCenter::LoadConfig::GetBlockTimesConfig)", 3), 1) << log.Dump();
    EXPECT_EQ(log.Count(missing + L"(KelvaneCenter::LoadConfig::SetBlockTimesConfig)", 3), 1);
    DWORD stored = 0;
    EXPECT_FALSE(adwtest::GetDword(HKEY_CURRENT_USER, kKey, L"BlockedTimes", stored));

    ASSERT_TRUE(adwtest::CreateKey(HKEY_CURRENT_USER, kKey));
    EXPECT_FALSE(LoadConfig::GetBlockTimesConfig(value));
    EXPECT_EQ(log.Count(L"Get BlockTimes registry value failed.(KelvaneCenter::LoadConfig::GetBlockTimesConfig)", 3), 1);
    for (int written : {1234, -3}) {
        EXPECT_TRUE(LoadConfig::SetBlockTimesConfig(written));
        EXPECT_TRUE(LoadConfig::GetBlockTimesConfig(value));
        EXPECT_EQ(value, written);
    }
}

// A key whose access list an administrator narrowed to reading and writing
// values still serves every read and write: each asks for no more than it uses.
TEST_F(LoadConfigTest, AKeyOpenOnlyToItsValuesServesTheSwitchesAndTheCounter) {
    ASSERT_TRUE(adwtest::CreateKey(HKEY_CURRENT_USER, kKey) && Dword(L"PopUpBlockingStatus", 0));
    PSECURITY_DESCRIPTOR narrowed = nullptr; // KEY_READ | KEY_SET_VALUE | DELETE (for the tear-down)
    ASSERT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorW(L"D:P(A;;0x3001B;;;WD)", SDDL_REVISION_1, &narrowed, nullptr));
    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, kKey, 0, WRITE_DAC, &key), ERROR_SUCCESS);
    EXPECT_EQ(RegSetKeySecurity(key, DACL_SECURITY_INFORMATION, narrowed), ERROR_SUCCESS);
    RegCloseKey(key), LocalFree(narrowed);
    ASSERT_NE(RegOpenKeyExW(HKEY_CURRENT_USER, kKey, 0, KEY_ALL_ACCESS, &key), ERROR_SUCCESS); // narrowed indeed
    SwitchConfig config;
    int value = 0;
    EXPECT_TRUE(LoadConfig::GetSwitchConfig(config) && LoadConfig::SetBlockTimesConfig(value + 10));
    EXPECT_TRUE(LoadConfig::GetBlockTimesConfig(value));
    EXPECT_EQ(std::make_pair(config.PopUpBlockingStatus, value), std::make_pair(0, 10));
}

} // namespace
