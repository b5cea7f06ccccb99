#pragma once

#include <windows.h>

#include <atomic>
#include <functional>
#include <mutex>
#include <string>

#include "IOperationQueue.h"
#include "IPopUpBlockingClient.h"
#include "manager/LoadConfig.h"

class PopWndItem;

namespace KelvaneCenter {

// The library's single manager: the host's client and settings interfaces over
// one object with static storage duration.
class AdWarden final : public KelvaneMsgCenter::IPopUpBlockingClient,
                       public KelvaneMsgCenter::IPopUpBlockingSettingMgr {
public:
    static AdWarden& Instance();

    AdWarden() = default;
    AdWarden(const AdWarden&) = delete;
    AdWarden& operator=(const AdWarden&) = delete;
    ~AdWarden() = default;

    // IPopUpBlockingClient
    int Init() override;
    void UnInit() override;
    void RegisterCallback(KelvaneMsgCenter::IPopUpBlockingCallback* cb) override;
    void UnRegisterCallback() override;
    unsigned int GetBlockingRecords() override;
    unsigned int SetBlockingStatus(const std::wstring& popupId, bool block) override;
    int GetBlockedTimes() override;
    int ScreenshotBlocking() override;

    // Both interfaces (slot 8 of the client, slot 0 of the settings view).
    int SetBlockingState(int state) override;

    // IPopUpBlockingSettingMgr
    int SetPowerState(int power) override;
    int SetFocusState(bool on) override;
    int SetClearPeriod(unsigned int period) override;

    // Engine notification handlers, bound by Init; they run on engine threads.
    void CallBackAdHat(const wchar_t* const& key, const HWND& window);
    void CallBackAdBlock(const wchar_t* const& key);
    void CallBackAdWindow(const HWND& window);
    void CallBackOtherAdNotify(const wchar_t* const& key, const HWND& window);

    // Record steps shared by the host requests and the notification jobs.
    static KelvaneMsgCenter::BlockingRecordModel ConvertToModel(PopWndItem* item);
    void NotifyRecord(const KelvaneMsgCenter::BlockingRecordModel& record);
    void GetValidWndItem(const wchar_t* key, HWND wnd, PopWndItem*& item);
    static bool IsAdWhiteProcess(const wchar_t* const& exePath);

    // Read-only views for tests.
    int BlockedTimes() const { return blockedTimes.load(); }
    SwitchConfig Switches() const { return switchConfig; }
    IOperationQueue* Queue() const { return getModelListQueue.load(); }

private:
    bool ConfigInit();
    bool StartFocusMode();
    void LoadBlockedTimes();
    void ListRecords();
    void ApplyStatus(const std::wstring& popupId, bool block);
    void HandleAdBlock(const std::wstring& key);
    void PushJob(const char* tag, std::function<void()> job);
    void NotifyIfUndecided(const std::wstring& key, HWND window, const char* jobTag);
    void BindEngineHandlers();
    void ReleaseQueue();

    // The host may swap the callback from any thread while the queue's worker
    // reads it; an atomic pointer keeps each read whole without taking a lock.
    std::atomic<KelvaneMsgCenter::IPopUpBlockingCallback*> callback{nullptr};
    // Read by engine threads, written by Init/UnInit on the host's thread.
    std::atomic<IOperationQueue*> getModelListQueue{nullptr};
    bool focusModeSupported = false;
    SwitchConfig switchConfig;
    // Incremented on engine threads, read and written on the queue's worker.
    std::atomic<int> blockedTimes{0};
    std::mutex settingLock;
};

} // namespace KelvaneCenter
