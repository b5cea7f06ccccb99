#pragma once

// The build's test root (bin/fixtures/test_root.cer) in the current user's Root
// store while the object lives, so that fixtures it signed pass as trusted.

#include <windows.h>
#include <wincrypt.h>

#include <string>

#include "TestSupport.h"

namespace adwtest {

class TestRootInstalled {
public:
    TestRootInstalled() {
        const std::string der = ReadFileText(Fixture(L"test_root.cer"));
        store_ = CertOpenStore(CERT_STORE_PROV_SYSTEM_W, 0, 0, CERT_SYSTEM_STORE_CURRENT_USER, L"Root");
        if (store_ != nullptr && !der.empty()) {
            CertAddEncodedCertificateToStore(store_, X509_ASN_ENCODING, reinterpret_cast<const BYTE*>(der.data()),
                                             static_cast<DWORD>(der.size()), CERT_STORE_ADD_REPLACE_EXISTING, &root_);
            // Written through at once: the chain engine reads the store afresh, not this copy.
            CertControlStore(store_, 0, CERT_STORE_CTRL_COMMIT, nullptr);
        }
    }
    ~TestRootInstalled() {
        if (root_ != nullptr) {
            CertDeleteCertificateFromStore(root_); // frees the context too
            CertControlStore(store_, 0, CERT_STORE_CTRL_COMMIT, nullptr);
        }
        if (store_ != nullptr) CertCloseStore(store_, 0);
    }
    TestRootInstalled(const TestRootInstalled&) = delete;
    TestRootInstalled& operator=(const TestRootInstalled&) = delete;
    bool Ok() const { return root_ != nullptr; }

private:
    HCERTSTORE store_ = nullptr;
    PCCERT_CONTEXT root_ = nullptr;
};

} // namespace adwtest
