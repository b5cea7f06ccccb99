#include "vendor/SignatureTrust.h"

#include <wincrypt.h>
#include <wintrust.h>
#include <softpub.h>

#include <string>

#include "common/LogLine.h"
#include "vendor/ProcessIdentity.h"

namespace KelvaneCenter {

namespace {

constexpr char kTag[] = "KelvaneCenter::IsMakerSignedFile";

// WinVerifyTrust keeps its state between VERIFY and CLOSE; CLOSE must follow
// every VERIFY, whatever the answer.
class TrustVerification {
public:
    TrustVerification(const wchar_t* filePath, HANDLE file) {
        fileInfo_.cbStruct = sizeof(fileInfo_);
        fileInfo_.pcwszFilePath = filePath;
        fileInfo_.hFile = file;
        data_.cbStruct = sizeof(data_);
        data_.dwUIChoice = WTD_UI_NONE;
        data_.fdwRevocationChecks = WTD_REVOKE_WHOLECHAIN;
        data_.dwProvFlags = WTD_CACHE_ONLY_URL_RETRIEVAL;
        data_.dwUnionChoice = WTD_CHOICE_FILE;
        data_.pFile = &fileInfo_;
        data_.dwStateAction = WTD_STATEACTION_VERIFY;
        result_ = ::WinVerifyTrust(static_cast<HWND>(INVALID_HANDLE_VALUE), &action_, &data_);
    }
    ~TrustVerification() {
        data_.dwStateAction = WTD_STATEACTION_CLOSE;
        ::WinVerifyTrust(static_cast<HWND>(INVALID_HANDLE_VALUE), &action_, &data_);
    }
    TrustVerification(const TrustVerification&) = delete;
    TrustVerification& operator=(const TrustVerification&) = delete;

    LONG Result() const { return result_; }

    // The chain WinVerifyTrust built for the first signer; null when none.
    PCCERT_CHAIN_CONTEXT SignerChain() const {
        CRYPT_PROVIDER_DATA* provider = ::WTHelperProvDataFromStateData(data_.hWVTStateData);
        CRYPT_PROVIDER_SGNR* signer = provider != nullptr ? ::WTHelperGetProvSignerFromChain(provider, 0, FALSE, 0)
                                                          : nullptr;
        return signer != nullptr ? signer->pChainContext : nullptr;
    }

private:
    GUID action_ = WINTRUST_ACTION_GENERIC_VERIFY_V2;
    WINTRUST_FILE_INFO fileInfo_ = {};
    WINTRUST_DATA data_ = {};
    LONG result_ = 0;
};

// Windows' WinVerifyTrust already refuses an untrusted root; some
// implementations only check the hash, so the chain's policy is asked again.
bool ChainEndsAtTrustedRoot(PCCERT_CHAIN_CONTEXT chain) {
    CERT_CHAIN_POLICY_PARA policy = {};
    policy.cbSize = sizeof(policy);
    CERT_CHAIN_POLICY_STATUS status = {};
    status.cbSize = sizeof(status);
    if (!::CertVerifyCertificateChainPolicy(CERT_CHAIN_POLICY_BASE, chain, &policy, &status)) {
        return false;
    }
    if (status.dwError != 0) {
        adw::LogLine(adw::kLogInfo, kTag, "chain refused, error ", status.dwError);
    }
    return status.dwError == 0;
}

std::wstring SubjectName(PCCERT_CONTEXT certificate) {
    const DWORD length = ::CertGetNameStringW(certificate, CERT_NAME_SIMPLE_DISPLAY_TYPE, 0, nullptr, nullptr, 0);
    if (length <= 1) {
        return std::wstring();
    }
    std::wstring name(length, L'\0');
    ::CertGetNameStringW(certificate, CERT_NAME_SIMPLE_DISPLAY_TYPE, 0, nullptr, &name[0], length);
    name.resize(length - 1);
    return name;
}

} // namespace

bool IsMakerSignedFile(const wchar_t* filePath, HANDLE file) {
    if (filePath == nullptr || file == nullptr || file == INVALID_HANDLE_VALUE) {
        return false;
    }
    const TrustVerification verification(filePath, file);
    if (verification.Result() != 0) {
        adw::LogLine(adw::kLogInfo, kTag, "signature refused, error ",
                     static_cast<unsigned long>(verification.Result()));
        return false;
    }
    PCCERT_CHAIN_CONTEXT chain = verification.SignerChain();
    if (chain == nullptr || chain->cChain == 0 || chain->rgpChain[0]->cElement == 0 || !ChainEndsAtTrustedRoot(chain)) {
        return false;
    }
    // The name of the certificate whose signature was checked, not of any other in the file.
    return IsTrustedSigner(SubjectName(chain->rgpChain[0]->rgpElement[0]->pCertContext));
}

} // namespace KelvaneCenter
