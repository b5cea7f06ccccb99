#include <gtest/gtest.h>

#include <functional>

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

TEST_F(LoadConfigTest, SwitchesWithTheirDefaults) {
    struct Case {
        const char* name;
        std::function<bool()> prepare; // false: no key at all
        bool found;
        int focus, blocking, power;
    } cases[] = {
        {"no key: untouched", [] { return false; }, false, 5, 6, 7},
        {"empty key", [] { return true; }, true, 0, 1, 0},
        {"values passed on", [] { return Dword(L"FocusModeStatus", 2) && Dword(L"PopUpBlockingStatus", 0) &&
                                        Dword(L"PowerfulModeStatus", 0xFFFFFFFFu); }, true, 2, 0, -1},
        {"wrong kind: default", [] { return adwtest::SetString(HKEY_CURRENT_USER, kKey, L"PopUpBlockingStatus", L"0") &&
                                            Dword(L"FocusModeStatus", 1); }, true, 1, 1, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        adwtest::DeleteHkcuTree(kKey);
        if (c.found) {
            ASSERT_TRUE(adwtest::CreateKey(HKEY_CURRENT_USER, kKey));
            ASSERT_TRUE(c.prepare());
        }
        adwtest::LogCapture log;
        SwitchConfig config{5, 6, 7};
        EXPECT_EQ(LoadConfig::GetSwitchConfig(config), c.found);
        EXPECT_EQ(config.FocusModeStatus, c.focus);
        EXPECT_EQ(config.PopUpBlockingStatus, c.blocking);
        EXPECT_EQ(config.PowerfulModeStatus, c.power);
        EXPECT_TRUE(log.Lines().empty()) << log.Dump();
    }
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
    EXPECT_EQ(log.Lines().size(), 3u) << log.Dump();
}

} // namespace
