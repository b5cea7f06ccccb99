#pragma once

// The window helper program, started by a test and ended with it.

#include <windows.h>

#include <string>

#include "TestSupport.h"
#include "common/UniqueResource.h"

namespace descriptiontest {

constexpr wchar_t kHelperWindowClass[] = L"AdwDescriptionHelperWindow";

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
    ~HelperProcess() { End(); }
    HelperProcess(const HelperProcess&) = delete;
    HelperProcess& operator=(const HelperProcess&) = delete;

    bool Started() const { return static_cast<bool>(process_); }

    // The helper's window once it is visible; null when none appeared in time.
    HWND WaitForWindow() const {
        HWND found = nullptr;
        adwtest::WaitUntil([&] {
            found = FindOwnWindow();
            return found != nullptr;
        });
        return found;
    }

    void End() {
        if (process_ && WaitForSingleObject(process_.get(), 0) == WAIT_TIMEOUT) {
            TerminateProcess(process_.get(), 1);
            WaitForSingleObject(process_.get(), 10000);
        }
    }

private:
    struct Search {
        DWORD processId;
        HWND window;
    };

    HWND FindOwnWindow() const {
        Search search = {id_, nullptr};
        EnumWindows(
            [](HWND window, LPARAM param) -> BOOL {
                auto* s = reinterpret_cast<Search*>(param);
                DWORD owner = 0;
                GetWindowThreadProcessId(window, &owner);
                wchar_t className[64] = {};
                GetClassNameW(window, className, 64);
                if (owner == s->processId && IsWindowVisible(window) &&
                    std::wstring(className) == kHelperWindowClass) {
                    s->window = window;
                    return FALSE;
                }
                return TRUE;
            },
            reinterpret_cast<LPARAM>(&search));
        return search.window;
    }

    adw::UniqueHandle process_;
    adw::UniqueHandle thread_;
    DWORD id_ = 0;
};

} // namespace descriptiontest
