#include "KrFileUtil/JsonSdk.h"

#include <cstdio>

namespace {

void AppendQuoted(std::string& out, const std::string& text) {
    out += '"';
    for (char c : text) {
        unsigned char byte = static_cast<unsigned char>(c);
        switch (c) {
        case '"': out += "\\\""; break;
        case '\\': out += "\\\\"; break;
        case '\b': out += "\\b"; break;
        case '\f': out += "\\f"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\t': out += "\\t"; break;
        default:
            if (byte < 0x20) {
                char escape[8];
                std::snprintf(escape, sizeof(escape), "\\u%04x", byte);
                out += escape;
            } else {
                out += c; // bytes >= 0x80 (GBK, UTF-8) pass through as they are
            }
        }
    }
    out += '"';
}

} // namespace

std::string JsonSdk::VectorToJson(const std::vector<std::pair<std::string, std::string>>& pairs) {
    std::string out = "{";
    bool first = true;
    for (const auto& pair : pairs) {
        if (!first) {
            out += ',';
        }
        first = false;
        AppendQuoted(out, pair.first);
        out += ':';
        AppendQuoted(out, pair.second);
    }
    out += '}';
    return out;
}
