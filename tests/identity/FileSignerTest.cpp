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

// The signer of a fixture, or a failure naming the file.
std::wstring SignerOf(const wchar_t* name) {
    std::wstring signer;
    EXPECT_EQ(GetFileSigner(Fixture(name), signer), 1) << "no signer read from " << WideToUtf8(Fixture(name));
    return signer;
}

} // namespace

TEST(TrustedSigners, BothListsHoldTheTwoCompaniesInOrder) {
    const std::vector<std::wstring> wide = {L"Norvane Device Co., Ltd.", L"Norvane Technologies Co., Ltd."};
    const std::vector<std::string> narrow = {"Norvane Device Co., Ltd.", "Norvane Technologies Co., Ltd."};
    EXPECT_EQ(KelvaneCenter::g_trustedSignersW, wide);
    EXPECT_EQ(KelvaneCenter::g_trustedSigners, narrow);
}

TEST(FileSigner, EmbeddedSignaturesOfTheMakerAreTrusted) {
    std::wstring technologies = SignerOf(L"signed_technologies.exe");
    EXPECT_EQ(technologies, L"Norvane Technologies Co., Ltd.");
    EXPECT_TRUE(IsTrustedSigner(technologies));
    EXPECT_TRUE(IsTrustedSigner(WideToUtf8(technologies)));

    std::wstring device = SignerOf(L"signed_device.exe");
    EXPECT_EQ(device, L"Norvane Device Co., Ltd.");
    EXPECT_TRUE(IsTrustedSigner(device));
    EXPECT_TRUE(IsTrustedSigner(WideToUtf8(device)));
}

TEST(FileSigner, LookAlikeNamesAreReadExactlyAndNotTrusted) {
    std::wstring lower = SignerOf(L"signed_lowercase.exe");
    EXPECT_EQ(lower, L"norvane technologies co., ltd.");
    EXPECT_FALSE(IsTrustedSigner(lower));
    EXPECT_FALSE(IsTrustedSigner(WideToUtf8(lower)));

    std::wstring blank = SignerOf(L"signed_trailing_blank.exe");
    EXPECT_EQ(blank, L"Norvane Technologies Co., Ltd. ");
    EXPECT_FALSE(IsTrustedSigner(blank));
    EXPECT_FALSE(IsTrustedSigner(WideToUtf8(blank)));
}

TEST(FileSigner, NonAsciiSubjectComesBackIntact) {
    std::wstring signer = SignerOf(L"signed_nonascii.exe");
    EXPECT_EQ(signer, L"N\u00F8rvane Ger\u00E4tebau \u8BFA\u4E07 Co., Ltd.");
    EXPECT_EQ(WideToUtf8(signer), "N\xC3\xB8rvane Ger\xC3\xA4tebau \xE8\xAF\xBA\xE4\xB8\x87 Co., Ltd.");
    EXPECT_FALSE(IsTrustedSigner(signer));
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
