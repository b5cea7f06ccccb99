#pragma once

#include <windows.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "LogHelper/KrLogCapture.h"

namespace adwtest {

// Polls `done` until it holds or the deadline passes; returns its last answer.
bool WaitUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout = std::chrono::seconds(10));

// Runs `fn` on a thread of its own; the flag turns true once it has returned.
// The thread is detached, so a call that hangs cannot hang the test as well.
std::shared_ptr<std::atomic<bool>> RunDetached(std::function<void()> fn);
// Waits (bounded) for a RunDetached call to return. A call that never returns
// leaves threads that nothing can tear down: the process ends with a message.
void ExpectReturns(const std::shared_ptr<std::atomic<bool>>& done, const char* what);

// Ends the process with a message when the scope is not left within 20 s: for
// a call that has to be made on this very thread (it serves sent messages, or
// joins) and would otherwise hang the test with it.
class Watchdog {
public:
    explicit Watchdog(const char* what);
    ~Watchdog();
    Watchdog(const Watchdog&) = delete;
    Watchdog& operator=(const Watchdog&) = delete;

private:
    std::mutex mutex_;
    std::condition_variable left_;
    bool done_ = false;
    std::thread thread_;
};

// Captures the logger's lines for the scope's lifetime.
class LogCapture {
public:
    LogCapture() { KrLogCapture::Begin(); }
    ~LogCapture() { KrLogCapture::End(); }
    LogCapture(const LogCapture&) = delete;
    LogCapture& operator=(const LogCapture&) = delete;

    std::vector<KrLogRecord> Lines() const { return KrLogCapture::Lines(); }
    // Number of captured lines equal to `text` at `level`.
    int Count(const std::wstring& text, int level) const;
    // Number of captured lines that start with `prefix` (any level).
    int CountPrefix(const std::wstring& prefix) const;
    bool Has(const std::wstring& text, int level) const { return Count(text, level) > 0; }
    std::wstring Dump() const; // all lines, for failure messages
};

// Deletes a registry key tree under HKEY_CURRENT_USER (path without leading backslash).
void DeleteHkcuTree(const std::wstring& path);
// Creates (opens) a key under a root; returns false on failure.
bool CreateKey(HKEY root, const std::wstring& path);
bool SetDword(HKEY root, const std::wstring& path, const std::wstring& name, DWORD value);
bool SetString(HKEY root, const std::wstring& path, const std::wstring& name, const std::wstring& value);
// Reads a DWORD / string value; false when absent.
bool GetDword(HKEY root, const std::wstring& path, const std::wstring& name, DWORD& value);
bool GetString(HKEY root, const std::wstring& path, const std::wstring& name, std::wstring& value);

// The running test executable, and its folder (no trailing backslash).
std::wstring ExePath();
std::wstring ExeDir();
// A file the build made in <exe dir>\fixtures (the fixture program, its signed copies, the test root).
inline std::wstring Fixture(const wchar_t* name) { return ExeDir() + L"\\fixtures\\" + name; }
// A file's whole content as bytes; empty when it cannot be read.
std::string ReadFileText(const std::wstring& path);

} // namespace adwtest
