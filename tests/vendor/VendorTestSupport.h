#pragma once

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

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
    for (const auto& record : log.Lines()) {
        lines.emplace_back(record.level, record.text);
    }
    return lines;
}

// With no tracker, every operation reports it: 102, "vendor instance is
// nullptr" or an empty result, each with its own line and nothing else.
inline void ExpectEveryOperationReportsNoTracker() {
    auto& vendor = KelvaneCenter::PopUpBlockingVendor::GetInstance();
    ASSERT_EQ(g_pAdPopWndTracker, nullptr);
    adwtest::LogCapture log;

    EXPECT_EQ(vendor.SetTrackerState(1), 102u);
    EXPECT_EQ(vendor.IsSuppotBlock(nullptr), 102u);
    EXPECT_EQ(vendor.SetClearPeriod(30), 102u);
    EXPECT_EQ(vendor.GetBlockCount(), 0u);
    EXPECT_EQ(vendor.EnumAllPopWnd(), 0u);
    PopWndItem* item = nullptr;
    vendor.GetPopWndItem(0, item);
    EXPECT_EQ(item, nullptr);
    vendor.GetPopByKey(L"any-key", item);
    EXPECT_EQ(item, nullptr);
    EXPECT_EQ(vendor.SetHandleType(L"any-key", true), 300u);

    const std::wstring noTracker = L"g_pAdPopWndTracker is null, err = 102";
    const std::wstring noVendor = L"vendor instance is nullptr";
    const std::vector<Line> expected = {
        AdapterLine(4, noTracker, "SetTrackerState"),
        AdapterLine(4, noTracker, "IsSuppotBlock"),
        AdapterLine(4, noTracker, "SetClearPeriod"),
        AdapterLine(4, noVendor, "GetBlockCount"),
        AdapterLine(4, noVendor, "EnumAllPopWnd"),
        AdapterLine(4, noVendor, "GetPopWndItem"),
        AdapterLine(4, noVendor, "GetPopByKey"),
        AdapterLine(4, noVendor, "GetPopByKey"),
        AdapterLine(4, L"item is null, err = 300", "SetHandleType"),
    };
    EXPECT_EQ(Lines(log), expected);
}

} // namespace vendortest
