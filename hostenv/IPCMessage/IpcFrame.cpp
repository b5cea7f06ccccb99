#include "IpcFrame.h"

#include <cstring>

namespace ipcframe {
namespace {

constexpr std::uint32_t kMagic = 0x4D435049; // "IPCM"
// magic, kind, client id, seven 32-bit fields, data, flags, result, text length
constexpr std::size_t kFixedBytes = 4 * 3 + 4 * 7 + 8 + 1 + 4 + 4;

template <typename T>
void Put(std::string& out, T value) {
    char bytes[sizeof(T)];
    std::memcpy(bytes, &value, sizeof(T));
    out.append(bytes, sizeof(T));
}

class Reader {
public:
    Reader(const char* bytes, std::size_t size) : at_(bytes), left_(size) {}
    template <typename T>
    bool Get(T& value) {
        if (left_ < sizeof(T)) return false;
        std::memcpy(&value, at_, sizeof(T));
        at_ += sizeof(T);
        left_ -= sizeof(T);
        return true;
    }
    const char* at() const { return at_; }
    std::size_t left() const { return left_; }

private:
    const char* at_;
    std::size_t left_;
};

} // namespace

std::string Encode(Kind kind, std::int32_t clientId, const TagIPCMessageItem& item) {
    if (item.text.size() > kMaxFrameBytes - kFixedBytes) return {};
    std::string out;
    out.reserve(kFixedBytes + item.text.size());
    Put(out, kMagic);
    Put(out, static_cast<std::uint32_t>(kind));
    Put(out, clientId);
    Put(out, item.version);
    Put(out, item.senderId);
    Put(out, item.messageCode);
    Put(out, item.receiverId);
    Put(out, item.sessionId);
    Put(out, item.wParam);
    Put(out, item.lParam);
    Put(out, item.data);
    Put(out, item.flags);
    Put(out, item.result);
    Put(out, static_cast<std::uint32_t>(item.text.size()));
    out += item.text;
    return out;
}

bool Decode(const char* bytes, std::size_t size, Frame& out) {
    Reader in(bytes, size);
    std::uint32_t magic = 0, kind = 0, textBytes = 0;
    TagIPCMessageItem& item = out.item;
    const bool fixed = in.Get(magic) && in.Get(kind) && in.Get(out.clientId) && in.Get(item.version) &&
                       in.Get(item.senderId) && in.Get(item.messageCode) && in.Get(item.receiverId) &&
                       in.Get(item.sessionId) && in.Get(item.wParam) && in.Get(item.lParam) && in.Get(item.data) &&
                       in.Get(item.flags) && in.Get(item.result) && in.Get(textBytes);
    if (!fixed || magic != kMagic || kind < 1 || kind > 3 || textBytes != in.left()) return false;
    out.kind = static_cast<Kind>(kind);
    item.text.assign(in.at(), textBytes);
    return true;
}

} // namespace ipcframe
