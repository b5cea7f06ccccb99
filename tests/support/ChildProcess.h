#pragma once

// A program started by a test and ended with it.

#include <windows.h>

#include <string>

#include "TestSupport.h"
#include "common/UniqueResource.h"

namespace adwtest {

class ChildProcess {
public:
    ChildProcess(const std::wstring& exe, const std::wstring& args = L"", DWORD flags = CREATE_NO_WINDOW) {
        std::wstring commandLine = L"\"" + exe + L"\" " + args;
        STARTUPINFOW startup = {};
        startup.cb = sizeof(startup);
        PROCESS_INFORMATION info = {};
        if (CreateProcessW(exe.c_str(), &commandLine[0], nullptr, nullptr, FALSE, flags, nullptr, nullptr,
                           &startup, &info)) {
            process_.reset(info.hProcess);
            thread_.reset(info.hThread);
            id_ = info.dwProcessId;
        }
    }
    ~ChildProcess() {
        if (process_ && TerminateProcess(process_.get(), 1)) WaitForSingleObject(process_.get(), 10000);
    }
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    DWORD Id() const { return id_; } // 0 when it could not be started

    // The exit code once it has ended (bounded wait); STILL_ACTIVE otherwise.
    DWORD WaitForExit(DWORD timeoutMs = 20000) const {
        DWORD code = STILL_ACTIVE;
        if (process_ && WaitForSingleObject(process_.get(), timeoutMs) == WAIT_OBJECT_0) {
            GetExitCodeProcess(process_.get(), &code);
        }
        return code;
    }

    // Its first visible top-level window; null when it showed none in time.
    HWND WaitForWindow() const {
        HWND found = nullptr;
        WaitUntil([&] {
            for (HWND w = FindWindowExW(nullptr, nullptr, nullptr, nullptr); w != nullptr && process_;
                 w = FindWindowExW(nullptr, w, nullptr, nullptr)) {
                DWORD owner = 0;
                GetWindowThreadProcessId(w, &owner);
                if (owner == id_ && IsWindowVisible(w)) {
                    found = w;
                    return true;
                }
            }
            return false;
        });
        return found;
    }

private:
    adw::UniqueHandle process_;
    adw::UniqueHandle thread_;
    DWORD id_ = 0;
};

} // namespace adwtest
