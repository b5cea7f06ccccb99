#pragma once

// Who stands behind a process: the signer of an executable's embedded
// signature, the maker's own signers, text conversions, and the interactive
// user's SID (whose hive under HKEY_USERS holds the per-user counters).

#include <windows.h>

#include <string>
#include <vector>

namespace KelvaneCenter {

// The maker's companies, in this order; filled at load and never changed.
// The wide list is compared with GetFileSigner's result, the narrow one with a
// signer name converted to UTF-8.
extern const std::vector<std::wstring> g_trustedSignersW;
extern const std::vector<std::string> g_trustedSigners;

// Exact comparison with the lists (same length, same code units, no case folding).
bool IsTrustedSigner(const std::wstring& signer);
bool IsTrustedSigner(const std::string& utf8Signer);

// 1 and the subject name of the signing certificate of the signature embedded
// in the file; 0 with `signer` untouched when there is none (catalog-signed,
// unsigned, missing or unreadable file, empty path).
int GetFileSigner(std::wstring filePath, std::wstring& signer);

// "" for empty text or a failed conversion; characters the ANSI code page
// cannot represent become its default character.
std::string WideToAnsi(const std::wstring& text);
std::string WideToUtf8(const std::wstring& text);

// DOMAIN\user of the session's user when its token can be had, otherwise of
// the account this process runs under; "" when no name can be read.
std::wstring GetSessionUserName(DWORD sessionId);
// String form of the account's SID, or "".
std::wstring GetUserSidString(const std::wstring& accountName);
// SID of the console session's user, else of the first active session's user, or "".
std::wstring GetActiveUserSid();

} // namespace KelvaneCenter
