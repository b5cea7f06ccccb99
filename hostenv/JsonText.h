#pragma once

// JSON string quoting shared by the stand-ins: escapes '"', '\\' and control
// characters; every other byte passes through (values may be GBK or UTF-8).

#include <cstdio>
#include <string>

namespace hostenv {

inline void AppendJsonQuoted(std::string& out, const std::string& text) {
    out += '"';
    for (char c : text) {
        const unsigned char byte = static_cast<unsigned char>(c);
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
                std::snprintf(escape, sizeof(escape), "\\u%04x", static_cast<unsigned>(byte));
                out += escape;
            } else {
                out += c;
            }
        }
    }
    out += '"';
}

} // namespace hostenv
