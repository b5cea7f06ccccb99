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

} // namespace vendortest
