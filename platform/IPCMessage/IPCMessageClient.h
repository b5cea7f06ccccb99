#pragma once

// The maker's IPC library (IPCMessage.dll): message items sent to a peer
// process over a named pipe.

#include <cstddef>
#include <cstdint>
#include <string>

#if defined(IPCMESSAGE_EXPORTS)
#define IPCMESSAGE_API __declspec(dllexport)
#else
#define IPCMESSAGE_API __declspec(dllimport)
#endif

// One message, 80 bytes, filled by the caller and passed by reference.
struct TagIPCMessageItem {
    std::string text;              // free text, may be empty
    std::uint32_t version = 0;     // protocol version of the sender
    std::int32_t senderId = 0;
    std::uint32_t messageCode = 0; // what the message means to the peer
    std::int32_t receiverId = 0;
    std::int32_t sessionId = 0;
    std::int32_t wParam = 0;
    std::int32_t lParam = 0;
    std::uint64_t data = 0;
    std::uint8_t flags = 0;
    std::int32_t result = 0;
};

// The item crosses the library's boundary by reference, so its layout is part
// of the interface. It assumes the 32-byte std::string of the 64-bit release
// runtimes.
static_assert(sizeof(std::string) == 32, "TagIPCMessageItem expects a 32-byte std::string");
static_assert(sizeof(TagIPCMessageItem) == 80, "TagIPCMessageItem is 80 bytes");
static_assert(offsetof(TagIPCMessageItem, version) == 32 && offsetof(TagIPCMessageItem, senderId) == 36 &&
                  offsetof(TagIPCMessageItem, messageCode) == 40 && offsetof(TagIPCMessageItem, receiverId) == 44 &&
                  offsetof(TagIPCMessageItem, sessionId) == 48 && offsetof(TagIPCMessageItem, wParam) == 52 &&
                  offsetof(TagIPCMessageItem, lParam) == 56 && offsetof(TagIPCMessageItem, data) == 64 &&
                  offsetof(TagIPCMessageItem, flags) == 72 && offsetof(TagIPCMessageItem, result) == 76,
              "TagIPCMessageItem field offsets");

class IPCMESSAGE_API IPCMessageClient {
public:
    // clientId travels with every message so the peer knows the sender.
    // keepConnection: reuse one connection for later messages instead of one per message.
    // waitForBusyPipe: while every instance of the pipe is busy, wait (within the
    // call's time bound) for one instead of failing at once.
    IPCMessageClient(int clientId, bool keepConnection, bool waitForBusyPipe, const std::wstring& pipeName);
    ~IPCMessageClient();
    IPCMessageClient(const IPCMessageClient&) = delete;
    IPCMessageClient& operator=(const IPCMessageClient&) = delete;

    // Sends `request` and waits for the peer's answer into `reply`. Returns
    // within timeoutMs whatever the peer does; true once an answer was read.
    bool SendIPCMessage(TagIPCMessageItem& request, TagIPCMessageItem& reply, unsigned int timeoutMs);
    // Hands `item` to the peer without waiting for an answer; bounded like a
    // send of kPostTimeoutMs. True once the whole message was written.
    bool PostIPCMessage(const TagIPCMessageItem& item);

    static const unsigned int kPostTimeoutMs;

private:
    struct Impl; // kept out of the header: no standard-library member crosses the DLL boundary
    Impl* impl_;
};
