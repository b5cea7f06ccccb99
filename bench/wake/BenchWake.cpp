// What waking an idle thread costs the waking thread, when it wakes from a
// pause as an engine thread does between pop-ups: the floor under any hand-over
// of work from a thread that is not ours. Baseline: a condition variable.
// Run by hand under Wine: scripts/wine-run.sh build/mingw/bin/bench_wake.exe

#include <windows.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "common/UniqueResource.h"

namespace {

constexpr int kRounds = 150;
constexpr DWORD kPauseMs = 20;

SRWLOCK g_lock = SRWLOCK_INIT;
CONDITION_VARIABLE g_wake = CONDITION_VARIABLE_INIT;
std::deque<std::wstring> g_pending; // under g_lock
volatile LONG g_address = 0;
std::atomic<bool> g_quit{false};

// Each waiter sleeps until woken, then takes what was handed over.
DWORD WINAPI ConditionWaiter(void*) {
    AcquireSRWLockExclusive(&g_lock);
    while (!g_quit) {
        while (g_pending.empty() && !g_quit) SleepConditionVariableSRW(&g_wake, &g_lock, INFINITE, 0);
        if (!g_pending.empty()) g_pending.pop_front();
    }
    ReleaseSRWLockExclusive(&g_lock);
    return 0;
}

DWORD WINAPI AddressWaiter(void*) {
    while (!g_quit) {
        LONG zero = 0;
        WaitOnAddress(&g_address, &zero, sizeof(zero), INFINITE);
        g_address = 0;
    }
    return 0;
}

DWORD WINAPI EventWaiter(void* event) {
    while (!g_quit) WaitForSingleObject(static_cast<HANDLE>(event), INFINITE);
    return 0;
}

void CALLBACK NoWork(PTP_CALLBACK_INSTANCE, void*, PTP_WORK) {}

struct Result {
    double median, p99;
};

Result Measure(const std::function<void()>& wake) {
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    std::vector<double> micros;
    for (int i = 0; i < kRounds; ++i) {
        Sleep(kPauseMs);
        LARGE_INTEGER start, end;
        QueryPerformanceCounter(&start);
        wake();
        QueryPerformanceCounter(&end);
        micros.push_back(static_cast<double>(end.QuadPart - start.QuadPart) * 1e6 / static_cast<double>(frequency.QuadPart));
    }
    std::sort(micros.begin(), micros.end());
    return {micros[micros.size() / 2], micros[micros.size() * 99 / 100]};
}

} // namespace

int main() {
    adw::UniqueHandle event(CreateEventW(nullptr, FALSE, FALSE, nullptr));
    adw::UniqueHandle waiters[] = {adw::UniqueHandle(CreateThread(nullptr, 0, ConditionWaiter, nullptr, 0, nullptr)),
                                   adw::UniqueHandle(CreateThread(nullptr, 0, AddressWaiter, nullptr, 0, nullptr)),
                                   adw::UniqueHandle(CreateThread(nullptr, 0, EventWaiter, event.get(), 0, nullptr))};
    PTP_WORK work = CreateThreadpoolWork(NoWork, nullptr, nullptr);

    const Result baseline = Measure([] { WakeConditionVariable(&g_wake); });
    const std::pair<const char*, std::function<void()>> cases[] = {
        {"condition variable (baseline)", [] { WakeConditionVariable(&g_wake); }},
        {"hand-over: copy, lock, queue, wake", [] {
             std::wstring key(L"bench-popup-1-a-key-of-typical-length");
             AcquireSRWLockExclusive(&g_lock);
             g_pending.push_back(std::move(key));
             ReleaseSRWLockExclusive(&g_lock);
             WakeConditionVariable(&g_wake);
         }},
        {"WakeByAddressSingle", [] {
             g_address = 1;
             WakeByAddressSingle(const_cast<LONG*>(&g_address));
         }},
        {"SubmitThreadpoolWork", [work] { SubmitThreadpoolWork(work); }},
        {"SetEvent", [&event] { SetEvent(event.get()); }},
    };
    std::printf("Cost to the waking thread after a %lu ms pause, %d rounds, microseconds\n", kPauseMs, kRounds);
    std::printf("%-36s %8s %8s %10s %10s\n", "", "median", "p99", "x base med", "x base p99");
    for (const auto& c : cases) {
        const Result r = Measure(c.second);
        std::printf("%-36s %8.1f %8.1f %9.1fx %9.1fx\n", c.first, r.median, r.p99, r.median / baseline.median,
                    r.p99 / baseline.p99);
    }

    g_quit = true;
    WakeAllConditionVariable(&g_wake);
    g_address = 1;
    WakeByAddressAll(const_cast<LONG*>(&g_address));
    SetEvent(event.get());
    for (const auto& waiter : waiters) WaitForSingleObject(waiter.get(), 5000);
    WaitForThreadpoolWorkCallbacks(work, FALSE);
    CloseThreadpoolWork(work);
    return 0;
}
