#include "vendor/ProcessIdentity.h"

#include <wincrypt.h>
#include <wtsapi32.h>
#include <sddl.h>
#define SECURITY_WIN32
#include <security.h>

#include <algorithm>
#include <climits>

#include "common/UniqueResource.h"

namespace KelvaneCenter {

const std::vector<std::wstring> g_trustedSignersW = {L"Norvane Device Co., Ltd.", L"Norvane Technologies Co., Ltd."};
const std::vector<std::string> g_trustedSigners = {"Norvane Device Co., Ltd.", "Norvane Technologies Co., Ltd."};

namespace {

struct CertStoreTraits {
    using pointer = HCERTSTORE;
    static pointer Invalid() noexcept { return nullptr; }
    static bool IsValid(pointer h) noexcept { return h != nullptr; }
    static void Close(pointer h) noexcept { ::CertCloseStore(h, 0); }
};

struct CryptMsgTraits {
    using pointer = HCRYPTMSG;
    static pointer Invalid() noexcept { return nullptr; }
    static bool IsValid(pointer h) noexcept { return h != nullptr; }
    static void Close(pointer h) noexcept { ::CryptMsgClose(h); }
};

struct CertContextTraits {
    using pointer = PCCERT_CONTEXT;
    static pointer Invalid() noexcept { return nullptr; }
    static bool IsValid(pointer h) noexcept { return h != nullptr; }
    static void Close(pointer h) noexcept { ::CertFreeCertificateContext(h); }
};

struct WtsSessionListTraits {
    using pointer = PWTS_SESSION_INFOW;
    static pointer Invalid() noexcept { return nullptr; }
    static bool IsValid(pointer h) noexcept { return h != nullptr; }
    static void Close(pointer h) noexcept { ::WTSFreeMemory(h); }
};

using UniqueCertStore = adw::UniqueResource<CertStoreTraits>;
using UniqueCryptMsg = adw::UniqueResource<CryptMsgTraits>;
using UniqueCertContext = adw::UniqueResource<CertContextTraits>;
using UniqueWtsSessionList = adw::UniqueResource<WtsSessionListTraits>;

// Impersonates the token's user on this thread for the scope's lifetime, then
// gives the thread back the token it had before: the caller's thread may be
// impersonating a client of its own, which RevertToSelf would throw away.
class ScopedImpersonation {
public:
    explicit ScopedImpersonation(HANDLE token) noexcept {
        if (token == nullptr) {
            return;
        }
        if (!::OpenThreadToken(::GetCurrentThread(), TOKEN_IMPERSONATE, TRUE, previous_.put())) {
            (void)previous_.release(); // nothing was obtained
            if (::GetLastError() != ERROR_NO_TOKEN) {
                return; // a token that cannot be saved is not replaced either
            }
        }
        active_ = ::ImpersonateLoggedOnUser(token) != FALSE;
    }
    ~ScopedImpersonation() {
        if (!active_) {
            return;
        }
        // Should the old token not go back, at least the borrowed user must not stay.
        if (!previous_ || !::SetThreadToken(nullptr, previous_.get())) {
            ::RevertToSelf();
        }
    }
    ScopedImpersonation(const ScopedImpersonation&) = delete;
    ScopedImpersonation& operator=(const ScopedImpersonation&) = delete;

private:
    adw::UniqueHandle previous_; // the thread's token before, none when it had none
    bool active_ = false;
};

std::string WideToCodePage(UINT codePage, const std::wstring& text) {
    if (text.size() > static_cast<size_t>(INT_MAX)) {
        return std::string();
    }
    const int length = static_cast<int>(text.size());
    int bytes = ::WideCharToMultiByte(codePage, 0, text.c_str(), length, nullptr, 0, nullptr, nullptr);
    if (bytes <= 0) {
        return std::string();
    }
    std::string converted(static_cast<size_t>(bytes), '\0');
    ::WideCharToMultiByte(codePage, 0, text.c_str(), length, &converted[0], bytes, nullptr, nullptr);
    return converted;
}

std::wstring SessionUserSid(DWORD sessionId) {
    return GetUserSidString(GetSessionUserName(sessionId));
}

} // namespace

bool IsTrustedSigner(const std::wstring& signer) {
    return std::find(g_trustedSignersW.begin(), g_trustedSignersW.end(), signer) != g_trustedSignersW.end();
}

bool IsTrustedSigner(const std::string& utf8Signer) {
    return std::find(g_trustedSigners.begin(), g_trustedSigners.end(), utf8Signer) != g_trustedSigners.end();
}

int GetFileSigner(std::wstring filePath, std::wstring& signer) {
    if (filePath.empty()) {
        return 0;
    }
    // Only a signature embedded in the file counts: catalog-signed files give 0.
    UniqueCertStore store;
    UniqueCryptMsg message;
    if (!::CryptQueryObject(CERT_QUERY_OBJECT_FILE, filePath.c_str(), CERT_QUERY_CONTENT_FLAG_PKCS7_SIGNED_EMBED,
                            CERT_QUERY_FORMAT_FLAG_BINARY, 0, nullptr, nullptr, nullptr, store.put(), message.put(),
                            nullptr)) {
        return 0;
    }

    DWORD infoSize = 0;
    if (!::CryptMsgGetParam(message.get(), CMSG_SIGNER_INFO_PARAM, 0, nullptr, &infoSize)) {
        return 0;
    }
    adw::UniqueLocalMem infoBlock(::LocalAlloc(LPTR, infoSize));
    if (!infoBlock || !::CryptMsgGetParam(message.get(), CMSG_SIGNER_INFO_PARAM, 0, infoBlock.get(), &infoSize)) {
        return 0;
    }
    const auto* signerInfo = static_cast<const CMSG_SIGNER_INFO*>(infoBlock.get());

    CERT_INFO wanted = {};
    wanted.Issuer = signerInfo->Issuer;
    wanted.SerialNumber = signerInfo->SerialNumber;
    UniqueCertContext certificate(::CertFindCertificateInStore(store.get(), X509_ASN_ENCODING | PKCS_7_ASN_ENCODING,
                                                               0, CERT_FIND_SUBJECT_CERT, &wanted, nullptr));
    if (!certificate) {
        return 0;
    }

    DWORD length = ::CertGetNameStringW(certificate.get(), CERT_NAME_SIMPLE_DISPLAY_TYPE, 0, nullptr, nullptr, 0);
    if (length == 0) {
        return 0;
    }
    adw::UniqueLocalMem nameBlock(::LocalAlloc(LPTR, length * sizeof(wchar_t)));
    if (!nameBlock) {
        return 0;
    }
    auto* name = static_cast<wchar_t*>(nameBlock.get());
    if (::CertGetNameStringW(certificate.get(), CERT_NAME_SIMPLE_DISPLAY_TYPE, 0, nullptr, name, length) == 0) {
        return 0;
    }
    signer = name;
    return 1;
}

std::string WideToAnsi(const std::wstring& text) {
    return WideToCodePage(CP_ACP, text);
}

std::string WideToUtf8(const std::wstring& text) {
    return WideToCodePage(CP_UTF8, text);
}

std::wstring GetSessionUserName(DWORD sessionId) {
    // Declared before the impersonation, so that the thread reverts before the token closes.
    adw::UniqueHandle token;
    if (!::WTSQueryUserToken(sessionId, token.put())) {
        token.release(); // nothing was obtained
    }
    ScopedImpersonation impersonation(token.get());

    // Without a token this names the account the host runs under.
    wchar_t name[MAX_PATH] = {};
    ULONG size = MAX_PATH;
    ::GetUserNameExW(NameSamCompatible, name, &size);
    return name;
}

std::wstring GetUserSidString(const std::wstring& accountName) {
    constexpr DWORD kSidBytes = 260;
    adw::UniqueLocalMem sid(::LocalAlloc(LPTR, kSidBytes));
    if (!sid) {
        return std::wstring();
    }
    DWORD sidSize = kSidBytes;
    wchar_t domain[MAX_PATH] = {};
    DWORD domainSize = MAX_PATH;
    SID_NAME_USE use = SidTypeUnknown;
    std::wstring text;
    if (::LookupAccountNameW(nullptr, accountName.c_str(), sid.get(), &sidSize, domain, &domainSize, &use)) {
        LPWSTR raw = nullptr;
        if (::ConvertSidToStringSidW(sid.get(), &raw)) {
            adw::UniqueLocalMem owned(raw);
            text = raw;
        }
    }
    return text;
}

std::wstring GetActiveUserSid() {
    std::wstring sid = SessionUserSid(::WTSGetActiveConsoleSessionId());
    if (!sid.empty()) {
        return sid;
    }

    // Nobody at the console (or no name for them): the first active session, in the order listed.
    UniqueWtsSessionList sessions;
    DWORD count = 0;
    if (!::WTSEnumerateSessionsW(WTS_CURRENT_SERVER_HANDLE, 0, 1, sessions.put(), &count)) {
        return sid;
    }
    const WTS_SESSION_INFOW* list = sessions.get();
    const WTS_SESSION_INFOW* active =
        std::find_if(list, list + count, [](const WTS_SESSION_INFOW& s) { return s.State == WTSActive; });
    if (active == list + count) {
        return sid;
    }
    const DWORD activeSession = active->SessionId;
    sessions.reset();
    return SessionUserSid(activeSession);
}

} // namespace KelvaneCenter
