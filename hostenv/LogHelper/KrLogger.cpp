#include "LogHelper/KrLogger.h"

#include <windows.h>

#include <cstdio>
#include <mutex>
#include <string>
#include <vector>

#include "LogHelper/KrLogCapture.h"

namespace {

struct LoggerState {
    std::mutex lock;
    FILE* file = nullptr;
    bool fileTried = false;
    bool capturing = false;
    std::vector<KrLogRecord> captured;
};

LoggerState& State() {
    static LoggerState state;
    return state;
}

// %KRLOG_FILE% when set, else %TEMP%\LogHelper-<process id>.log.
std::wstring ResolveLogPath() {
    wchar_t buffer[MAX_PATH] = {};
    DWORD n = GetEnvironmentVariableW(L"KRLOG_FILE", buffer, MAX_PATH);
    if (n > 0 && n < MAX_PATH) {
        return buffer;
    }
    wchar_t temp[MAX_PATH] = {};
    DWORD t = GetTempPathW(MAX_PATH, temp);
    std::wstring path = (t > 0 && t < MAX_PATH) ? temp : L".\\";
    path += L"LogHelper-" + std::to_wstring(GetCurrentProcessId()) + L".log";
    return path;
}

const wchar_t* LevelName(LOG_MESSAGE_LEVEL level) {
    switch (level) {
    case LOG_LEVEL_TRACE: return L"TRACE";
    case LOG_LEVEL_DEBUG: return L"DEBUG";
    case LOG_LEVEL_INFO: return L"INFO";
    case LOG_LEVEL_ERROR: return L"ERROR";
    case LOG_LEVEL_FATAL: return L"FATAL";
    }
    return L"LEVEL?";
}

} // namespace

KrLogger* KrLogger::GetInstance() {
    static KrLogger instance;
    return &instance;
}

void KrLogger::Log(LOG_MESSAGE_LEVEL level, std::wstringstream& stream) {
    std::wstring text = stream.str();
    SYSTEMTIME now;
    GetLocalTime(&now);
    wchar_t prefix[96];
    swprintf(prefix, 96, L"%04u-%02u-%02u %02u:%02u:%02u.%03u [%lu] %ls ", now.wYear, now.wMonth, now.wDay,
             now.wHour, now.wMinute, now.wSecond, now.wMilliseconds, GetCurrentThreadId(), LevelName(level));

    LoggerState& state = State();
    std::lock_guard<std::mutex> guard(state.lock);
    if (state.capturing) {
        state.captured.push_back(KrLogRecord{static_cast<int>(level), text});
    }
    if (!state.fileTried) {
        state.fileTried = true;
        state.file = _wfopen(ResolveLogPath().c_str(), L"ab");
    }
    if (state.file != nullptr) {
        // UTF-8 on disk, one line per call.
        std::wstring line = std::wstring(prefix) + text + L"\n";
        int bytes = WideCharToMultiByte(CP_UTF8, 0, line.c_str(), static_cast<int>(line.size()), nullptr, 0,
                                        nullptr, nullptr);
        if (bytes > 0) {
            std::string utf8(static_cast<size_t>(bytes), '\0');
            WideCharToMultiByte(CP_UTF8, 0, line.c_str(), static_cast<int>(line.size()), &utf8[0], bytes, nullptr,
                                nullptr);
            fwrite(utf8.data(), 1, utf8.size(), state.file);
            fflush(state.file);
        }
    }
}

void KrLogCapture::Begin() {
    LoggerState& state = State();
    std::lock_guard<std::mutex> guard(state.lock);
    state.captured.clear();
    state.capturing = true;
}

std::vector<KrLogRecord> KrLogCapture::Lines() {
    LoggerState& state = State();
    std::lock_guard<std::mutex> guard(state.lock);
    return state.captured;
}

void KrLogCapture::End() {
    LoggerState& state = State();
    std::lock_guard<std::mutex> guard(state.lock);
    state.capturing = false;
    state.captured.clear();
}

std::wstring KrLogCapture::LogFilePath() {
    return ResolveLogPath();
}
