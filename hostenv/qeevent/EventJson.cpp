#include "EventJson.h"

#include <cstdio>

namespace qeevent {
namespace {

void AppendQuoted(std::string& out, const std::string& text) {
    out += '"';
    for (char c : text) {
        unsigned char byte = static_cast<unsigned char>(c);
        switch (c) {
        case '"': out += "\\\""; break;
        case '\\': out += "\\\\"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\t': out += "\\t"; break;
        default:
            if (byte < 0x20) {
                char escaped[8];
                std::snprintf(escaped, sizeof(escaped), "\\u%04x", static_cast<unsigned>(byte));
                out += escaped;
            } else {
                out += c;
            }
        }
    }
    out += '"';
}

} // namespace

std::string EventToJsonLine(int id, const std::vector<QeCapturedPair>& pairs) {
    std::string out = "{\"id\":" + std::to_string(id) + ",\"pairs\":[";
    bool first = true;
    for (const auto& pair : pairs) {
        out += first ? "[" : ",[";
        first = false;
        AppendQuoted(out, pair.key);
        out += ',';
        if (pair.isInt) {
            out += pair.value;
        } else {
            AppendQuoted(out, pair.value);
        }
        out += ']';
    }
    out += "]}";
    return out;
}

} // namespace qeevent
