#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "TestSupport.h"
#include "common/UniqueResource.h"
#include "vendor/ProcessIdentity.h"
#include "vendor/ProcessImagePath.h"

using KelvaneCenter::GetProcessImagePath;
using KelvaneCenter::GetProcessImagePathById;
using KelvaneCenter::WideToUtf8;

namespace {

bool SamePath(const std::wstring& a, const std::wstring& b) {
    return CompareStringOrdinal(a.c_str(), -1, b.c_str(), -1, TRUE) == CSTR_EQUAL;
}

// A fixture program started by the test and ended with it.
class ChildProcess {
public:
    ChildProcess(const std::wstring& exe, const wchar_t* args, DWORD flags) {
        std::wstring commandLine = L"\"" + exe + L"\" " + args;
        STARTUPINFOW startup = {};
        startup.cb = sizeof(startup);
        PROCESS_INFORMATION info = {};
        if (CreateProcessW(exe.c_str(), &commandLine[0], nullptr, nullptr, FALSE, flags, nullptr, nullptr, &startup,
                           &info)) {
            process_.reset(info.hProcess);
            thread_.reset(info.hThread);
            id_ = info.dwProcessId;
        }
    }
    ~ChildProcess() { End(); }
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    bool Started() const { return static_cast<bool>(process_); }
    DWORD Id() const { return id_; }
    void End() {
        if (process_ && WaitForSingleObject(process_.get(), 0) == WAIT_TIMEOUT) {
            TerminateProcess(process_.get(), 1);
            WaitForSingleObject(process_.get(), 10000);
        }
    }

private:
    adw::UniqueHandle process_;
    adw::UniqueHandle thread_;
    DWORD id_ = 0;
};

std::wstring FixtureApp() {
    return adwtest::ExeDir() + L"\\fixtures\\unsigned_app.exe";
}

std::wstring OwnImage() {
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    return path;
}

} // namespace

TEST(ProcessImagePath, OwnProcessWithQueryRightOnlyAndWithFullRead) {
    std::wstring byId = GetProcessImagePathById(GetCurrentProcessId());
    EXPECT_TRUE(SamePath(byId, OwnImage())) << WideToUtf8(byId);

    adw::UniqueHandle reader(OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, GetCurrentProcessId()));
    ASSERT_TRUE(reader);
    std::wstring withRead = GetProcessImagePath(reader.get());
    EXPECT_TRUE(SamePath(withRead, OwnImage())) << WideToUtf8(withRead);
}

TEST(ProcessImagePath, SuspendedChildIsNamedBeforeItsModulesAreLoaded) {
    ChildProcess child(FixtureApp(), L"", CREATE_SUSPENDED);
    ASSERT_TRUE(child.Started());
    std::wstring path = GetProcessImagePathById(child.Id());
    EXPECT_TRUE(SamePath(path, FixtureApp())) << WideToUtf8(path);
}

TEST(ProcessImagePath, RunningChildIsNamed) {
    ChildProcess child(FixtureApp(), L"--linger", 0);
    ASSERT_TRUE(child.Started());
    std::wstring path = GetProcessImagePathById(child.Id());
    EXPECT_TRUE(SamePath(path, FixtureApp())) << WideToUtf8(path);
}

TEST(ProcessImagePath, NoProcessNoPath) {
    // Process ids are small multiples of four; this one is never handed out.
    EXPECT_EQ(GetProcessImagePathById(0xFFFFFFF0u), L"");
    EXPECT_EQ(GetProcessImagePathById(0), L""); // the idle process cannot be opened
    EXPECT_EQ(GetProcessImagePath(nullptr), L"");
}
