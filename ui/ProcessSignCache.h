#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace KelvaneCenter {

// GetProcessSign's answer per process, so that moving the pointer across the
// windows of one program reads its signature once: the overlay runs on the
// host's UI thread, where a file read per window would stall the pointer. A
// process is told by its id and creation time, so a reused id is read afresh.
class ProcessSignCache {
public:
    bool Get(HWND window, std::string& sign);

private:
    struct Entry {
        DWORD processId;
        ULONGLONG created;
        bool signedImage;
        std::string sign;
    };
    static constexpr size_t kMaxEntries = 64;
    std::vector<Entry> entries_;
};

} // namespace KelvaneCenter
