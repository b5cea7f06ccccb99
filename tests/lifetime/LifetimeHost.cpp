// A host program that loads AdWarden.dll at run time and unloads it the way a
// careless but legal host would. Each scenario ends with exit code 0 when the
// library left nothing of its own running, another code naming what went
// wrong, or the code of the fault that killed the process.
//   pending-ui-jobs    UnInit on the UI thread with a hat job and the overlay's
//                      opening still queued, then FreeLibrary and the loop runs
//   blocked-ui         UnInit from another thread while the UI thread, with a
//                      hat and the overlay open, waits for that thread
//   reload <n>         n loads, periods and unloads; threads and handles flat
// Figures go to the file named by ADW_LIFETIME_OUT.

#include <windows.h>

#include <objidl.h>
#include <gdiplus.h>

#include <cstdarg>
#include <cstdio>
#include <functional>
#include <string>
#include <thread>

#include "AdPopBlocker64/EngineScriptClient.h"
#include "Desktop.h"
#include "DuiLib/UIlib.h"
#include "HostRecorder.h"
#include "IPopUpBlockingClient.h"
#include "ProcessCounts.h"

namespace {

using adwtest::ExeDir;

enum Exit : int {
    kOk = 0,
    kSetUpFailed = 2,
    kStillLoaded = 3,
    kLeaked = 4,
};

const wchar_t kLibrary[] = L"AdWarden.dll";
const wchar_t kConfigKey[] = L"SOFTWARE\\Norvane\\Hubrix\\Kelvane";

// The figures' file, opened for appending; null when no file is named.
FILE* OpenReport() {
    char path[MAX_PATH] = {};
    return GetEnvironmentVariableA("ADW_LIFETIME_OUT", path, MAX_PATH) == 0 ? nullptr : std::fopen(path, "a");
}

void Report(const char* format, ...) {
    if (FILE* out = OpenReport()) {
        va_list values;
        va_start(values, format);
        std::vfprintf(out, format, values);
        va_end(values);
        std::fclose(out);
    }
}

using Callback = adwtest::HostRecorder;
using adwtest::HostEvent;

// The library as a host that loads it at run time reaches it.
struct Library {
    HMODULE module = nullptr;
    KelvaneMsgCenter::IPopUpBlockingClient* client = nullptr;
    KelvaneMsgCenter::IPopUpBlockingSettingMgr* settings = nullptr;

    bool Load() {
        module = LoadLibraryW((ExeDir() + L"\\" + kLibrary).c_str());
        using Factory = void* (*)();
#ifdef _MSC_VER
        const char* clientName =
            "?GetClientInstance@PopUpBlockingClientFactory@KelvaneCenter@@SAPEAVIPopUpBlockingClient@KelvaneMsgCenter@@XZ";
        const char* settingsName = "?GetSettingCenterClientInstance@PopUpBlockingClientFactory@KelvaneCenter@@"
                                   "SAPEAVIPopUpBlockingSettingMgr@KelvaneMsgCenter@@XZ";
#else
        const char* clientName = "_ZN13KelvaneCenter26PopUpBlockingClientFactory17GetClientInstanceEv";
        const char* settingsName = "_ZN13KelvaneCenter26PopUpBlockingClientFactory30GetSettingCenterClientInstanceEv";
#endif
        auto getClient = reinterpret_cast<Factory>(reinterpret_cast<void*>(GetProcAddress(module, clientName)));
        auto getSettings = reinterpret_cast<Factory>(reinterpret_cast<void*>(GetProcAddress(module, settingsName)));
        if (module == nullptr || getClient == nullptr || getSettings == nullptr) return false;
        client = static_cast<KelvaneMsgCenter::IPopUpBlockingClient*>(getClient());
        settings = static_cast<KelvaneMsgCenter::IPopUpBlockingSettingMgr*>(getSettings());
        return true;
    }
    // Loaded and started, with the callback (when given) registered first.
    bool Start(Callback* callback = nullptr) {
        if (!Load()) return false;
        if (callback != nullptr) client->RegisterCallback(callback);
        return client->Init() == 0;
    }
    // Stopped, the callback let go, and unloaded.
    void Stop() {
        if (client != nullptr) client->UnInit(), client->UnRegisterCallback();
        FreeLibrary(module);
    }
};

// Waits for `done`, serving this thread's messages meanwhile.
bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMs) {
    const auto served = [&] {
        adwtest::PumpMessages(5);
        return done();
    };
    return adwtest::WaitUntil(served, std::chrono::milliseconds(timeoutMs));
}

bool LibraryGone() { return GetModuleHandleW(kLibrary) == nullptr; }

// The scripted engine at its defaults, with blocking on (the switches' key made when missing).
bool EngineReady(adpop::EngineScriptClient& engine) {
    if (!engine.Ok() || !adwtest::CreateKey(HKEY_CURRENT_USER, kConfigKey) ||
        !adwtest::SetDword(HKEY_CURRENT_USER, kConfigKey, L"PopUpBlockingStatus", 1))
        return false;
    engine.Reset();
    return true;
}

// Once the last of the library's jobs and windows is gone the library goes
// too; meanwhile this thread serves its loop as a host's UI thread does.
int EndsUnloaded() {
    adwtest::PumpMessages(2000);
    const int result = PumpUntil(LibraryGone, 10000) ? kOk : kStillLoaded;
    Report("unloaded: %s\n", result == kOk ? "yes" : "no");
    return result;
}

// An ad window of this process, which the scripted engine names in a hat notification.
struct AdScene {
    adpop::EngineScriptClient engine;
    HWND adWindow = nullptr;
    Callback callback;
    Library library;

    bool Start() {
        if (!EngineReady(engine)) return false;
        adpop::EngineItem item;
        item.key = L"lifetime-ad";
        item.exePath = adwtest::ExePath(); // its ad window is this program's
        engine.AddItem(item);
        adWindow = CreateWindowExW(WS_EX_NOACTIVATE, L"STATIC", L"ad", WS_POPUP | WS_VISIBLE, 400, 300, 240, 120,
                                   nullptr, nullptr, nullptr, nullptr);
        return adWindow != nullptr && library.Start(&callback);
    }
    // The hat's job is queued once the record has gone to the host.
    bool FireHat() {
        const size_t before = callback.CountOf(HostEvent::Record);
        return engine.FireAdHat(L"lifetime-ad", adWindow) == 1 &&
               adwtest::WaitUntil([&] { return callback.CountOf(HostEvent::Record) > before; });
    }
};

int PendingUiJobs() {
    AdScene scene;
    if (!scene.Start() || !scene.FireHat()) return kSetUpFailed;
    scene.library.client->ScreenshotBlocking();
    Sleep(100); // the worker hands the hat over right after the record
    scene.library.Stop();
    return EndsUnloaded();
}

int BlockedUi() {
    AdScene scene;
    const auto shown = [](const wchar_t* className) {
        return PumpUntil([className] { return adwtest::VisibleWindowOfClass(className) != nullptr; }, 10000);
    };
    if (!scene.Start() || !scene.FireHat() || !shown(L"BlockingPopup") ||
        (scene.library.client->ScreenshotBlocking(), !shown(L"CaptureWindowDialog")))
        return kSetUpFailed;
    // The UI thread waits for the thread that stops and unloads the library.
    Report("hat and overlay open\n");
    std::thread([&scene] { scene.library.Stop(); }).join();
    Report("stopped and freed\n");
    return EndsUnloaded();
}

// One period as a host has it, with a notification that is counted and reported.
bool OnePeriod(adpop::EngineScriptClient& engine, Callback& callback) {
    Library library;
    const bool started = library.Start(&callback);
    engine.FireAdBlock(L"reload-ad");
    library.Stop();
    // What held the library (a pool callback, a UI job) lets it go a moment later.
    return started && PumpUntil(LibraryGone, 5000);
}

int Reload(int loads) {
    adpop::EngineScriptClient engine; // keeps the engine's module, and its own threads, across the loads
    if (!EngineReady(engine)) return kSetUpFailed;
    adpop::EngineItem item;
    item.key = L"reload-ad";
    item.handleType = kAdPopHandleBlocked;
    engine.AddItem(item);
    // The host links its own libraries, which the library uses too: they stay
    // loaded across the library's loads, as they do in the host.
    for (const wchar_t* hostLibrary : {L"LogHelper.dll", L"KrFileUtil.dll", L"IPCMessage.dll", L"qeevent.dll"})
        LoadLibraryW(hostLibrary);
    Callback callback;
    // The first periods make what the process keeps whoever loads the library
    // (the system's thread pool, the UI library's windows).
    for (int i = 0; i < 3; ++i)
        if (!OnePeriod(engine, callback)) return kSetUpFailed;
    adwtest::PumpMessages(500);
    const adwtest::ProcessCounts start;
    for (int i = 0; i < loads; ++i)
        if (!OnePeriod(engine, callback)) return kStillLoaded;
    // Pool threads that served the last load end on their own a little later.
    // The threading runtime linked into the library keeps a record of the
    // thread that loaded it (a Thread and an Event handle, made by the C++
    // runtime's one-time set-up), which only that thread's exit frees: 2
    // handles a load, measured. Windows come back exactly, private memory
    // within about 2 KiB a load.
    constexpr long kThreadSlack = 2;
    const long handleSlack = 2L * loads + 8;
    const long long privateSlack = 256 * 1024 + 8LL * 1024 * loads;
    const auto flat = [&] { return adwtest::ProcessCounts().Within(start, kThreadSlack, handleSlack, 0, privateSlack); };
    PumpUntil(flat, 5000);
    if (FILE* out = OpenReport()) {
        adwtest::ProcessCounts().Print(out, ("after " + std::to_string(loads) + " loads").c_str(), start);
        std::fclose(out);
    }
    return flat() ? kOk : kLeaked;
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    // This thread is the UI thread, as the host's main thread is.
    DuiLib::CPaintManagerUI::SetInstance(GetModuleHandleW(nullptr));
    Gdiplus::GdiplusStartupInput input;
    ULONG_PTR gdiplus = 0;
    Gdiplus::GdiplusStartup(&gdiplus, &input, nullptr);
    const std::wstring scenario = argc > 1 ? argv[1] : L"";
    return scenario == L"pending-ui-jobs" ? PendingUiJobs()
           : scenario == L"blocked-ui" ? BlockedUi()
           : scenario == L"reload" && argc > 2 ? Reload(_wtoi(argv[2]))
                                                : kSetUpFailed;
}
