#pragma once

// The maker's logging library (LogHelper.dll).

#include <sstream>

#if defined(LOGHELPER_EXPORTS)
#define LOGHELPER_API __declspec(dllexport)
#else
#define LOGHELPER_API __declspec(dllimport)
#endif

enum LOG_MESSAGE_LEVEL {
    LOG_LEVEL_TRACE = 1,
    LOG_LEVEL_DEBUG = 2,
    LOG_LEVEL_INFO = 3,
    LOG_LEVEL_ERROR = 4,
    LOG_LEVEL_FATAL = 5,
};

class LOGHELPER_API KrLogger {
public:
    static KrLogger* GetInstance();

    // Writes the stream's text as one line; safe from any thread.
    void Log(LOG_MESSAGE_LEVEL level, std::wstringstream& stream);

private:
    KrLogger() = default;
};
