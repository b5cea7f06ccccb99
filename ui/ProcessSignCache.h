#pragma once

#include <windows.h>

#include <vector>

#include "ui/CaptureTarget.h"

namespace KelvaneCenter {

// GetProcessSign's answer per process, so that moving the pointer across the
// windows of one program asks once: the overlay runs on the host's UI thread,
// where even a look at the file per window would stall the pointer. A process
// is told by its id and creation time, so a reused id is asked afresh; the
// file's own answer comes from the shared signer cache, which also notices a
// changed file.
class ProcessSignCache {
public:
    ProcessSign Get(HWND window);

private:
    struct Entry {
        DWORD processId;
        ULONGLONG created;
        ProcessSign sign;
    };
    static constexpr size_t kMaxEntries = 64;
    std::vector<Entry> entries_;
};

} // namespace KelvaneCenter
