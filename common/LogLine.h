#pragma once

// One log line in the library's format: the message and any values, with no
// separators added, then "(" tag ")". Narrow literals are widened on insertion.
// Control characters are written as escapes: engine keys and window texts are
// chosen by other programs, and a line break in one must not start a line of
// its own that looks like ours.

#include <cwchar>
#include <sstream>
#include <string>

#include "LogHelper/KrLogger.h"

namespace adw {

constexpr LOG_MESSAGE_LEVEL kLogInfo = LOG_LEVEL_INFO;
constexpr LOG_MESSAGE_LEVEL kLogError = LOG_LEVEL_ERROR;

// `text` with C0 and C1 controls, DEL and the Unicode line and paragraph
// separators written as \n, \r, \t or \uHHHH.
inline std::wstring EscapeControls(const std::wstring& text) {
    std::wstring escaped;
    escaped.reserve(text.size());
    for (const wchar_t c : text) {
        if (c == L'\n') {
            escaped += L"\\n";
        } else if (c == L'\r') {
            escaped += L"\\r";
        } else if (c == L'\t') {
            escaped += L"\\t";
        } else if (c < 0x20 || (c >= 0x7F && c <= 0x9F) || c == 0x2028 || c == 0x2029) {
            wchar_t code[8];
            std::swprintf(code, 8, L"\\u%04X", static_cast<unsigned>(c));
            escaped += code;
        } else {
            escaped += c;
        }
    }
    return escaped;
}

// Never throws: it is called from hook, engine and thread edges.
template <typename... Parts>
void LogLine(LOG_MESSAGE_LEVEL level, const char* tag, const Parts&... parts) noexcept {
    try {
        std::wstringstream stream;
        (void)(stream << ... << parts);
        stream << "(" << tag << ")";
        std::wstringstream line(EscapeControls(stream.str()));
        KrLogger::GetInstance()->Log(level, line);
    } catch (...) {
        // Nothing sensible is left to do when the log line itself cannot be made.
    }
}

} // namespace adw
