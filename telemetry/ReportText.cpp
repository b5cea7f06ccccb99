#include "telemetry/ReportText.h"

#include <climits>
#include <cstdio>
#include <cstdlib>

namespace KelvaneCenter {

bool FormatGuid(const GUID& guid, std::string& text) {
    char buffer[64] = {};
    int printed = std::snprintf(buffer, sizeof(buffer), "{%08lX-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}",
                                static_cast<unsigned long>(guid.Data1), static_cast<unsigned>(guid.Data2),
                                static_cast<unsigned>(guid.Data3), static_cast<unsigned>(guid.Data4[0]),
                                static_cast<unsigned>(guid.Data4[1]), static_cast<unsigned>(guid.Data4[2]),
                                static_cast<unsigned>(guid.Data4[3]), static_cast<unsigned>(guid.Data4[4]),
                                static_cast<unsigned>(guid.Data4[5]), static_cast<unsigned>(guid.Data4[6]),
                                static_cast<unsigned>(guid.Data4[7]));
    if (printed < 0) {
        return false;
    }
    text = buffer;
    return true;
}

std::string FormatVersion(DWORD mostSignificant, DWORD leastSignificant) {
    return std::to_string(HIWORD(mostSignificant)) + "." + std::to_string(LOWORD(mostSignificant)) + "." +
           std::to_string(HIWORD(leastSignificant)) + "." + std::to_string(LOWORD(leastSignificant));
}

int LeadingInt(const std::string& text) {
    long long value = std::strtoll(text.c_str(), nullptr, 10);
    if (value > INT_MAX) {
        return INT_MAX;
    }
    if (value < INT_MIN) {
        return INT_MIN;
    }
    return static_cast<int>(value);
}

int NextCount(int stored) {
    return stored == INT_MAX ? stored : stored + 1;
}

} // namespace KelvaneCenter
