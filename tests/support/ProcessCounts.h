#pragma once

// What a process holds, counted the way that also works under Wine, where
// GetProcessHandleCount, GetGuiResources and PrivateUsage answer 0: threads
// from a Toolhelp snapshot, handles by probing handle values, windows by
// enumeration (top-level and message-only), committed private memory by
// walking the address space.

#include <windows.h>

#include <tlhelp32.h>

#include <cstdio>

namespace adwtest {

inline long CountThreads() {
    long count = 0;
    const HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    if (snapshot == INVALID_HANDLE_VALUE) return -1;
    THREADENTRY32 entry = {};
    entry.dwSize = sizeof(entry);
    for (BOOL more = Thread32First(snapshot, &entry); more; more = Thread32Next(snapshot, &entry)) {
        count += entry.th32OwnerProcessID == GetCurrentProcessId();
    }
    CloseHandle(snapshot);
    return count;
}

inline long CountHandles() {
    long count = 0;
    for (ULONG_PTR value = 4; value <= 0xFFFC; value += 4) {
        DWORD flags = 0;
        count += GetHandleInformation(reinterpret_cast<HANDLE>(value), &flags) ? 1 : 0;
    }
    return count;
}

// Top-level and message-only windows of this process.
inline long CountWindows() {
    long count = 0;
    for (HWND parent : {HWND(nullptr), HWND_MESSAGE}) {
        for (HWND w = FindWindowExW(parent, nullptr, nullptr, nullptr); w != nullptr;
             w = FindWindowExW(parent, w, nullptr, nullptr)) {
            DWORD owner = 0;
            GetWindowThreadProcessId(w, &owner);
            count += owner == GetCurrentProcessId();
        }
    }
    return count;
}

inline long long CommittedPrivateBytes() {
    long long bytes = 0;
    MEMORY_BASIC_INFORMATION info = {};
    for (const char* at = nullptr; VirtualQuery(at, &info, sizeof(info)) == sizeof(info);
         at = static_cast<const char*>(info.BaseAddress) + info.RegionSize) {
        if (info.State == MEM_COMMIT && info.Type == MEM_PRIVATE) bytes += static_cast<long long>(info.RegionSize);
    }
    return bytes;
}

struct ProcessCounts {
    long threads = CountThreads();
    long handles = CountHandles();
    long windows = CountWindows();
    long long privateBytes = CommittedPrivateBytes();

    // This snapshot's growth over `start` fits the tolerances.
    bool Within(const ProcessCounts& start, long threadSlack, long handleSlack, long windowSlack,
                long long privateSlack) const {
        return threads <= start.threads + threadSlack && handles <= start.handles + handleSlack &&
               windows <= start.windows + windowSlack && privateBytes <= start.privateBytes + privateSlack;
    }
    // "threads 12 -> 12, handles ..." for a figure a person reads.
    void Print(FILE* out, const char* what, const ProcessCounts& start) const {
        std::fprintf(out, "%s: threads %ld -> %ld, handles %ld -> %ld, windows %ld -> %ld, private KiB %lld -> %lld\n",
                     what, start.threads, threads, start.handles, handles, start.windows, windows,
                     start.privateBytes / 1024, privateBytes / 1024);
    }
};

} // namespace adwtest
