#include "ui/ProcessSignCache.h"

#include "common/UniqueResource.h"

namespace KelvaneCenter {

namespace {
// 0 when the process cannot be asked, which is never cached.
ULONGLONG CreationTimeOf(DWORD processId) {
    adw::UniqueHandle process(OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, processId));
    FILETIME created = {};
    FILETIME unused[3];
    if (!process || !GetProcessTimes(process.get(), &created, &unused[0], &unused[1], &unused[2])) {
        return 0;
    }
    return (static_cast<ULONGLONG>(created.dwHighDateTime) << 32) | created.dwLowDateTime;
}
} // namespace

ProcessSign ProcessSignCache::Get(HWND window) {
    DWORD processId = 0;
    GetWindowThreadProcessId(window, &processId);
    const ULONGLONG created = processId != 0 ? CreationTimeOf(processId) : 0;
    if (created != 0) {
        for (const Entry& entry : entries_) {
            if (entry.processId == processId && entry.created == created) {
                return entry.sign;
            }
        }
    }
    const ProcessSign sign = GetProcessSign(window);
    if (created != 0) {
        if (entries_.size() >= kMaxEntries) {
            entries_.erase(entries_.begin());
        }
        entries_.push_back({processId, created, sign});
    }
    return sign;
}

} // namespace KelvaneCenter
