#pragma once

#include <windows.h>

#include <atomic>
#include <functional>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "IOperationQueue.h"
#include "IPopUpBlockingClient.h"
#include "common/Rundown.h"
#include "manager/HostCallback.h"
#include "manager/LoadConfig.h"
#include "manager/NotificationSlotPool.h"
#include "manager/SettingLock.h"
#include "queue/OperationQueueBase.h"
#include "telemetry/DataReporter.h"
#include "telemetry/ReportSequence.h"

class PopWndItem;

namespace KelvaneCenter {
class BlockingPopup;
class CaptureWindowDialog;
}

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

    // Closes and deletes the capture overlay on the UI thread, from any thread
    // (waiting for the UI thread, bounded, unless told the UI thread is busy); UnInit calls it.
    void DestroyCaptureDialog(bool waitForUiThread = true);

    // Read-only views for tests.
    int BlockedTimes() const { return blockedTimes.load(); }
    SwitchConfig Switches() const {
        std::lock_guard<std::mutex> read(switchLock_);
        return switchConfig;
    }
    IOperationQueue* Queue() const { return getModelListQueue.load(); }
    // Between an Init that made the queue and UnInit.
    bool IsStarted() const { return getModelListQueue.load() != nullptr; }
    CaptureWindowDialog* CaptureDialog() const { return captureDialog; } // on the UI thread

private:
    void SetCallback(KelvaneMsgCenter::IPopUpBlockingCallback* cb, const char* tag);
    bool ConfigInit();
    bool StartFocusMode();
    // Takes the gates and the process lists for the focus-scene parts from the registry.
    void ApplyFocusConfig();
    // For UnInit: stops the focus-scene monitor when it runs.
    void StopFocusScene();
    void LoadBlockedTimes();
    void ListRecords();
    void ApplyStatus(const std::wstring& popupId, bool block);
    void HandleAdBlock(const std::wstring& key);
    int StartRunning();
    // Hands `job` to the work queue; false, with `job` left to the caller, when
    // there is none (not started, or stopping). A full queue drops its oldest
    // engine job, never one the host asked for, so a burst of ad windows cannot
    // lose the host's request.
    enum class Asker { Engine, Host };
    template <typename Job>
    bool PushToQueue(Job&& job, Asker asker = Asker::Engine);
    // An engine notification's job: small enough to live inside the queue's
    // function object, so the engine's thread allocates nothing to push it.
    struct EngineJob {
        AdWarden* manager;
        NotificationSlot* slot;
        void operator()() const { manager->RunEngineJob(*slot); }
    };
    // Engine thread: the notification in a slot, its ticket taken when it owes
    // a report (`report` not null), pushed to the queue as an EngineJob.
    void HandOver(NotificationSlot::Kind kind, const wchar_t* key, HWND window, NotificationReport::Report report,
                  const char* tag);
    // Worker thread: the job of a handed-over notification.
    void RunEngineJob(NotificationSlot& slot);
    // Sends what the slot's notification still owes and gives the slot back.
    void RetireSlot(NotificationSlot& slot) noexcept;
    // The queue's discard handler: an engine job that will not run retires its slot.
    static void RetireDiscardedJob(std::function<void()>& item) noexcept;
    void HandleAdHat(const std::wstring& key, HWND window);
    // Around every job on the worker: the queue it belongs to, for JobIsCurrent.
    struct JobScope {
        explicit JobScope(const IOperationQueue* queue);
        ~JobScope();
        JobScope(const JobScope&) = delete;
        JobScope& operator=(const JobScope&) = delete;
    };
    // The first job of a period loads the persisted counter before its own work.
    void LoadCounterIfPending();
    static void Enqueue(OperationQueueBase& queue, std::function<void()> run, Asker asker);
    bool NotifyIfUndecided(const std::wstring& key, HWND window, const char* jobTag,
                           std::wstring* exePath = nullptr);
    static bool WindowOfProgram(HWND window, const std::wstring& exePath);
    void BindEngineHandlers();
    void ReleaseQueue();
    // Hat windows (UI thread, except OpenHats and CloseHats for Init and UnInit).
    void OpenHats();
    void DispatchAdHat(HWND window, const std::wstring& key);
    void CreateAdHatWnd(HWND window, const std::wstring& key, unsigned generation);
    BlockingPopup* MakeHatFor(HWND window);
    void PrepareSpareHat(unsigned generation);
    bool NeedExtraHat(HWND window);
    bool CloseHats();
    // Hats held back while a focus scene lasts on their ad window's monitor.
    bool HoldHatForScene(HWND window, const std::wstring& key);
    void ResumeHeldHats();
    // A job of a queue that has been stopped since it started (the host stopped
    // the manager from inside a callback) may still be finishing: it must not
    // reach the host any more. No job calls the engine after calling the host.
    bool JobIsCurrent() const;
    // Calls `fn(callback)` when a callback is registered and the caller is not a stale job.
    template <typename Fn>
    void CallHost(Fn&& fn);
    void ReportError(int code) noexcept;
    // The capture overlay (UI thread).
    void OpenCaptureDialog(unsigned generation);
    void DeleteCaptureDialog();
    // Sets the counter to `base` plus the blocks counted since it read `since`.
    void RebaseBlockedTimes(int base, int since);

    HostCallback callback;
    // Read by engine and host threads, written by Init/UnInit; every use of the
    // queue happens inside queueCalls_, so UnInit can wait them out before it
    // stops and deletes the queue.
    std::atomic<OperationQueueBase*> getModelListQueue{nullptr};
    adw::Rundown queueCalls_;
    // Calls to the host made by jobs; UnInit waits them out before it joins the
    // worker, serving sent messages meanwhile.
    adw::Rundown hostCalls_;
    // Set by Init from the host's registry values; read by host and engine threads.
    std::atomic<bool> focusModeSupported{false};
    std::atomic<bool> closeAdWindowEnabled{false};
    // SetBlockingState replaces all three switches while SetPowerState and
    // SetFocusState each change one on other host threads: every read and write
    // of them outside Init (which the host never runs beside another
    // operation) is made under this lock, which is held for nothing else.
    SwitchConfig switchConfig;
    mutable std::mutex switchLock_;
    // Incremented on engine threads, read and written on the queue's worker.
    std::atomic<int> blockedTimes{0};
    // Until the persisted counter is loaded, blocks only count: nothing writes
    // it, and the load adds the blocks counted since Init read blockedAtInit_.
    std::atomic<bool> counterLoaded_{false};
    // Set by Init; the first job of the period that finds it set loads the counter.
    std::atomic<bool> counterLoadPending_{false};
    std::atomic<int> blockedAtInit_{0};
    // The engine notifications' usage events, in the order the notifications came.
    ReportSequence reportSequence_{DataReporter::kMaxPendingReports};
    // Slots of the notifications handed to the queue; kept for the process,
    // since a queue stopped in the background may retire its slots after UnInit.
    NotificationSlotPool slots_;
    SettingLock settingLock;
    // Owned hats; guarded by hatLock_, since UnInit takes them from the UI thread.
    std::vector<BlockingPopup*> hatWindows;
    std::mutex hatLock_;
    // Each Running period opens the hats anew; a hat job of an earlier period does nothing.
    unsigned hatGeneration_ = 0;
    bool hatsOpen_ = false;
    const BlockingPopup* hatInCreation_ = nullptr;
    // A hat built hidden once a hat has shown, so that the next one is only
    // placed and shown (building one from its layout costs milliseconds).
    BlockingPopup* spareHat_ = nullptr;
    struct HeldHat {
        HWND window;
        std::wstring key;
    };
    std::vector<HeldHat> heldHats_; // under hatLock_
    // Read by the focus monitor's thread, which must not wait for hatLock_:
    // whether any hat is held, and whether a look at them is already queued.
    std::atomic<bool> hatsHeld_{false};
    std::atomic<bool> resumeQueued_{false};
    // Touched on the UI thread only (or by DestroyCaptureDialog once no UI thread is left).
    CaptureWindowDialog* captureDialog = nullptr;
    // Moved on by DestroyCaptureDialog: an opening dispatched before it opens nothing.
    std::atomic<unsigned> captureGeneration_{0};
};

template <typename Job>
bool AdWarden::PushToQueue(Job&& job, Asker asker) {
    adw::RundownRef call(queueCalls_);
    OperationQueueBase* queue = call ? getModelListQueue.load() : nullptr;
    if (queue == nullptr) {
        return false;
    }
    // Wrapped in one callable: one allocation per push, not two.
    Enqueue(*queue,
            [this, queue, job = std::forward<Job>(job)]() mutable {
                const JobScope scope(queue);
                LoadCounterIfPending();
                job();
            },
            asker);
    return true;
}

template <typename Fn>
void AdWarden::CallHost(Fn&& fn) {
    adw::RundownRef call(hostCalls_);
    if (call && JobIsCurrent()) {
        callback.Call(std::forward<Fn>(fn));
    }
}

} // namespace KelvaneCenter
