#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "TestSupport.h"
#include "common/UniqueResource.h"
#include "qeevent/QeEventCapture.h"
#include "telemetry/DataReporter.h"
#include "telemetry/ReportWorker.h"
#include "vendor/ProcessIdentity.h"

using KelvaneCenter::DataReporter;
using Texts = std::vector<std::string>;

namespace {

// The id, then "key=value" per pair, ints marked with '#', an operation id of GUID length as "guid".
Texts Pairs(const QeCapturedEvent& event) {
    Texts pairs = {std::to_string(event.id)};
    for (const auto& pair : event.pairs) {
        const bool guid = pair.key == "operation_id" && pair.value.size() == 38;
        pairs.push_back(pair.key + (pair.isInt ? "#" : "=") + (guid ? "guid" : pair.value));
    }
    return pairs;
}

std::string ValueOf(const QeCapturedEvent& event, const std::string& key) {
    auto found = std::find_if(event.pairs.begin(), event.pairs.end(), [&](const auto& pair) { return pair.key == key; });
    return found != event.pairs.end() ? found->value : "<absent>";
}

class DataReporterTest : public ::testing::Test {
protected:
    void SetUp() override {
        keyPath_ = KelvaneCenter::GetActiveUserSid() + L"\\SOFTWARE\\Norvane\\Hubrix\\Kelvane";
        RegDeleteTreeW(HKEY_USERS, keyPath_.c_str());
        ASSERT_TRUE(adwtest::CreateKey(HKEY_USERS, keyPath_));
        QeEventCapture::Begin();
    }
    // What was sent, once every report handed over so far has gone out.
    static std::vector<QeCapturedEvent> Sent() {
        EXPECT_TRUE(DataReporter::Flush(60000));
        return QeEventCapture::Events();
    }
    std::wstring Stored(const wchar_t* name) const {
        std::wstring value;
        return adwtest::GetString(HKEY_USERS, keyPath_, name, value) ? value : L"<absent>";
    }

    std::wstring keyPath_;
    adwtest::LogCapture log_;
};

} // namespace

// First in the file: the version is read once per process.
TEST_F(DataReporterTest, EachEventHasItsKeysInOrderCountsFromTheStoredValueAndKeepsTheFirstVersionFound) {
    ASSERT_TRUE(adwtest::SetString(HKEY_USERS, keyPath_, L"DataReporterAutoBlockCount", L"41"));
    ASSERT_TRUE(adwtest::SetString(HKEY_USERS, keyPath_, L"DataReporterSuspectedWindowCount", L"many"));
    const std::filesystem::path host = L"C:\\Program Files\\Norvane\\Hubrix\\components\\Kelvane\\KelvaneCenter.exe";
    std::error_code ignored;
    std::filesystem::create_directories(host.parent_path(), ignored);
    for (const bool present : {false, true, false}) { // the host program installed, then removed
        std::filesystem::remove(host, ignored);
        if (present) std::filesystem::copy_file(adwtest::ExeDir() + L"\\KelvaneCenter.exe", host, ignored);
        DataReporter::ReportModeSwitch("POWER_MODE", present ? "1" : "0");
        ASSERT_TRUE(DataReporter::Flush(60000));
    }
    DataReporter::ReportOverCap(DataReporter::kMannerClickBlocking, "{\"a\":1}");
    DataReporter::ReportAutoBlock("{}");
    DataReporter::ReportSuspectedWindow("{}");
    DataReporter::ReportScreenShotWindow(0, "{}");
    DataReporter::ReportScreenShotWindow(-2, "{}");
    DataReporter::ReportFocusScene("MEETING", "meet.exe");
    const std::vector<Texts> expected = {
        {"992614518", "mode=POWER_MODE", "status=0", "version="},
        {"992614518", "mode=POWER_MODE", "status=1", "version=12.0.1.5"},
        {"992614518", "mode=POWER_MODE", "status=0", "version=12.0.1.5"},
        {"992614519", "manner=CLICK_BLOCKING", "windowInfo={\"a\":1}", "version=12.0.1.5", "count#1"},
        {"992614520", "windowInfo={}", "version=12.0.1.5", "count#42"},
        {"992614523", "windowInfo={}", "version=12.0.1.5", "count#1"},
        {"992614517", "result=0", "windowInfo={}", "version=12.0.1.5", "count#0"},
        {"992614517", "result=-2", "windowInfo={}", "version=12.0.1.5", "count#1"},
        {"992614521", "sceneType=MEETING", "triggeringApp=meet.exe", "operation_id=guid", "version=12.0.1.5"},
    };
    const auto events = Sent();
    std::vector<Texts> sent;
    std::transform(events.begin(), events.end(), std::back_inserter(sent), Pairs);
    ASSERT_EQ(sent, expected);
    EXPECT_EQ(Stored(L"DataReporterOverCapCount"), L"1");
    EXPECT_EQ(Stored(L"DataReporterAutoBlockCount"), L"42");
    EXPECT_EQ(Stored(L"DataReporterSuspectedWindowCount"), L"1");
    EXPECT_EQ(Stored(L"DataReporterScreenShotWindowCount"), L"1"); // result 0: neither read nor counted
    const std::string guid = ValueOf(events.back(), "operation_id");
    EXPECT_EQ(Stored(L"DataReporterFocusModeGUID"), std::wstring(guid.begin(), guid.end()));
    // Only the two missing counters are logged, not the missing host program.
    EXPECT_EQ(log_.Lines().size(), 2u) << log_.Dump();
    EXPECT_EQ(log_.Count(L"get reg value count failed, value = DataReporterOverCapCounterror = 2(GetCountFromReg)", 4), 1);
}

TEST_F(DataReporterTest, MissingKeyIsLoggedNotCreatedAndTheEventStillGoes) {
    RegDeleteKeyW(HKEY_USERS, keyPath_.c_str());
    DataReporter::ReportOverCap(DataReporter::kMannerWindowMove, "{}");
    DataReporter::ReportFocusScene("MEETING", "meet.exe");
    EXPECT_EQ(Sent().size(), 2u);
    EXPECT_EQ(log_.Count(L"set reg value count failed, value = DataReporterOverCapCountcount = 1(RegCountToKey)", 4), 1);
    EXPECT_EQ(log_.Count(L"set focus mode operation id value failed(RegFocusModeGUIDToKey)", 4), 1) << log_.Dump();
    adw::UniqueRegKey key;
    EXPECT_NE(RegOpenKeyExW(HKEY_USERS, keyPath_.c_str(), 0, KEY_READ, key.put()), ERROR_SUCCESS);
}

TEST_F(DataReporterTest, ReportsFromTwoThreadsKeepEachThreadsCallOrderAndNoneIsLost) {
    constexpr int kEach = 300;
    auto calls = [](void (*report)(const std::string&, const std::string&), const char* first) {
        for (int i = 0; i < kEach; ++i) report(first, std::to_string(i));
    };
    std::thread hats(calls, &DataReporter::ReportOverCap, "AUTO_HIDE");
    calls(&DataReporter::ReportModeSwitch, "FOCUS_MODE");
    hats.join();
    int next[2] = {0, 0}; // per calling thread, the call expected next
    for (const auto& e : Sent()) {
        const bool hat = e.id == DataReporter::kOverCapEventId;
        const std::string i = std::to_string(next[hat]++);
        EXPECT_EQ(hat ? ValueOf(e, "windowInfo") + "#" + ValueOf(e, "count") : ValueOf(e, "status"),
                  hat ? i + "#" + std::to_string(next[hat]) : i);
    }
    EXPECT_EQ(next[0], kEach);
    EXPECT_EQ(next[1], kEach);
}

TEST_F(DataReporterTest, BeyondTheBoundReportsAreDroppedWithALogLineAndFlushOnTheWorkerDoesNotWait) {
    adw::UniqueHandle gate(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    std::atomic<int> flushedOnWorker{-1};
    // A job on the reporter's worker holds it, so that the pending list only grows.
    ASSERT_TRUE(KelvaneCenter::TheReportWorker().Post([&] {
        flushedOnWorker = DataReporter::Flush(60000) ? 1 : 0;
        WaitForSingleObject(gate.get(), 60000);
    }));
    EXPECT_TRUE(adwtest::WaitUntil([&] { return flushedOnWorker == 0; }));
    for (size_t i = 0; i < DataReporter::kMaxPendingReports + 2; ++i) {
        DataReporter::ReportModeSwitch("POWER_MODE", std::to_string(i));
    }
    SetEvent(gate.get());
    const auto events = Sent();
    EXPECT_EQ(log_.Count(L"report queue full, event dropped(KelvaneCenter::DataReporter::ReportModeSwitch)", 4), 2);
    ASSERT_EQ(events.size(), DataReporter::kMaxPendingReports);
    EXPECT_EQ(ValueOf(events.back(), "status"), std::to_string(DataReporter::kMaxPendingReports - 1));
}
