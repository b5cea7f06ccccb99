#pragma once

// Parsing of layout attribute values.

#include <windows.h>

#include <cwchar>
#include <cwctype>

namespace DuiLib {

// "#AARRGGBB", "0xAARRGGBB" or "#RRGGBB" (opaque).
inline DWORD ParseColor(const wchar_t* text) {
    while (*text == L'#' || std::iswspace(*text)) {
        ++text;
    }
    if (text[0] == L'0' && (text[1] == L'x' || text[1] == L'X')) {
        text += 2;
    }
    const DWORD value = static_cast<DWORD>(std::wcstoul(text, nullptr, 16));
    return std::wcslen(text) <= 6 ? (value | 0xFF000000u) : value;
}

// Up to four comma-separated integers; missing ones stay 0. Returns how many were read.
inline int ParseInts(const wchar_t* text, int* values, int count) {
    int read = 0;
    while (read < count && *text != L'\0') {
        wchar_t* end = nullptr;
        values[read] = static_cast<int>(std::wcstol(text, &end, 10));
        if (end == text) {
            break;
        }
        ++read;
        text = *end == L',' ? end + 1 : end;
    }
    return read;
}

inline bool ParseBool(const wchar_t* text) {
    return std::wcscmp(text, L"true") == 0 || std::wcscmp(text, L"1") == 0;
}

} // namespace DuiLib
