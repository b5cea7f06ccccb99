#pragma once

// Test-side extension of the logger stand-in: while a capture is open, every
// line handed to KrLogger::Log is also kept, exactly as passed, with its level.

#include <string>
#include <vector>

#include "LogHelper/KrLogger.h"

struct KrLogRecord {
    int level = 0;
    std::wstring text;
};

class LOGHELPER_API KrLogCapture {
public:
    static void Begin();                        // start (or restart) capturing, empty
    static std::vector<KrLogRecord> Lines();    // what was captured so far
    static void End();                          // stop capturing and forget
    static std::wstring LogFilePath();          // where the lines are written
};
