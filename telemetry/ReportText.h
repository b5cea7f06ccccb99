#pragma once

// The texts and numbers of usage events, free of any system call.

#include <windows.h>

#include <string>

namespace KelvaneCenter {

// "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}", upper-case; false when it cannot be printed.
bool FormatGuid(const GUID& guid, std::string& text);

// "a.b.c.d" from the two halves of a version: high and low word of the most
// significant half, then of the least significant half.
std::string FormatVersion(DWORD mostSignificant, DWORD leastSignificant);

// The leading decimal integer of a stored counter text, read as the C runtime's
// atoi reads it (blanks and a sign first; 0 when no number starts the text), but
// clamped to the int range instead of overflowing.
int LeadingInt(const std::string& text);

// The count after `stored`. Counters only grow: at the top of the range it stays there.
int NextCount(int stored);

} // namespace KelvaneCenter
