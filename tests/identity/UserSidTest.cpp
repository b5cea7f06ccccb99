#include <gtest/gtest.h>

#include <windows.h>
#include <sddl.h>
#include <wtsapi32.h>
#define SECURITY_WIN32
#include <security.h>

#include <string>

#include "common/UniqueResource.h"
#include "vendor/ProcessIdentity.h"

using KelvaneCenter::GetActiveUserSid;
using KelvaneCenter::GetSessionUserName;
using KelvaneCenter::GetUserSidString;

namespace {

std::wstring OwnTokenSid() {
    adw::UniqueHandle token;
    union {
        TOKEN_USER user;
        BYTE bytes[512];
    } buffer = {};
    DWORD size = 0;
    LPWSTR text = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, token.put()) ||
        !GetTokenInformation(token.get(), TokenUser, &buffer, sizeof(buffer), &size) ||
        !ConvertSidToStringSidW(buffer.user.User.Sid, &text)) {
        return L"";
    }
    adw::UniqueLocalMem owned(text);
    return text;
}

} // namespace

TEST(UserSid, ActiveUserIsTheUserRunningTheTests) {
    std::wstring sid = GetActiveUserSid();
    ASSERT_FALSE(sid.empty());
    // Whether the console user's token is reachable (LocalSystem, Wine) or not, the
    // user at this desktop is the one whose token runs this test.
    EXPECT_EQ(sid, OwnTokenSid());
}

TEST(UserSid, SessionUserNameIsDomainBackslashUserAndNoImpersonationOutlivesTheCall) {
    std::wstring name = GetSessionUserName(WTSGetActiveConsoleSessionId());
    ASSERT_NE(name.find(L'\\'), std::wstring::npos) << KelvaneCenter::WideToUtf8(name);
    EXPECT_EQ(GetUserSidString(name), GetActiveUserSid());
    adw::UniqueHandle threadToken;
    EXPECT_FALSE(OpenThreadToken(GetCurrentThread(), TOKEN_QUERY, TRUE, threadToken.put()));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NO_TOKEN));

    // No such session: no token, so the name is that of the account the process runs under.
    wchar_t own[MAX_PATH] = {};
    ULONG size = MAX_PATH;
    ASSERT_TRUE(GetUserNameExW(NameSamCompatible, own, &size));
    EXPECT_EQ(GetSessionUserName(0xFFFFFF00u), own);
}

TEST(UserSid, UnknownAccountHasNoSid) {
    EXPECT_EQ(GetUserSidString(L"adw-no-such-account-5b1e"), L"");
    EXPECT_EQ(GetUserSidString(L"NO-SUCH-DOMAIN-5b1e\\nobody"), L"");
}
