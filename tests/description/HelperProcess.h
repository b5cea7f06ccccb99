#pragma once

// The window helper program, started by a test and ended with it.

#include <windows.h>

#include <string>

#include "TestSupport.h"
#include "common/UniqueResource.h"

namespace descriptiontest {

inline std::wstring HelperDir() {
    return adwtest::ExeDir() + L"\\description_helpers";
}

class HelperProcess {
public:
    // `processAttributes` may give the new process a security descriptor of its own.
    explicit HelperProcess(const std::wstring& exe, SECURITY_ATTRIBUTES* processAttributes = nullptr) {
        std::wstring commandLine = L"\"" + exe + L"\"";
        STARTUPINFOW startup = {};
        startup.cb = sizeof(startup);
        PROCESS_INFORMATION info = {};
        if (CreateProcessW(exe.c_str(), &commandLine[0], processAttributes, nullptr, FALSE, CREATE_NO_WINDOW,
                           nullptr, nullptr, &startup, &info)) {
            process_.reset(info.hProcess);
            thread_.reset(info.hThread);
            id_ = info.dwProcessId;
        }
    }
    ~HelperProcess() {
        if (process_ && TerminateProcess(process_.get(), 1)) {
            WaitForSingleObject(process_.get(), 10000);
        }
    }
    HelperProcess(const HelperProcess&) = delete;
    HelperProcess& operator=(const HelperProcess&) = delete;

    // The helper's visible window; null when the helper did not start or showed none in time.
    HWND WaitForWindow() const {
        Search search = {id_, nullptr};
        if (process_) {
            adwtest::WaitUntil([&] {
                EnumWindows(&FindOwnWindow, reinterpret_cast<LPARAM>(&search));
                return search.window != nullptr;
            });
        }
        return search.window;
    }

private:
    struct Search {
        DWORD processId;
        HWND window;
    };

    static BOOL CALLBACK FindOwnWindow(HWND window, LPARAM param) {
        auto* search = reinterpret_cast<Search*>(param);
        DWORD owner = 0;
        GetWindowThreadProcessId(window, &owner);
        if (owner == search->processId && IsWindowVisible(window)) {
            search->window = window;
            return FALSE;
        }
        return TRUE;
    }

    adw::UniqueHandle process_;
    adw::UniqueHandle thread_;
    DWORD id_ = 0;
};

} // namespace descriptiontest
