#include <gtest/gtest.h>

#include "AssistantProcess.h"
#include "ui/HubrixIpc.h"

namespace {

using namespace KelvaneCenter;

// Wine hands a pipe server its own token whatever the client allows, so only
// Windows shows the level the client opened the pipe with.
const bool kUnderWine = GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr;

std::string Expected(const char* kind, const char* code) {
    return std::string("received kind=") + kind + " client=0x2A840000 code=" + code +
           " version=0x00020000 sender=-1 receiver=-1 session=-1 wparam=0 lparam=0 data=0 flags=0 result=0 text=\"\"" +
           (kUnderWine ? " level=Impersonation" : " level=Identification");
}

// Open then close, as an overlay does: both messages reach the assistant as
// they stand, and an answered send logs nothing. (Peers that are absent, late
// or hang up, and the bounded send: the fault matrix's pipe rows.)
TEST(HubrixIpc, OpenAndCloseMessagesReachTheAssistantAsTheyStand) {
    adwtest::AssistantProcess assistant(L"");
    ASSERT_TRUE(assistant.WaitListening());
    adwtest::LogCapture log;
    IPCMessageClient client(kHubrixClientId, kHubrixKeepConnection, kHubrixWaitForBusyPipe, kHubrixPipeName);
    std::atomic<bool> sent{false};
    adwtest::ExpectReturns(adwtest::RunDetached([&] { sent = SendIPCMsgToHubrix(client); }), "SendIPCMsgToHubrix");
    EXPECT_TRUE(sent);
    PostIPCMsgToHubrix(client);
    const std::vector<std::string> both = {Expected("send", "0x2A8400C8"), Expected("post", "0x2A8400C9")};
    EXPECT_TRUE(adwtest::WaitUntil([&] { return assistant.Received().size() >= 2; }));
    EXPECT_EQ(assistant.Received(), both);
    EXPECT_EQ(log.CountPrefix(L"SendIPCMessage returns"), 0) << log.Dump();
}

} // namespace
