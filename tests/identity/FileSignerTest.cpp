#include <gtest/gtest.h>

#include <string>

#include "TestSupport.h"
#include "vendor/ProcessIdentity.h"

using KelvaneCenter::GetFileSigner;
using KelvaneCenter::IsTrustedSigner;
using KelvaneCenter::WideToUtf8;

namespace {

std::wstring Fixture(const wchar_t* name) {
    return adwtest::ExeDir() + L"\\fixtures\\" + name;
}

} // namespace

TEST(FileSigner, SignerIsReadExactlyAndOnlyTheMakersNamesAreTrusted) {
    struct Case {
        const wchar_t* fixture;
        std::wstring signer;
        bool trusted;
    };
    const Case cases[] = {
        {L"signed_technologies.exe", L"Norvane Technologies Co., Ltd.", true},
        {L"signed_device.exe", L"Norvane Device Co., Ltd.", true},
        {L"signed_lowercase.exe", L"norvane technologies co., ltd.", false},
        {L"signed_trailing_blank.exe", L"Norvane Technologies Co., Ltd. ", false},
        {L"signed_nonascii.exe", L"N\u00F8rvane Ger\u00E4tebau \u8BFA\u4E07 Co., Ltd.", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(WideToUtf8(c.fixture));
        std::wstring signer;
        EXPECT_EQ(GetFileSigner(Fixture(c.fixture), signer), 1);
        EXPECT_EQ(signer, c.signer);
        EXPECT_EQ(IsTrustedSigner(signer), c.trusted);
        EXPECT_EQ(IsTrustedSigner(WideToUtf8(signer)), c.trusted);
    }
}

TEST(FileSigner, NoEmbeddedSignatureGivesZeroAndLeavesTheOutputAlone) {
    const std::wstring untouched = L"previous value";
    for (const std::wstring& path : {Fixture(L"unsigned_app.exe"), Fixture(L"no_such_file.exe"), std::wstring(),
                                     adwtest::ExeDir()}) {
        std::wstring signer = untouched;
        EXPECT_EQ(GetFileSigner(path, signer), 0) << WideToUtf8(path);
        EXPECT_EQ(signer, untouched) << WideToUtf8(path);
    }
}
