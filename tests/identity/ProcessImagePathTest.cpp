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

std::wstring FixtureApp() {
    return adwtest::ExeDir() + L"\\fixtures\\unsigned_app.exe";
}

// The fixture program, started by the test and ended with it.
class ChildProcess {
public:
    ChildProcess(const wchar_t* args, DWORD flags) {
        std::wstring commandLine = L"\"" + FixtureApp() + L"\" " + args;
        STARTUPINFOW startup = {};
        startup.cb = sizeof(startup);
        PROCESS_INFORMATION info = {};
        if (CreateProcessW(FixtureApp().c_str(), &commandLine[0], nullptr, nullptr, FALSE, flags, nullptr, nullptr,
                           &startup, &info)) {
            process_.reset(info.hProcess);
            thread_.reset(info.hThread);
            id_ = info.dwProcessId;
        }
    }
    ~ChildProcess() {
        if (process_ && TerminateProcess(process_.get(), 1)) {
            WaitForSingleObject(process_.get(), 10000);
        }
    }
    DWORD Id() const { return id_; } // 0 when it could not be started

private:
    adw::UniqueHandle process_;
    adw::UniqueHandle thread_;
    DWORD id_ = 0;
};

} // namespace

TEST(ProcessImagePath, OwnProcessWithQueryRightOnlyAndWithFullRead) {
    wchar_t own[MAX_PATH] = {};
    ASSERT_NE(GetModuleFileNameW(nullptr, own, MAX_PATH), 0u);
    std::wstring byId = GetProcessImagePathById(GetCurrentProcessId());
    EXPECT_TRUE(SamePath(byId, own)) << WideToUtf8(byId);

    adw::UniqueHandle reader(OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, GetCurrentProcessId()));
    ASSERT_TRUE(reader);
    std::wstring withRead = GetProcessImagePath(reader.get());
    EXPECT_TRUE(SamePath(withRead, own)) << WideToUtf8(withRead);
}

TEST(ProcessImagePath, ChildIsNamedRunningOrSuspendedBeforeItsModulesAreLoaded) {
    for (const DWORD flags : {static_cast<DWORD>(CREATE_SUSPENDED), static_cast<DWORD>(0)}) {
        SCOPED_TRACE(flags);
        ChildProcess child(flags == 0 ? L"--linger" : L"", flags);
        ASSERT_NE(child.Id(), 0u);
        std::wstring path = GetProcessImagePathById(child.Id());
        EXPECT_TRUE(SamePath(path, FixtureApp())) << WideToUtf8(path);
    }
}

TEST(ProcessImagePath, NoProcessNoPath) {
    // Process ids are small multiples of four; this one is never handed out.
    EXPECT_EQ(GetProcessImagePathById(0xFFFFFFF0u), L"");
    EXPECT_EQ(GetProcessImagePathById(0), L""); // the idle process cannot be opened
    EXPECT_EQ(GetProcessImagePath(nullptr), L"");
}
