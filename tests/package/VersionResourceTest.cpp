// The one version of AdWarden.dll, as a host meets it in the built DLL's
// version resource: equal to AdWardenVersion.h, naming this project.
// (scripts/minimal-host.sh checks the same version in Init's first log line.)

#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "AdWardenVersion.h"
#include "TestSupport.h"

TEST(VersionResource, IsTheProjectVersionAndNamesThisProject) {
    const std::wstring dll = adwtest::ExeDir() + L"\\AdWarden.dll";
    DWORD ignored = 0;
    std::vector<char> data(GetFileVersionInfoSizeW(dll.c_str(), &ignored));
    ASSERT_FALSE(data.empty()) << "no version resource in AdWarden.dll, error " << GetLastError();
    ASSERT_TRUE(GetFileVersionInfoW(dll.c_str(), 0, static_cast<DWORD>(data.size()), data.data()));

    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueW(data.data(), L"\\", reinterpret_cast<void**>(&fixed), &length));
    const DWORD high = MAKELONG(ADWARDEN_VERSION_MINOR, ADWARDEN_VERSION_MAJOR);
    const DWORD low = MAKELONG(0, ADWARDEN_VERSION_PATCH);
    EXPECT_EQ(fixed->dwFileVersionMS, high);
    EXPECT_EQ(fixed->dwFileVersionLS, low);
    EXPECT_EQ(fixed->dwProductVersionMS, high);
    EXPECT_EQ(fixed->dwProductVersionLS, low);

    const std::wstring version = L"" ADWARDEN_VERSION_STRING;
    const std::pair<const wchar_t*, std::wstring> strings[] = {
        {L"FileVersion", version},         {L"ProductVersion", version},
        {L"ProductName", L"AdWarden"},     {L"CompanyName", L"AdWarden developers"},
        {L"OriginalFilename", L"AdWarden.dll"},
    };
    for (const auto& [name, expected] : strings) {
        void* value = nullptr;
        const std::wstring path = std::wstring(L"\\StringFileInfo\\040904B0\\") + name;
        const bool found = VerQueryValueW(data.data(), path.c_str(), &value, &length) && length > 0;
        EXPECT_EQ(found ? static_cast<const wchar_t*>(value) : L"<missing>", expected) << name;
    }
}
