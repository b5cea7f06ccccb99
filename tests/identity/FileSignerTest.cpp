#include <gtest/gtest.h>

#include <string>

#include "TestSupport.h"
#include "vendor/ProcessIdentity.h"

using namespace KelvaneCenter;

TEST(FileSigner, SignerIsReadExactlyOnlyTheMakersNamesAreTrustedAndNoSignatureLeavesTheOutputAlone) {
    // The signer output afterwards: it starts as "untouched".
    const struct { std::wstring path; int result; std::wstring signer; bool trusted; } cases[] = {
        {adwtest::Fixture(L"signed_technologies.exe"), 1, L"Norvane Technologies Co., Ltd.", true},
        {adwtest::Fixture(L"signed_device.exe"), 1, L"Norvane Device Co., Ltd.", true},
        {adwtest::Fixture(L"signed_lowercase.exe"), 1, L"norvane technologies co., ltd.", false},
        {adwtest::Fixture(L"signed_trailing_blank.exe"), 1, L"Norvane Technologies Co., Ltd. ", false},
        {adwtest::Fixture(L"signed_nonascii.exe"), 1, L"N\u00F8rvane Ger\u00E4tebau \u8BFA\u4E07 Co., Ltd.", false},
        {adwtest::Fixture(L"unsigned_app.exe"), 0, L"untouched", false}, {adwtest::Fixture(L"none.exe"), 0, L"untouched", false},
        {L"", 0, L"untouched", false}, {adwtest::ExeDir(), 0, L"untouched", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(WideToUtf8(c.path));
        std::wstring signer = L"untouched";
        EXPECT_EQ(GetFileSigner(c.path, signer), c.result);
        EXPECT_EQ(signer, c.signer);
        EXPECT_EQ(IsTrustedSigner(signer), c.trusted);
        EXPECT_EQ(IsTrustedSigner(WideToUtf8(signer)), c.trusted);
    }
}
