// The smallest host of AdWarden.dll: its main thread is the UI library's UI
// thread, a callback prints each record and the blocked pop-up counter, and the
// manager runs until a key is pressed (or the input ends). Each step is the one
// docs/host-guide.md describes.

#include <windows.h>

#include <cstdio>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "AdWardenVersion.h"
#include "DuiLib/UIlib.h"
#include "PopUpBlockingClientFactory.h"

namespace {

using KelvaneMsgCenter::BlockingRecordModel;

std::mutex g_printLock; // callbacks arrive on the library's worker and on this program's threads

void Print(const std::string& line) {
    std::lock_guard<std::mutex> hold(g_printLock);
    std::fputs(line.c_str(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

std::string Utf8(const std::wstring& text) {
    if (text.empty()) {
        return {};
    }
    const int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr,
                                         nullptr);
    std::string out(size > 0 ? size : 0, '\0');
    if (size > 0) {
        WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &out[0], size, nullptr, nullptr);
    }
    return out;
}

std::string Describe(const BlockingRecordModel& record) {
    return "record status=" + std::to_string(record.status) + " type=" + std::to_string(record.popupType) +
           " blocks=" + std::to_string(record.blockCount) + " key=" + Utf8(record.popupId) + " \"" +
           Utf8(record.textA) + "\" / \"" + Utf8(record.textB) + "\"";
}

// Nothing a callback throws may go back into the library.
template <typename MakeLine>
void PrintFromCallback(MakeLine&& makeLine) noexcept {
    try {
        Print(makeLine());
    } catch (...) {
    }
}

class Printer final : public KelvaneMsgCenter::IPopUpBlockingCallback {
public:
    void OnBlockingRecords(const std::vector<BlockingRecordModel>& records) override {
        PrintFromCallback([&] {
            std::string text = "OnBlockingRecords: " + std::to_string(records.size()) + " record(s)";
            for (const BlockingRecordModel& record : records) {
                text += "\n  " + Describe(record);
            }
            return text;
        });
    }
    void OnBlockingRecord(const BlockingRecordModel& record) override {
        PrintFromCallback([&] { return "OnBlockingRecord " + Describe(record); });
    }
    void OnBlockedTimes(int blockedTimes) override {
        PrintFromCallback([&] { return "OnBlockedTimes counter=" + std::to_string(blockedTimes); });
    }
    void OnError(int code) override {
        PrintFromCallback([&] { return "OnError " + std::to_string(code); });
    }
    void OnStateChanged(int state) override {
        PrintFromCallback([&] { return "OnStateChanged " + std::to_string(state); });
    }
};

// The host owns the switches: a first start writes what a fresh installation
// has (blocking on); Init reads them.
void EnsureSwitches() {
    const wchar_t* const key = L"SOFTWARE\\Norvane\\Hubrix\\Kelvane";
    DWORD value = 0;
    DWORD size = sizeof(value);
    if (RegGetValueW(HKEY_CURRENT_USER, key, L"PopUpBlockingStatus", RRF_RT_REG_DWORD, nullptr, &value, &size) !=
        ERROR_SUCCESS) {
        value = 1;
        RegSetKeyValueW(HKEY_CURRENT_USER, key, L"PopUpBlockingStatus", REG_DWORD, &value, sizeof(value));
    }
}

} // namespace

int main() {
    Print(std::string("minimal-host: built against AdWarden ") + ADWARDEN_VERSION_STRING);
    // This thread becomes the UI thread: the library's windows and jobs run on it.
    DuiLib::CPaintManagerUI::SetInstance(GetModuleHandleW(nullptr));
    const DWORD uiThread = GetCurrentThreadId();
    EnsureSwitches();

    KelvaneMsgCenter::IPopUpBlockingClient* client = KelvaneCenter::PopUpBlockingClientFactory::GetClientInstance();
    Printer printer;
    client->RegisterCallback(&printer); // before Init, which reports its failures through OnError
    const int initResult = client->Init();
    Print("Init -> " + std::to_string(initResult));
    Print("GetBlockingRecords -> " + std::to_string(client->GetBlockingRecords()));

    // A key (any input) or the end of the input ends the message loop.
    Print("minimal-host: running; press Enter to stop");
    std::thread keyReader([uiThread] {
        std::getchar();
        PostThreadMessageW(uiThread, WM_QUIT, 0, 0);
    });
    DuiLib::CPaintManagerUI::MessageLoop();
    keyReader.join();

    // On the UI thread itself: UnInit deletes the library's windows at once.
    client->UnInit();
    client->UnRegisterCallback();
    Print("minimal-host: stopped");
    // AdWarden.dll is unloaded with the process; a host that loaded it with
    // LoadLibrary may call FreeLibrary from here on.
    return initResult == 0 ? 0 : 1;
}
