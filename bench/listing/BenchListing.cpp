// The host's listing reads the signer of every undecided item's program. Here:
// 10,000 items from 50 programs listed through the real manager with the shared
// signer cache cold and then warm, against the same items each read without
// the cache (what every listing paid before), in one run. First, what one
// uncached file costs by kind: the signer read alone, and the signature check
// that a file claiming the maker's name also gets.

#include <windows.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include "AdPopBlocker64/EngineScriptClient.h"
#include "IPopUpBlockingCallback.h"
#include "common/UniqueResource.h"
#include "manager/AdWarden.h"
#include "vendor/PopUpBlockingVendor.h"
#include "vendor/SignerCache.h"

namespace {

namespace fs = std::filesystem;

constexpr wchar_t kConfigKey[] = L"SOFTWARE\\Norvane\\Hubrix\\Kelvane";
constexpr int kItems = 10000;
constexpr int kPrograms = 50;
constexpr int kReadsPerKind = 20;

LARGE_INTEGER g_frequency;

double Millis(LONGLONG ticks) {
    return static_cast<double>(ticks) * 1e3 / static_cast<double>(g_frequency.QuadPart);
}

LONGLONG Now() {
    LARGE_INTEGER t;
    QueryPerformanceCounter(&t);
    return t.QuadPart;
}

std::wstring ExeDir() {
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    return fs::path(path).parent_path().wstring();
}

class ListingCallback : public KelvaneMsgCenter::IPopUpBlockingCallback {
public:
    void OnBlockingRecords(const std::vector<KelvaneMsgCenter::BlockingRecordModel>& records) override {
        count = records.size();
        arrivedAt = Now();
    }
    void OnBlockingRecord(const KelvaneMsgCenter::BlockingRecordModel&) override {}
    void OnBlockedTimes(int) override {}
    void OnError(int) override {}
    void OnStateChanged(int) override {}
    std::atomic<size_t> count{0};
    std::atomic<LONGLONG> arrivedAt{0};
};

// Milliseconds from GetBlockingRecords to OnBlockingRecords; negative when none came within a minute.
double TimeListing(ListingCallback& callback) {
    callback.arrivedAt = 0;
    const LONGLONG start = Now();
    if (KelvaneCenter::AdWarden::Instance().GetBlockingRecords() != 0) {
        return -1;
    }
    for (const ULONGLONG deadline = GetTickCount64() + 60000; callback.arrivedAt == 0 && GetTickCount64() < deadline;) {
        Sleep(1);
    }
    return callback.arrivedAt != 0 ? Millis(callback.arrivedAt - start) : -1;
}

// The same items' programs, each read without the cache.
double TimeUncachedReads() {
    KelvaneCenter::PopUpBlockingVendor& vendor = KelvaneCenter::PopUpBlockingVendor::GetInstance();
    const LONGLONG start = Now();
    const unsigned count = vendor.EnumAllPopWnd();
    size_t signedPrograms = 0;
    for (unsigned index = 0; index < count; ++index) {
        PopWndItem* item = nullptr;
        vendor.GetPopWndItem(index, item);
        if (item != nullptr && item->GetExePath() != nullptr) {
            signedPrograms += KelvaneCenter::ReadFileSignature(item->GetExePath()).hasSigner ? 1 : 0;
        }
    }
    const double elapsed = Millis(Now() - start);
    return signedPrograms != 0 ? elapsed : -1;
}

void PrintUncachedCosts(const std::wstring& fixtures) {
    const struct { const wchar_t* file; const char* what; } kinds[] = {
        {L"unsigned_app.exe", "unsigned"},
        {L"signed_lowercase.exe", "signed, another name"},
        {L"signed_technologies.exe", "maker's name, self-made cert"},
        {L"chained_technologies.exe", "maker's name, test root (untrusted)"},
        {L"tampered_technologies.exe", "maker's name, file changed"},
    };
    std::printf("One uncached file (ReadFileSignature), milliseconds; the first read of each kind apart\n");
    std::printf("  %-38s %10s %10s %10s\n", "", "first", "median", "max");
    for (const auto& kind : kinds) {
        std::vector<double> times;
        for (int i = 0; i <= kReadsPerKind; ++i) {
            const LONGLONG start = Now();
            KelvaneCenter::ReadFileSignature(fixtures + kind.file);
            times.push_back(Millis(Now() - start));
        }
        const double first = times.front();
        times.erase(times.begin());
        std::sort(times.begin(), times.end());
        std::printf("  %-38s %10.2f %10.2f %10.2f\n", kind.what, first, times[times.size() / 2], times.back());
    }
}

int Run() {
    using KelvaneCenter::AdWarden;
    adw::UniqueRegKey key;
    RegCreateKeyExW(HKEY_CURRENT_USER, kConfigKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, key.put(), nullptr);
    const std::wstring fixtures = ExeDir() + L"\\fixtures\\";
    PrintUncachedCosts(fixtures);

    // 50 programs, signed under names other than the maker's or unsigned, as most ad programs are.
    const wchar_t* const originals[] = {L"signed_lowercase.exe", L"signed_nonascii.exe", L"signed_trailing_blank.exe",
                                        L"unsigned_app.exe"};
    const fs::path programDir = fs::path(ExeDir()) / L"bench_listing_programs";
    std::error_code error;
    fs::create_directories(programDir, error);
    std::vector<std::wstring> programs;
    for (int p = 0; p < kPrograms; ++p) {
        const fs::path program = programDir / (L"program_" + std::to_wstring(p) + L".exe");
        fs::copy_file(fixtures + originals[p % 4], program, fs::copy_options::overwrite_existing, error);
        programs.push_back(program.wstring());
    }

    adpop::EngineScriptClient engine;
    if (!engine.Ok()) {
        std::fprintf(stderr, "engine stand-in or its script functions missing\n");
        return 1;
    }
    engine.Reset();
    for (int i = 0; i < kItems; ++i) {
        adpop::EngineItem item;
        item.key = L"bench-listing-" + std::to_wstring(i);
        item.textA = L"Bench pop-up";
        item.exePath = programs[static_cast<size_t>(i % kPrograms)];
        engine.AddItem(item);
    }
    ListingCallback callback;
    AdWarden& manager = AdWarden::Instance();
    if (manager.Init() != 0) {
        std::fprintf(stderr, "manager Init failed\n");
        return 1;
    }
    manager.RegisterCallback(&callback);

    const double uncached = TimeUncachedReads();
    KelvaneCenter::SignerCache::Shared().Clear();
    const size_t readsBefore = KelvaneCenter::SignerCache::Shared().Reads();
    const double cold = TimeListing(callback);
    const size_t coldReads = KelvaneCenter::SignerCache::Shared().Reads() - readsBefore;
    std::vector<double> warm;
    for (int round = 0; round < 5; ++round) {
        warm.push_back(TimeListing(callback));
    }
    std::sort(warm.begin(), warm.end());
    const size_t listed = callback.count;
    manager.UnRegisterCallback();
    manager.UnInit();
    fs::remove_all(programDir, error);

    std::printf("\nListing %d items from %d programs (%zu records listed), milliseconds\n", kItems, kPrograms, listed);
    std::printf("  %-52s %10.1f\n", "each item's program read without the cache", uncached);
    std::printf("  %-52s %10.1f   (%zu files read)\n", "listing through the manager, cache cold", cold, coldReads);
    std::printf("  %-52s %10.1f   (median of 5)\n", "listing through the manager, cache warm", warm[2]);
    std::printf("  %-52s %9.1fx   (goal: at least 20x)\n", "  uncached / warm", uncached / warm[2]);
    std::printf("  %-52s %9.1fx\n", "  uncached / cold", uncached / cold);
    return uncached > 0 && cold > 0 && warm[0] > 0 ? 0 : 1;
}

} // namespace

int main() {
    QueryPerformanceFrequency(&g_frequency);
    return Run();
}
