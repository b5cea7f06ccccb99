#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <filesystem>
#include <regex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "TestSupport.h"
#include "common/UniqueResource.h"
#include "qeevent/QeEventCapture.h"
#include "telemetry/DataReporter.h"
#include "vendor/ProcessIdentity.h"

using KelvaneCenter::DataReporter;

namespace {

const wchar_t* const kCounterNames[] = {L"DataReporterOverCapCount", L"DataReporterAutoBlockCount",
                                        L"DataReporterSuspectedWindowCount", L"DataReporterScreenShotWindowCount",
                                        L"DataReporterFocusModeGUID"};

// "key=value" per pair, ints marked with '#', for whole-event comparisons.
std::vector<std::string> Pairs(const QeCapturedEvent& event) {
    std::vector<std::string> pairs;
    for (const auto& pair : event.pairs) {
        pairs.push_back(pair.key + (pair.isInt ? "#" : "=") + pair.value);
    }
    return pairs;
}

std::string ValueOf(const QeCapturedEvent& event, const std::string& key) {
    auto found = std::find_if(event.pairs.begin(), event.pairs.end(), [&](const auto& pair) { return pair.key == key; });
    return found != event.pairs.end() ? found->value : "<absent>";
}

bool LooksLikeGuid(const std::string& text) {
    return std::regex_match(text, std::regex("\\{[0-9A-F]{8}(-[0-9A-F]{4}){3}-[0-9A-F]{12}\\}"));
}

class DataReporterTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::wstring sid = KelvaneCenter::GetActiveUserSid();
        ASSERT_FALSE(sid.empty());
        keyPath_ = sid + L"\\SOFTWARE\\Norvane\\Hubrix\\Kelvane";
        ASSERT_TRUE(adwtest::CreateKey(HKEY_USERS, keyPath_));
        for (const wchar_t* name : kCounterNames) {
            RegDeleteKeyValueW(HKEY_USERS, keyPath_.c_str(), name);
        }
        QeEventCapture::Begin();
    }
    void TearDown() override { QeEventCapture::End(); }

    std::wstring Stored(const wchar_t* name) const {
        std::wstring value;
        return adwtest::GetString(HKEY_USERS, keyPath_, name, value) ? value : L"<absent>";
    }
    void Store(const wchar_t* name, const std::wstring& value) const {
        ASSERT_TRUE(adwtest::SetString(HKEY_USERS, keyPath_, name, value));
    }
    static std::vector<QeCapturedEvent> Events() { return QeEventCapture::Events(); }

    std::wstring keyPath_;
    adwtest::LogCapture log_;
};

const std::wstring kOverCapReadFailed =
    L"get reg value count failed, value = DataReporterOverCapCounterror = 2(GetCountFromReg)";

} // namespace

TEST_F(DataReporterTest, FirstCountedReportSendsOneStoresItAndLogsTheMissingValue) {
    DataReporter::ReportOverCap(DataReporter::kMannerClickBlocking, "{\"processName\":\"ad.exe\"}");
    auto events = Events();
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].id, 992614519);
    EXPECT_EQ(Pairs(events[0]), (std::vector<std::string>{"manner=CLICK_BLOCKING",
                                                          "windowInfo={\"processName\":\"ad.exe\"}",
                                                          "version=" + ValueOf(events[0], "version"), "count#1"}));
    EXPECT_EQ(Stored(L"DataReporterOverCapCount"), L"1");
    EXPECT_EQ(log_.Count(kOverCapReadFailed, 4), 1) << log_.Dump();

    DataReporter::ReportOverCap(DataReporter::kMannerAutoHide, "{}");
    ASSERT_EQ(Events().size(), 2u);
    EXPECT_EQ(ValueOf(Events()[1], "count"), "2");
    EXPECT_EQ(Stored(L"DataReporterOverCapCount"), L"2");
    EXPECT_EQ(log_.CountPrefix(L"get reg value count failed, value = "), 1) << log_.Dump();
}

TEST_F(DataReporterTest, StoredCountsAdvanceAndGarbageCountsFromZero) {
    Store(L"DataReporterAutoBlockCount", L"41");
    Store(L"DataReporterSuspectedWindowCount", L"many");
    DataReporter::ReportAutoBlock("{\"popupType\":\"x\"}");
    DataReporter::ReportSuspectedWindow("{}");

    auto events = Events();
    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(events[0].id, 992614520);
    EXPECT_EQ(Pairs(events[0]), (std::vector<std::string>{"windowInfo={\"popupType\":\"x\"}",
                                                          "version=" + ValueOf(events[0], "version"), "count#42"}));
    EXPECT_EQ(events[1].id, 992614523);
    EXPECT_EQ(Pairs(events[1]),
              (std::vector<std::string>{"windowInfo={}", "version=" + ValueOf(events[1], "version"), "count#1"}));
    EXPECT_EQ(Stored(L"DataReporterAutoBlockCount"), L"42");
    EXPECT_EQ(Stored(L"DataReporterSuspectedWindowCount"), L"1");
    EXPECT_EQ(log_.CountPrefix(L"get reg value count failed"), 0) << log_.Dump();
}

TEST_F(DataReporterTest, FailedScreenShotBlockIsSentButNotCounted) {
    DataReporter::ReportScreenShotWindow(0, "{\"w\":1}");
    // Not read either: a missing value would have been logged.
    EXPECT_EQ(Stored(L"DataReporterScreenShotWindowCount"), L"<absent>");
    EXPECT_EQ(log_.CountPrefix(L"get reg value count failed"), 0);
    DataReporter::ReportScreenShotWindow(1, "{}");
    DataReporter::ReportScreenShotWindow(-2, "{}"); // any result but 0 is a success
    EXPECT_EQ(Stored(L"DataReporterScreenShotWindowCount"), L"2");

    auto events = Events();
    ASSERT_EQ(events.size(), 3u);
    EXPECT_EQ(events[0].id, 992614517);
    EXPECT_EQ(Pairs(events[0]), (std::vector<std::string>{"result=0", "windowInfo={\"w\":1}",
                                                          "version=" + ValueOf(events[0], "version"), "count#0"}));
    EXPECT_EQ(ValueOf(events[1], "count"), "1");
    EXPECT_EQ(ValueOf(events[2], "result"), "-2");
    EXPECT_EQ(ValueOf(events[2], "count"), "2");
}

TEST_F(DataReporterTest, EachFocusSceneGetsANewOperationIdAndTheLastIsStored) {
    DataReporter::ReportFocusScene("MEETING", "meet.exe");
    DataReporter::ReportFocusScene("FULL_SCENE", "player.exe");

    auto events = Events();
    ASSERT_EQ(events.size(), 2u);
    const std::string first = ValueOf(events[0], "operation_id");
    const std::string second = ValueOf(events[1], "operation_id");
    EXPECT_TRUE(LooksLikeGuid(first)) << first;
    EXPECT_TRUE(LooksLikeGuid(second)) << second;
    EXPECT_NE(first, second);
    EXPECT_EQ(events[1].id, 992614521);
    EXPECT_EQ(Pairs(events[1]), (std::vector<std::string>{"sceneType=FULL_SCENE", "triggeringApp=player.exe",
                                                          "operation_id=" + second,
                                                          "version=" + ValueOf(events[1], "version")}));
    EXPECT_EQ(Stored(L"DataReporterFocusModeGUID"), std::wstring(second.begin(), second.end()));
}

TEST_F(DataReporterTest, VersionIsTheHostProgramsProductVersionOrEmpty) {
    namespace fs = std::filesystem;
    const fs::path hostProgram = L"C:\\Program Files\\Norvane\\Hubrix\\components\\Kelvane\\KelvaneCenter.exe";
    fs::create_directories(hostProgram.parent_path());
    fs::copy_file(adwtest::ExeDir() + L"\\KelvaneCenter.exe", hostProgram, fs::copy_options::overwrite_existing);
    EXPECT_EQ(DataReporter::GetAppVersion(), "12.0.1.5");
    DataReporter::ReportAutoBlock("{}");
    ASSERT_EQ(Events().size(), 1u);
    EXPECT_EQ(ValueOf(Events()[0], "version"), "12.0.1.5");

    std::error_code ignored;
    fs::remove(hostProgram, ignored);
    KrLogCapture::Begin(); // forget the counter's first-read line above
    EXPECT_EQ(DataReporter::GetAppVersion(), "");
    DataReporter::ReportModeSwitch("POWER_MODE", "1");
    auto events = Events();
    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(events[1].id, 992614518);
    EXPECT_EQ(Pairs(events[1]), (std::vector<std::string>{"mode=POWER_MODE", "status=1", "version="}));
    EXPECT_TRUE(log_.Lines().empty()) << log_.Dump();
}

TEST_F(DataReporterTest, MissingKeyIsLoggedNotCreatedAndTheEventStillGoes) {
    RegDeleteTreeW(HKEY_USERS, keyPath_.c_str());
    RegDeleteKeyW(HKEY_USERS, keyPath_.c_str());
    DataReporter::ReportOverCap(DataReporter::kMannerWindowMove, "{}");
    DataReporter::ReportFocusScene("MEETING", "meet.exe");

    auto events = Events();
    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(ValueOf(events[0], "count"), "1");
    EXPECT_TRUE(LooksLikeGuid(ValueOf(events[1], "operation_id")));
    EXPECT_EQ(log_.Count(kOverCapReadFailed, 4), 1) << log_.Dump();
    EXPECT_EQ(log_.Count(L"set reg value count failed, value = DataReporterOverCapCountcount = 1(RegCountToKey)", 4),
              1)
        << log_.Dump();
    EXPECT_EQ(log_.Count(L"set focus mode operation id value failed(RegFocusModeGUIDToKey)", 4), 1) << log_.Dump();
    adw::UniqueRegKey key;
    EXPECT_NE(RegOpenKeyExW(HKEY_USERS, keyPath_.c_str(), 0, KEY_READ, key.put()), ERROR_SUCCESS);
}

TEST_F(DataReporterTest, ConcurrentReportsOfOneCounterNeitherRepeatNorLoseACount) {
    constexpr int kThreads = 8;
    constexpr int kReportsEach = 25;
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([] {
            for (int i = 0; i < kReportsEach; ++i) {
                DataReporter::ReportAutoBlock("{}");
            }
        });
    }
    for (auto& thread : threads) {
        thread.join();
    }

    auto events = Events();
    ASSERT_EQ(events.size(), static_cast<size_t>(kThreads * kReportsEach));
    std::set<std::string> counts;
    for (const auto& event : events) {
        counts.insert(ValueOf(event, "count"));
    }
    EXPECT_EQ(counts.size(), events.size());
    EXPECT_EQ(Stored(L"DataReporterAutoBlockCount"), std::to_wstring(kThreads * kReportsEach));
}
