#pragma once

// One log line in the library's format: the message and any values, with no
// separators added, then "(" tag ")". Narrow literals are widened on insertion.

#include <sstream>

#include "LogHelper/KrLogger.h"

namespace adw {

constexpr LOG_MESSAGE_LEVEL kLogInfo = LOG_LEVEL_INFO;
constexpr LOG_MESSAGE_LEVEL kLogError = LOG_LEVEL_ERROR;

// Never throws: it is called from hook, engine and thread edges.
template <typename... Parts>
void LogLine(LOG_MESSAGE_LEVEL level, const char* tag, const Parts&... parts) noexcept {
    try {
        std::wstringstream stream;
        (void)(stream << ... << parts);
        stream << "(" << tag << ")";
        KrLogger::GetInstance()->Log(level, stream);
    } catch (...) {
        // Nothing sensible is left to do when the log line itself cannot be made.
    }
}

} // namespace adw
