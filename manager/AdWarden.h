#pragma once

#include <atomic>
#include <mutex>
#include <vector>

#include "IOperationQueue.h"
#include "IPopUpBlockingClient.h"
#include "manager/LoadConfig.h"

namespace KelvaneCenter {

class BlockingPopup;
class CaptureWindowDialog;

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

    // Read-only views for the library's other parts and for tests.
    int BlockedTimes() const { return blockedTimes.load(); }
    SwitchConfig Switches() const { return switchConfig; }
    IOperationQueue* Queue() const { return getModelListQueue.load(); }

private:
    // The host may swap the callback from any thread while the queue's worker
    // reads it; an atomic pointer keeps each read whole without taking a lock.
    std::atomic<KelvaneMsgCenter::IPopUpBlockingCallback*> callback{nullptr};
    std::vector<BlockingPopup*> hatWindows;
    // Read by engine threads, written by Init/UnInit on the host's thread.
    std::atomic<IOperationQueue*> getModelListQueue{nullptr};
    CaptureWindowDialog* captureDialog = nullptr;
    bool focusModeSupported = false;
    bool closeAdWindowEnabled = false;
    SwitchConfig switchConfig;
    // Incremented on engine threads, read and written on the queue's worker.
    std::atomic<int> blockedTimes{0};
    std::mutex settingLock;
};

} // namespace KelvaneCenter
