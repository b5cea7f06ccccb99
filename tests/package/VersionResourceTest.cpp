// The one version of AdWarden.dll, as a host meets it: in the built DLL's
// version resource and in the first log line of Init, equal to AdWardenVersion.h.

#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "AdWardenVersion.h"
#include "LogHelper/KrLogCapture.h"
#include "PopUpBlockingClientFactory.h"
#include "TestSupport.h"

namespace {

const std::wstring kVersion = L"" ADWARDEN_VERSION_STRING;

class VersionResource : public ::testing::Test {
protected:
    void SetUp() override {
        const std::wstring dll = adwtest::ExeDir() + L"\\AdWarden.dll";
        DWORD ignored = 0;
        const DWORD size = GetFileVersionInfoSizeW(dll.c_str(), &ignored);
        ASSERT_NE(size, 0u) << "no version resource in AdWarden.dll, error " << GetLastError();
        data_.resize(size);
        ASSERT_TRUE(GetFileVersionInfoW(dll.c_str(), 0, size, data_.data()));
    }

    std::wstring String(const wchar_t* name) {
        void* value = nullptr;
        UINT length = 0;
        const std::wstring path = std::wstring(L"\\StringFileInfo\\040904B0\\") + name;
        if (!VerQueryValueW(data_.data(), path.c_str(), &value, &length) || length == 0) {
            return L"<missing>";
        }
        return static_cast<const wchar_t*>(value);
    }

    std::vector<char> data_;
};

TEST_F(VersionResource, FileAndProductVersionsAreTheProjectVersion) {
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueW(data_.data(), L"\\", reinterpret_cast<void**>(&fixed), &length));
    ASSERT_EQ(fixed->dwSignature, 0xFEEF04BDu);
    const DWORD high = MAKELONG(ADWARDEN_VERSION_MINOR, ADWARDEN_VERSION_MAJOR);
    const DWORD low = MAKELONG(0, ADWARDEN_VERSION_PATCH);
    EXPECT_EQ(fixed->dwFileVersionMS, high);
    EXPECT_EQ(fixed->dwFileVersionLS, low);
    EXPECT_EQ(fixed->dwProductVersionMS, high);
    EXPECT_EQ(fixed->dwProductVersionLS, low);
    EXPECT_EQ(fixed->dwFileType, static_cast<DWORD>(VFT_DLL));
}

TEST_F(VersionResource, NamesThisProject) {
    const struct {
        const wchar_t* name;
        std::wstring value;
    } expected[] = {
        {L"FileVersion", kVersion},
        {L"ProductVersion", kVersion},
        {L"ProductName", L"AdWarden"},
        {L"CompanyName", L"AdWarden developers"},
        {L"OriginalFilename", L"AdWarden.dll"},
    };
    for (const auto& entry : expected) {
        EXPECT_EQ(String(entry.name), entry.value) << entry.name;
    }
}

TEST(VersionAtInit, IsTheFirstLogLineOfInit) {
    KelvaneMsgCenter::IPopUpBlockingClient* client = KelvaneCenter::PopUpBlockingClientFactory::GetClientInstance();
    KrLogCapture::Begin();
    client->Init(); // its result depends on the registry; the line does not
    const std::vector<KrLogRecord> lines = KrLogCapture::Lines();
    client->UnInit();
    KrLogCapture::End();
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines[0].text, L"AdWarden version " + kVersion + L"(KelvaneCenter::AdWarden::Init)");
    EXPECT_EQ(lines[0].level, 3);
}

} // namespace
