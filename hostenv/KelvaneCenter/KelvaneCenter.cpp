// The host program, as a console a person (or the demo) drives: it loads
// AdWarden.dll as the suite's host does, runs the UI library's message loop on
// its main thread, prints every callback, and reads commands on stdin (help
// lists them). It sets ADPOP_ENGINE_MODE=working for itself, so the engine
// beside it watches the real desktop.

#include <windows.h>

#include <fcntl.h>
#include <io.h>

#include <objidl.h>
// (objidl.h first: the lean Windows headers leave out what GDI+ needs)
#include <gdiplus.h>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "DuiLib/UIlib.h"
#include "KelvaneCenter/HostAssistant.h"
#include "KelvaneCenter/HostDesktop.h"
#include "KelvaneCenter/HostText.h"
#include "PopUpBlockingClientFactory.h"
#include "common/UniqueResource.h"

namespace kelvane {

namespace {

constexpr wchar_t kSettingsKey[] = L"SOFTWARE\\Norvane\\Hubrix\\Kelvane";
constexpr DWORD kUiCallTimeoutMs = 10000;

std::mutex g_printLock;
RepeatFolder g_repeats; // under g_printLock

// `foldable`: a callback's line, counted instead of printed when it repeats the line before.
void Print(const std::string& text, bool foldable = false) {
    std::lock_guard<std::mutex> lock(g_printLock);
    const std::string out = g_repeats.Pass(text, foldable);
    std::fwrite(out.data(), 1, out.size(), stdout);
    std::fflush(stdout);
}

// Printing is all a callback does here; nothing it throws goes back into the library.
template <typename MakeText>
void PrintGuarded(MakeText&& makeText) noexcept {
    try {
        Print(makeText(), true);
    } catch (...) {
        // A line lost to a failed allocation is all that is lost.
    }
}

class CallbackPrinter final : public KelvaneMsgCenter::IPopUpBlockingCallback {
public:
    void OnBlockingRecords(const std::vector<KelvaneMsgCenter::BlockingRecordModel>& records) override {
        PrintGuarded([&] { return FormatRecords(records); });
    }
    void OnBlockingRecord(const KelvaneMsgCenter::BlockingRecordModel& record) override {
        PrintGuarded([&] { return "callback: OnBlockingRecord " + FormatRecord(record) + "\n"; });
    }
    void OnBlockedTimes(int blockedTimes) override {
        PrintGuarded([&] { return FormatCallback("OnBlockedTimes", blockedTimes); });
    }
    void OnError(int code) override {
        PrintGuarded([&] { return FormatCallback("OnError", code); });
    }
    void OnStateChanged(int state) override {
        PrintGuarded([&] { return FormatCallback("OnStateChanged", state); });
    }
};

bool ReadSwitch(HKEY key, const wchar_t* name, DWORD& value) {
    DWORD size = sizeof(value);
    return RegGetValueW(key, nullptr, name, RRF_RT_REG_DWORD, nullptr, &value, &size) == ERROR_SUCCESS;
}

bool WriteSwitch(const wchar_t* name, DWORD value, HKEY root = HKEY_CURRENT_USER) {
    return RegSetKeyValueW(root, kSettingsKey, name, REG_DWORD, &value, sizeof(value)) == ERROR_SUCCESS;
}

// The host keeps the switches in the registry; a first start writes what a
// fresh installation has: blocking on, powerful and focus mode off.
void EnsureSettings() {
    adw::UniqueRegKey key;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, kSettingsKey, 0, nullptr, 0, KEY_READ | KEY_WRITE, nullptr, key.put(),
                        nullptr) != ERROR_SUCCESS) {
        Print("host: the settings key HKCU\\" + Utf8(kSettingsKey) + " could not be created\n");
        return;
    }
    struct Default { const wchar_t* name; DWORD value; };
    static const Default kDefaults[] = {
        {L"PopUpBlockingStatus", 1}, {L"PowerfulModeStatus", 0}, {L"FocusModeStatus", 0}};
    std::string line = "host: settings HKCU\\" + Utf8(kSettingsKey) + ":";
    for (const Default& setting : kDefaults) {
        DWORD value = 0;
        if (!ReadSwitch(key.get(), setting.name, value)) {
            value = setting.value;
            WriteSwitch(setting.name, value);
        }
        line += " " + Utf8(setting.name) + "=" + std::to_string(value);
    }
    Print(line + "\n");
}

// Runs a job on the UI thread and waits for it (bounded); false when it did not run in time.
bool RunOnUiThread(const std::function<void()>& job) {
    auto done = std::make_shared<adw::UniqueHandle>(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    if (!*done || !DuiLib::UIMainQueue::getInstance().dispatch([job, done] {
            job();
            SetEvent(done->get());
        })) {
        return false;
    }
    return WaitForSingleObject(done->get(), kUiCallTimeoutMs) == WAIT_OBJECT_0;
}

class Console {
public:
    Console(KelvaneMsgCenter::IPopUpBlockingClient& client, KelvaneMsgCenter::IPopUpBlockingSettingMgr& settings)
        : client_(client), settings_(settings) {}

    // Until quit or the end of the input; the manager is stopped either way.
    void Run() {
        char buffer[1024];
        bool going = true;
        while (going && std::fgets(buffer, sizeof(buffer), stdin) != nullptr) {
            const std::wstring line = FromUtf8(buffer);
            const Command command = ParseCommand(line);
            if (command.verb != Command::Empty) {
                Print("> " + Utf8(line.substr(0, line.find_last_not_of(L"\r\n") + 1)) + "\n");
            }
            going = Execute(command);
        }
        client_.UnInit();
        client_.UnRegisterCallback();
        Print("host: UnInit done\n");
    }

private:
    bool Execute(const Command& command) {
        switch (command.verb) {
        case Command::Empty: break;
        case Command::Invalid: Print("host: " + command.problem + "\n"); break;
        case Command::Help: Print(HelpText()); break;
        case Command::Quit: return false;
        case Command::List: Print(FormatCall("GetBlockingRecords", "", client_.GetBlockingRecords())); break;
        case Command::Block:
        case Command::Allow: {
            const bool block = command.verb == Command::Block;
            Print(FormatCall("SetBlockingStatus", Utf8(command.text) + (block ? ", true" : ", false"),
                             client_.SetBlockingStatus(command.text, block)));
            break;
        }
        case Command::Blocking:
            WriteSwitch(L"PopUpBlockingStatus", command.on ? 1 : 0);
            Print(FormatCall("SetBlockingState", command.on ? "1" : "0", settings_.SetBlockingState(command.on ? 1 : 0)));
            break;
        case Command::Power:
            WriteSwitch(L"PowerfulModeStatus", command.on ? 1 : 0);
            Print(FormatCall("SetPowerState", command.on ? "1" : "0", settings_.SetPowerState(command.on ? 1 : 0)));
            break;
        case Command::Focus:
            WriteSwitch(L"FocusModeStatus", command.on ? 1 : 0);
            Print(FormatCall("SetFocusState", command.on ? "true" : "false", settings_.SetFocusState(command.on)));
            break;
        case Command::Gates: {
            // The gates are the machine's, as an installer or administrator sets them.
            const bool written = WriteSwitch(L"FocusModeSupported", command.on ? 1 : 0, HKEY_LOCAL_MACHINE) &&
                                 WriteSwitch(L"CloseAdWindowEnabled", command.on ? 1 : 0, HKEY_LOCAL_MACHINE);
            if (!written) {
                Print("host: the gates could not be written to HKLM\\" + Utf8(kSettingsKey) + " (run as administrator)\n");
            }
            Print(std::string("host: gates ") + (command.on ? "open" : "closed") + "; Init reads them: UnInit, Init\n");
            client_.UnInit();
            Print(FormatCall("Init", "", client_.Init()));
            break;
        }
        case Command::Log: PrintLog(command.number); break;
        case Command::Point: Point(command.text); break;
        case Command::Click: {
            POINT cursor{};
            ::GetCursorPos(&cursor);
            Print(std::string("host: ") + (ClickAt(cursor) ? "clicked" : "could not click") + " at " +
                  std::to_string(cursor.x) + "," + std::to_string(cursor.y) + "\n");
            break;
        }
        case Command::ClearPeriod:
            Print(FormatCall("SetClearPeriod", std::to_string(command.number), settings_.SetClearPeriod(command.number)));
            break;
        case Command::Capture: Capture(); break;
        case Command::Screenshot: {
            const std::string problem = SaveScreenPng(command.text);
            Print(problem.empty() ? "host: screenshot saved " + Utf8(command.text) + "\n"
                                  : "host: screenshot not saved: " + problem + "\n");
            break;
        }
        case Command::Hats: ListHats(); break;
        case Command::Windows: {
            const std::vector<OtherWindow> windows = FindOtherWindows();
            for (const OtherWindow& window : windows) {
                Print(FormatWindow(window.window, window.visible, window.title));
            }
            Print("host: " + std::to_string(windows.size()) + " windows of other programs\n");
            break;
        }
        case Command::ClickBlock: ClickBlock(command.text); break;
        }
        return true;
    }

    // The capture overlay is a window of the UI thread: the call is made there.
    void Capture() {
        auto result = std::make_shared<int>(0);
        KelvaneMsgCenter::IPopUpBlockingClient* client = &client_;
        if (RunOnUiThread([client, result] { *result = client->ScreenshotBlocking(); })) {
            Print(FormatCall("ScreenshotBlocking", "", *result));
        } else {
            Print("host: ScreenshotBlocking did not return on the UI thread in time\n");
        }
    }

    // The suite's logger appends UTF-8 lines to %KRLOG_FILE%, else to
    // %TEMP%\LogHelper-<process id>.log.
    void PrintLog(unsigned lines) {
        wchar_t path[MAX_PATH] = {};
        DWORD length = GetEnvironmentVariableW(L"KRLOG_FILE", path, MAX_PATH);
        std::wstring logPath = length > 0 && length < MAX_PATH ? path : L"";
        if (logPath.empty() && (length = GetTempPathW(MAX_PATH, path)) > 0 && length < MAX_PATH) {
            logPath = std::wstring(path) + L"LogHelper-" + std::to_wstring(GetCurrentProcessId()) + L".log";
        }
        FILE* file = logPath.empty() ? nullptr : _wfopen(logPath.c_str(), L"rb");
        if (file == nullptr) {
            Print("host: no log file\n");
            return;
        }
        std::string text;
        char buffer[4096];
        for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, file)) > 0;) {
            text.append(buffer, n);
        }
        std::fclose(file);
        const std::string last = LastLines(text, lines);
        Print(last.empty() || last.back() == '\n' ? last : last + "\n");
    }

    void Point(const std::wstring& title) {
        const HWND window = FindOtherWindow(title);
        RECT rect{};
        if (window == nullptr || !::GetWindowRect(window, &rect)) {
            Print("host: no window \"" + Utf8(title) + "\"\n");
            return;
        }
        const POINT middle{(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2};
        PointAt(middle);
        Print("host: pointer at " + std::to_string(middle.x) + "," + std::to_string(middle.y) + " over \"" +
              Utf8(title) + "\"\n");
    }

    void ListHats() {
        const std::vector<Hat> hats = FindHats();
        Print("host: " + std::to_string(hats.size()) + " hat" + (hats.size() == 1 ? "" : "s") + " on screen\n");
        for (size_t i = 0; i < hats.size(); ++i) {
            Print(FormatHat(i + 1, hats[i].rect, BlockButtonPoint(hats[i].rect), hats[i].adTitle));
        }
        if (const HWND overlay = FindCaptureOverlay()) {
            const auto above = std::count_if(hats.begin(), hats.end(), [&](const Hat& hat) { return IsAbove(hat.window, overlay); });
            Print("host: the capture overlay is open, " + std::to_string(above) + " of the hats above it\n");
        }
    }

    void ClickBlock(const std::wstring& title) {
        for (const Hat& hat : FindHats()) {
            if (hat.adTitle == title) {
                const POINT button = BlockButtonPoint(hat.rect);
                const bool sent = ClickAt(button);
                Print("host: " + std::string(sent ? "clicked" : "could not click") + " Block at " +
                      std::to_string(button.x) + "," + std::to_string(button.y) + " on the hat over \"" + Utf8(title) +
                      "\"\n");
                return;
            }
        }
        Print("host: no hat over \"" + Utf8(title) + "\"\n");
    }

    KelvaneMsgCenter::IPopUpBlockingClient& client_;
    KelvaneMsgCenter::IPopUpBlockingSettingMgr& settings_;
};

} // namespace

} // namespace kelvane

int wmain() {
    using namespace kelvane;
    // Lines end in \n alone, as the scripts that read them expect.
    _setmode(_fileno(stdout), _O_BINARY);
    // The engine beside this program works on the desktop for this process only.
    SetEnvironmentVariableW(L"ADPOP_ENGINE_MODE", L"working");
    Gdiplus::GdiplusStartupInput gdiplusInput;
    ULONG_PTR gdiplusToken = 0;
    if (Gdiplus::GdiplusStartup(&gdiplusToken, &gdiplusInput, nullptr) != Gdiplus::Ok) {
        Print("host: GDI+ did not start\n");
        return 1;
    }
    // This thread is the UI thread: the library's windows and jobs run on it.
    DuiLib::CPaintManagerUI::SetInstance(GetModuleHandleW(nullptr));
    const DWORD uiThread = GetCurrentThreadId();
    EnsureSettings();
    // The assistant serves the pipe the capture overlay tells when it opens and closes.
    HostAssistant assistant;
    {
        wchar_t exe[MAX_PATH] = {};
        ::GetModuleFileNameW(nullptr, exe, MAX_PATH);
        std::wstring path = exe;
        path = path.substr(0, path.find_last_of(L"\\/") + 1) + L"Assistant.exe";
        const std::string problem = assistant.Start(path);
        Print(problem.empty() ? "host: assistant started\n" : "host: assistant " + problem + "\n");
    }

    KelvaneMsgCenter::IPopUpBlockingClient* client = KelvaneCenter::PopUpBlockingClientFactory::GetClientInstance();
    KelvaneMsgCenter::IPopUpBlockingSettingMgr* settings =
        KelvaneCenter::PopUpBlockingClientFactory::GetSettingCenterClientInstance();
    if (client == nullptr || settings == nullptr) {
        Print("host: AdWarden gave no manager\n");
        Gdiplus::GdiplusShutdown(gdiplusToken);
        return 1;
    }
    CallbackPrinter printer;
    client->RegisterCallback(&printer);
    Print(FormatCall("Init", "", client->Init()));
    Print("host: ready; type help for the commands\n");

    Console console(*client, *settings);
    std::thread reader([&console, uiThread] {
        try {
            console.Run();
        } catch (...) {
            Print("host: the console stopped on an exception\n");
        }
        PostThreadMessageW(uiThread, WM_QUIT, 0, 0);
    });
    DuiLib::CPaintManagerUI::MessageLoop();
    reader.join();
    Gdiplus::GdiplusShutdown(gdiplusToken);
    Print("host: bye\n");
    return 0;
}
