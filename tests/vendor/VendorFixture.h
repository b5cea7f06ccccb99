#pragma once

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "AdPopBlocker64/EngineScriptClient.h"
#include "TestSupport.h"
#include "vendor/PopUpBlockingVendor.h"

namespace vendortest {

using Line = std::pair<int, std::wstring>;

// A line of the adapter as the logger receives it: message, then the operation's tag.
inline Line AdapterLine(int level, const std::wstring& message, const char* operation) {
    std::wstring tag(operation, operation + std::char_traits<char>::length(operation));
    return {level, message + L"(KelvaneCenter::PopUpBlockingVendor::" + tag + L")"};
}

inline std::vector<Line> Lines(const adwtest::LogCapture& log) {
    std::vector<Line> lines;
    for (const auto& record : log.Lines()) lines.emplace_back(record.level, record.text);
    return lines;
}

// How many captured lines are `line`, at its level.
inline int Count(const adwtest::LogCapture& log, const Line& line) {
    return log.Count(line.second, line.first);
}

// What an out pointer holds before the call: not null, so a call that never writes it shows.
inline PopWndItem* Unwritten() {
    static int tag;
    return reinterpret_cast<PopWndItem*>(&tag);
}

// The adapter is a process-wide singleton: every test starts and ends with it
// unloaded and the engine stand-in back at its defaults.
class VendorTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(engine.Ok()) << "no scriptable engine at " << testing::PrintToString(engine.EnginePath());
        vendor.UnInit();
        engine.Reset();
    }

    void TearDown() override {
        vendor.UnInit();
        engine.Reset();
    }

    void LoadEngine() {
        ASSERT_EQ(vendor.Init(), 0u);
        ASSERT_NE(g_pAdPopWndTracker, nullptr);
    }

    adpop::EngineScriptClient engine;
    KelvaneCenter::PopUpBlockingVendor& vendor = KelvaneCenter::PopUpBlockingVendor::GetInstance();
};

} // namespace vendortest
