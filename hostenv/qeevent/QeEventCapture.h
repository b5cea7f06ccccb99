#pragma once

// Test-side extension of the telemetry stand-in: while a capture is open, every
// reported event is also kept, with its id and its pairs in order.

#include <string>
#include <vector>

#include "qeevent/QeEvent.h"

struct QeCapturedPair {
    std::string key;
    std::string value; // an integer pair holds its decimal text
    bool isInt = false;
};

struct QeCapturedEvent {
    int id = 0;
    std::vector<QeCapturedPair> pairs;
};

class QEEVENT_API QeEventCapture {
public:
    static void Begin();                          // start (or restart) capturing, empty
    static std::vector<QeCapturedEvent> Events(); // what was reported so far
    static void End();                            // stop capturing and forget
    static std::wstring EventFilePath();          // where the next event is appended
};
