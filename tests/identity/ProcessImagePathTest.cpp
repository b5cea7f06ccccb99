#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "common/UniqueResource.h"
#include "vendor/ProcessIdentity.h"
#include "vendor/ProcessImagePath.h"

using KelvaneCenter::GetProcessImagePath;
using KelvaneCenter::GetProcessImagePathById;

TEST(ProcessImagePath, OwnProcessWithQueryRightOnlyAndWithFullReadAndNoProcessHasNoPath) {
    wchar_t own[MAX_PATH] = {};
    ASSERT_NE(GetModuleFileNameW(nullptr, own, MAX_PATH), 0u);
    adw::UniqueHandle reader(OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, GetCurrentProcessId()));
    const std::pair<std::wstring, std::wstring> cases[] = {
        {GetProcessImagePathById(GetCurrentProcessId()), own}, {GetProcessImagePath(reader.get()), own},
        // Process ids are small multiples of four, so this one is never handed out; 0 is the idle process.
        {GetProcessImagePathById(0xFFFFFFF0u), L""}, {GetProcessImagePathById(0), L""}, {GetProcessImagePath(nullptr), L""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(CompareStringOrdinal(c.first.c_str(), -1, c.second.c_str(), -1, TRUE), CSTR_EQUAL)
            << KelvaneCenter::WideToUtf8(c.first);
    }
}
