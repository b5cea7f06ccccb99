#include "ui/HubrixIpc.h"

#include "common/LogLine.h"

namespace KelvaneCenter {

const wchar_t kHubrixPipeName[] = L"\\\\.\\Pipe\\iCorvoAssistant";

TagIPCMessageItem MakeHubrixMessage(std::uint32_t code) {
    TagIPCMessageItem item;
    item.version = 0x00020000;
    item.senderId = -1;
    item.messageCode = code;
    item.receiverId = -1;
    item.sessionId = -1;
    return item;
}

TagIPCMessageItem MakeHubrixReply() {
    TagIPCMessageItem item = MakeHubrixMessage(0xFFFFFFFF);
    item.version = 0xFFFFFFFF;
    return item;
}

bool SendIPCMsgToHubrix(IPCMessageClient& client) {
    static const char* const tag = "KelvaneCenter::CaptureWindowDialog::SendIPCMsgToHubrix";
    adw::LogLine(adw::kLogInfo, tag, "SendIPCMsgToHubrix");
    TagIPCMessageItem request = MakeHubrixMessage(kOverlayOpenCode);
    TagIPCMessageItem reply = MakeHubrixReply();
    const bool sent = client.SendIPCMessage(request, reply, kOverlayOpenTimeoutMs);
    if (!sent) {
        adw::LogLine(adw::kLogError, tag, "SendIPCMessage returns ", static_cast<int>(sent));
    }
    return sent;
}

void PostIPCMsgToHubrix(IPCMessageClient& client) {
    adw::LogLine(adw::kLogInfo, "KelvaneCenter::CaptureWindowDialog::PostIPCMsgToHubrix", "PostIPCMsgToHubrix");
    client.PostIPCMessage(MakeHubrixMessage(kOverlayCloseCode));
}

} // namespace KelvaneCenter
