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

// Open then close, as an overlay does, against each kind of peer. The send
// returns even when the peer takes it and never answers.
TEST(HubrixIpc, OpenAndCloseMessagesReachTheAssistantAndTheSendIsBounded) {
    const struct {
        const wchar_t* assistant; // null: nobody serves the pipe
        bool delivered;
    } rows[] = {{L"", true}, {L"--silent", false}, {nullptr, false}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.assistant == nullptr ? L"no assistant" : row.assistant);
        std::unique_ptr<adwtest::AssistantProcess> assistant;
        if (row.assistant != nullptr) {
            assistant = std::make_unique<adwtest::AssistantProcess>(row.assistant);
            ASSERT_TRUE(assistant->WaitListening());
        }
        adwtest::LogCapture log;
        IPCMessageClient client(kHubrixClientId, kHubrixKeepConnection, kHubrixWaitForBusyPipe, kHubrixPipeName);
        std::atomic<bool> sent{false};
        auto done = adwtest::RunDetached([&] { sent = SendIPCMsgToHubrix(client); });
        adwtest::ExpectReturns(done, "SendIPCMsgToHubrix");
        EXPECT_EQ(sent, row.delivered);
        EXPECT_EQ(log.Count(L"SendIPCMessage returns 0(KelvaneCenter::CaptureWindowDialog::SendIPCMsgToHubrix)", 4),
                  row.delivered ? 0 : 1);
        PostIPCMsgToHubrix(client);
        if (assistant) {
            const std::vector<std::string> both = {Expected("send", "0x2A8400C8"), Expected("post", "0x2A8400C9")};
            EXPECT_TRUE(adwtest::WaitUntil([&] { return assistant->Received().size() >= 2; }));
            EXPECT_EQ(assistant->Received(), both);
        }
    }
}

} // namespace
