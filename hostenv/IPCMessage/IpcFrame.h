#pragma once

// How one message item travels over the pipe: a fixed header, the item's
// numeric fields in order, then its text. Shared by the client library and the
// assistant stand-in.

#include <cstdint>
#include <string>

#include "IPCMessage/IPCMessageClient.h"

namespace ipcframe {

enum class Kind : std::uint32_t { Send = 1, Post = 2, Reply = 3 };

struct Frame {
    Kind kind = Kind::Send;
    std::int32_t clientId = 0;
    TagIPCMessageItem item;
};

// A frame is never larger than this; longer texts are refused, not cut.
constexpr std::size_t kMaxFrameBytes = 64 * 1024;

// The bytes of one frame; empty when the text would not fit.
std::string Encode(Kind kind, std::int32_t clientId, const TagIPCMessageItem& item);
// False for anything that is not exactly one well-formed frame.
bool Decode(const char* bytes, std::size_t size, Frame& out);

} // namespace ipcframe
