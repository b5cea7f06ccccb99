#pragma once

// The manager as the host sees it: the real DLL, the scriptable engine beside
// the executable, the real (Wine) registry, and a callback that records what
// reaches the host and on which thread.

#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "AdPopBlocker64/EngineScriptClient.h"
#include "ChildProcess.h"
#include "HostRecorder.h"
#include "PopUpBlockingClientFactory.h"
#include "TestSupport.h"
#include "common/LogLine.h"
#include "common/UniqueResource.h"

namespace hosttest {

using KelvaneMsgCenter::BlockingRecordModel;

constexpr wchar_t kConfigKey[] = L"SOFTWARE\\Norvane\\Hubrix\\Kelvane";

using adwtest::HostEvent;

// Every test starts with the manager stopped, the engine stand-in at its
// defaults, the switches' key present and empty, and a callback registered.
class HostTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(engine.Ok()) << "no scriptable engine beside the test executable";
        client->UnInit();
        engine.Reset();
        adwtest::DeleteHkcuTree(kConfigKey);
        ASSERT_TRUE(adwtest::CreateKey(HKEY_CURRENT_USER, kConfigKey));
        client->RegisterCallback(&host);
    }

    void TearDown() override {
        ReleaseWorker();
        client->UnInit();
        client->UnRegisterCallback(); // no call is in flight afterwards
        host.onCall = nullptr;
        ads.reset();
        engine.Reset();
        adwtest::DeleteHkcuTree(kConfigKey);
        if (machineKeyWritten_) {
            RegDeleteTreeW(HKEY_LOCAL_MACHINE, kConfigKey);
            RegDeleteKeyW(HKEY_LOCAL_MACHINE, kConfigKey);
        }
    }

    void SetSwitch(const wchar_t* name, DWORD value) {
        ASSERT_TRUE(adwtest::SetDword(HKEY_CURRENT_USER, kConfigKey, name, value));
    }
    // The focus gates and lists live in the machine's key; a test writing them
    // holds the hklm_config lock, and the key goes when it ends.
    void SetGate(const wchar_t* name, DWORD value) {
        machineKeyWritten_ = true;
        ASSERT_TRUE(adwtest::CreateKey(HKEY_LOCAL_MACHINE, kConfigKey));
        ASSERT_TRUE(adwtest::SetDword(HKEY_LOCAL_MACHINE, kConfigKey, name, value));
    }
    void SetGateList(const wchar_t* name, const std::wstring& names) { // names separated by '\0'
        machineKeyWritten_ = true;
        const std::wstring block = names + L'\0' + L'\0';
        ASSERT_TRUE(adwtest::CreateKey(HKEY_LOCAL_MACHINE, kConfigKey));
        ASSERT_EQ(RegSetKeyValueW(HKEY_LOCAL_MACHINE, kConfigKey, name, REG_MULTI_SZ, block.c_str(),
                                  static_cast<DWORD>(block.size() * sizeof(wchar_t))),
                  ERROR_SUCCESS);
    }

    // Init, then wait for the counter load that Init queues, so that later
    // expectations do not race it.
    void InitAndSettle() {
        ASSERT_EQ(client->Init(), 0);
        ASSERT_TRUE(host.WaitFor(HostEvent::BlockedTimes, 1));
        host.Clear();
    }

    // Notifies a hat and waits until the worker has done its job (a listing
    // queued behind it has answered); returns the engine's answer.
    int QueueHat(const wchar_t* key, HWND window) {
        const size_t lists = host.CountOf(HostEvent::Records);
        const int fired = engine.FireAdHat(key, window);
        EXPECT_EQ(client->GetBlockingRecords(), 0u);
        EXPECT_TRUE(host.WaitFor(HostEvent::Records, lists + 1));
        return fired;
    }

    // Parks the worker in the host's answer to a listing (jobs pushed meanwhile
    // wait) until ReleaseWorker or the test's end.
    void HoldWorkerInHost() {
        workerHeld_.reset(CreateEventW(nullptr, TRUE, FALSE, nullptr));
        host.onCall = [this](HostEvent::Kind kind) {
            if (kind == HostEvent::Records && !workerInHost_.exchange(true))
                WaitForSingleObject(workerHeld_.get(), 30000);
        };
        ASSERT_EQ(client->GetBlockingRecords(), 0u);
        ASSERT_TRUE(adwtest::WaitUntil([this] { return workerInHost_.load(); }));
    }
    void ReleaseWorker() { if (workerHeld_) SetEvent(workerHeld_.get()); }

    static SYSTEMTIME LocalTimeDaysAgo(double days) {
        SYSTEMTIME now;
        GetLocalTime(&now);
        ULARGE_INTEGER ticks;
        SystemTimeToFileTime(&now, reinterpret_cast<FILETIME*>(&ticks));
        ticks.QuadPart -= static_cast<long long>(days * 864000000000.0); // 100 ns units
        SYSTEMTIME out;
        FileTimeToSystemTime(reinterpret_cast<FILETIME*>(&ticks), &out);
        return out;
    }

    // A pop-up of the fixture program; `exePath` names another (this test's own,
    // for ad windows it shows itself: a hat's ad window must be its program's).
    static adpop::EngineItem Item(const std::wstring& key, int handleType, unsigned blockCount = 0,
                                  const std::wstring& exePath = adwtest::Fixture(L"unsigned_app.exe")) {
        adpop::EngineItem item;
        item.blockCount = blockCount;
        item.key = key;
        item.textA = key + L" A";
        item.textB = key + L" B";
        item.handleType = handleType;
        item.popupType = 1;
        item.softwareName = L"Some Software";
        item.exePath = exePath;
        return item;
    }

    static std::wstring Fixture(const wchar_t* name) { return adwtest::Fixture(name); }

    // Starts a fixture program's ad windows ("x,y,w,h[,flags]" each, blank-separated,
    // titled "ad0", "ad1", ...) and returns them in order once all are visible.
    std::vector<HWND> ShowAds(const std::wstring& geometry, int count, const wchar_t* exe = L"unsigned_app.exe") {
        ads = std::make_unique<adwtest::ChildProcess>(Fixture(exe), L"--ads " + geometry);
        std::vector<HWND> windows(static_cast<size_t>(count));
        EXPECT_TRUE(adwtest::WaitUntil([&] {
            for (int i = 0; i < count; ++i) {
                windows[static_cast<size_t>(i)] = FindWindowW(L"AdFixture", (L"ad" + std::to_wstring(i)).c_str());
            }
            return std::all_of(windows.begin(), windows.end(), [](HWND w) { return w && IsWindowVisible(w); });
        }));
        return windows;
    }

    KelvaneMsgCenter::IPopUpBlockingClient* client = KelvaneCenter::PopUpBlockingClientFactory::GetClientInstance();
    KelvaneMsgCenter::IPopUpBlockingSettingMgr* settings =
        KelvaneCenter::PopUpBlockingClientFactory::GetSettingCenterClientInstance();
    adpop::EngineScriptClient engine;
    adwtest::HostRecorder host;
    std::unique_ptr<adwtest::ChildProcess> ads;

private:
    bool machineKeyWritten_ = false;
    adw::UniqueHandle workerHeld_;
    std::atomic<bool> workerInHost_{false};
};

// A window the engine can name: message-only, so no display is needed. A
// WM_APP sent to it runs `onApp` on its thread.
class MessageWindow {
public:
    explicit MessageWindow(std::function<void()> onApp = nullptr)
        : onApp_(std::move(onApp)),
          hwnd_(CreateWindowExW(0, L"STATIC", L"ad", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr)) {
        SetWindowLongPtrW(hwnd_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
        SetWindowLongPtrW(hwnd_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&Proc));
    }
    ~MessageWindow() {
        if (hwnd_ != nullptr) DestroyWindow(hwnd_);
    }
    MessageWindow(const MessageWindow&) = delete;
    MessageWindow& operator=(const MessageWindow&) = delete;
    HWND get() const { return hwnd_; }

private:
    static LRESULT CALLBACK Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
        auto* self = reinterpret_cast<MessageWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA));
        if (message == WM_APP && self->onApp_) self->onApp_();
        return message == WM_APP ? 0 : DefWindowProcW(window, message, wParam, lParam);
    }
    std::function<void()> onApp_;
    HWND hwnd_;
};

} // namespace hosttest
