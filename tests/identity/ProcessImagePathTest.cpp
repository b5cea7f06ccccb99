#include <gtest/gtest.h>

#include <windows.h>

#include <psapi.h>

#include <string>

#include "ChildProcess.h"
#include "common/UniqueResource.h"
#include "ui/CaptureTarget.h"
#include "vendor/ProcessIdentity.h"
#include "vendor/ProcessImagePath.h"

using KelvaneCenter::GetProcessImagePath;
using KelvaneCenter::GetProcessImagePathById;
using KelvaneCenter::WideToUtf8;

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

TEST(ProcessImagePath, AProcessThatFakesItsModulePathIsJudgedByItsRealImage) {
    const std::wstring real = adwtest::Fixture(L"unsigned_app.exe");
    const std::wstring fake = adwtest::Fixture(L"signed_technologies.exe");
    const adwtest::ChildProcess impostor(real, L"--fake-image \"" + fake + L"\"");
    ASSERT_NE(impostor.Id(), 0u);
    const HWND window = impostor.WaitForWindow();
    ASSERT_NE(window, nullptr);

    // What the loader data says now: the rewrite took.
    adw::UniqueHandle reader(OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, impostor.Id()));
    wchar_t claimed[MAX_PATH + 1] = {};
    ASSERT_NE(K32GetModuleFileNameExW(reader.get(), nullptr, claimed, MAX_PATH), 0u);
    EXPECT_EQ(CompareStringOrdinal(claimed, -1, fake.c_str(), -1, TRUE), CSTR_EQUAL) << WideToUtf8(claimed);

    // The right the trust decisions ask for first answers here too, so no fallback hides a failure.
    adw::UniqueHandle limited(OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, impostor.Id()));
    wchar_t recorded[MAX_PATH] = {};
    DWORD length = MAX_PATH;
    ASSERT_TRUE(limited && QueryFullProcessImageNameW(limited.get(), 0, recorded, &length)) << GetLastError();

    const std::wstring judged = GetProcessImagePathById(impostor.Id());
    EXPECT_EQ(CompareStringOrdinal(judged.c_str(), -1, real.c_str(), -1, TRUE), CSTR_EQUAL) << WideToUtf8(judged);
    // The overlay's judgement: an unsigned program, not the signer of the file it claims to be.
    const KelvaneCenter::ProcessSign sign = KelvaneCenter::GetProcessSign(window);
    EXPECT_FALSE(sign.signedImage);
    EXPECT_EQ(sign.sign, "");
}
