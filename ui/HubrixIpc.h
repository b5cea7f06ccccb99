#pragma once

// The capture overlay's messages to the PC manager's assistant: one when the
// overlay opens (sent, bounded wait) and one when it closes (posted).

#include <cstdint>

#include "IPCMessage/IPCMessageClient.h"

namespace KelvaneCenter {

// How the overlay's client is made: its id, one connection per message, and
// waiting (within each call's bound) while the assistant serves someone else.
constexpr int kHubrixClientId = 0x2A840000;
constexpr bool kHubrixKeepConnection = false;
constexpr bool kHubrixWaitForBusyPipe = true;
extern const wchar_t kHubrixPipeName[];

constexpr std::uint32_t kOverlayOpenCode = kHubrixClientId + 200;
constexpr std::uint32_t kOverlayCloseCode = kHubrixClientId + 201;
constexpr unsigned int kOverlayOpenTimeoutMs = 1000;

// A message to the assistant with the given code, the other fields at their fixed values.
TagIPCMessageItem MakeHubrixMessage(std::uint32_t code);
// The item an answer is read into, prepared before the send.
TagIPCMessageItem MakeHubrixReply();

// The overlay's open message, waiting at most kOverlayOpenTimeoutMs; false when
// it was not delivered (logged; the overlay opens all the same).
bool SendIPCMsgToHubrix(IPCMessageClient& client);
// The overlay's close message; its outcome changes nothing.
void PostIPCMsgToHubrix(IPCMessageClient& client);

} // namespace KelvaneCenter
