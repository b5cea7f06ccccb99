#include <gtest/gtest.h>

#include <windows.h>
#include <sddl.h>
#include <wtsapi32.h>
#define SECURITY_WIN32
#include <security.h>

#include <string>
#include <thread>

#include "TestSupport.h"
#include "common/UniqueResource.h"
#include "vendor/ProcessIdentity.h"

using namespace KelvaneCenter;

namespace {

// The SID text of the user of the process's token or of the thread's own; "" when there is none.
std::wstring TokenUserSid(bool ofThread) {
    adw::UniqueHandle token;
    alignas(TOKEN_USER) BYTE buffer[512] = {};
    DWORD size = 0;
    LPWSTR text = nullptr;
    if (!(ofThread ? OpenThreadToken(GetCurrentThread(), TOKEN_QUERY, TRUE, token.put())
                   : OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, token.put())) ||
        !GetTokenInformation(token.get(), TokenUser, buffer, sizeof(buffer), &size) ||
        !ConvertSidToStringSidW(reinterpret_cast<TOKEN_USER*>(buffer)->User.Sid, &text)) {
        return L"";
    }
    adw::UniqueLocalMem owned(text);
    return text;
}

} // namespace

TEST(UserSid, ActiveUserIsTheUserRunningTheTestsAndUnknownAccountsHaveNone) {
    const std::wstring sid = GetActiveUserSid();
    ASSERT_FALSE(sid.empty());
    // Whether the console user's token is reachable (LocalSystem, Wine) or not, the
    // user at this desktop is the one whose token runs this test.
    EXPECT_EQ(sid, TokenUserSid(false));
    EXPECT_EQ(GetUserSidString(L"adw-no-such-account-5b1e"), L"");
    EXPECT_EQ(GetUserSidString(L"NO-SUCH-DOMAIN-5b1e\\nobody"), L"");
}

// Both names are anchored to this process's token: the user at this desktop runs the tests.
TEST(UserSid, SessionUserNameIsDomainBackslashUserElseTheProcesssAccount) {
    const std::wstring own = TokenUserSid(false);
    ASSERT_FALSE(own.empty());
    std::wstring name = GetSessionUserName(WTSGetActiveConsoleSessionId());
    ASSERT_NE(name.find(L'\\'), std::wstring::npos) << WideToUtf8(name);
    EXPECT_EQ(GetUserSidString(name), own) << WideToUtf8(name);
    // No such session: no token, so the name is that of the account the process runs under.
    name = GetSessionUserName(0xFFFFFF00u);
    EXPECT_NE(name.find(L'\\'), std::wstring::npos) << WideToUtf8(name);
    EXPECT_EQ(GetUserSidString(name), own) << WideToUtf8(name);
}

// The look-up impersonates the console user: a thread without a token of its
// own has none afterwards, and one that impersonates still has its own token.
TEST(UserSid, TheLookUpLeavesTheThreadsTokenAsItWas) {
    for (const bool impersonating : {false, true}) {
        std::thread lookUp([impersonating] {
            ASSERT_TRUE(!impersonating || ImpersonateSelf(SecurityImpersonation));
            EXPECT_FALSE(GetActiveUserSid().empty());
            EXPECT_EQ(TokenUserSid(true), impersonating ? TokenUserSid(false) : L"") << impersonating;
            RevertToSelf();
        });
        adwtest::Watchdog bound("the SID look-up");
        lookUp.join();
    }
}
