// Start and stop of the manager.

#include <new>

#include "AdWardenVersion.h"
#include "common/CallLoggingExceptions.h"
#include "common/LogLine.h"
#include "common/OwnModule.h"
#include "common/ThreadSlot.h"
#include "manager/AdWarden.h"
#include "manager/RecordRules.h"
#include "manager/UiThreadCall.h"
#include "queue/LowPowerOperationQueue.h"
#include "telemetry/DataReporter.h"
#include "vendor/PopUpBlockingVendor.h"

namespace KelvaneCenter {

namespace {
constexpr const char* kInitTag = "KelvaneCenter::AdWarden::Init";
constexpr const char* kUnInitTag = "KelvaneCenter::AdWarden::UnInit";
constexpr int kQueueCapacity = 100;
constexpr int kQueueFailed = 100;
// How long UnInit waits for the usage events reported before it to be sent.
constexpr unsigned long kReportFlushMs = 2000;

// The queue whose job this thread is running, null outside jobs.
const adw::ThreadSlot<const IOperationQueue> t_jobQueue;

int TrackerModeFor(const SwitchConfig& config) {
    if (config.PowerfulModeStatus == 1) {
        return 2;
    }
    return config.PopUpBlockingStatus == 1 ? 1 : 0;
}

void CALLBACK DeleteQueue(PTP_CALLBACK_INSTANCE, void* queue) noexcept {
    delete static_cast<IOperationQueue*>(queue);
}

// A job that stops the manager (the host calling UnInit or Init from inside a
// callback) runs on the worker that deleting the queue would wait for. The
// deletion goes to a pool thread instead, where the destructor waits until
// that job has returned; the pool keeps the library loaded meanwhile.
void DeleteOffThisThread(IOperationQueue* queue) {
    TP_CALLBACK_ENVIRON environment;
    ::InitializeThreadpoolEnvironment(&environment);
    if (HMODULE module = adw::OwnModule()) {
        ::SetThreadpoolCallbackLibrary(&environment, module);
    }
    const BOOL submitted = ::TrySubmitThreadpoolCallback(&DeleteQueue, queue, &environment);
    ::DestroyThreadpoolEnvironment(&environment);
    if (!submitted) {
        // Deleting here would join this very thread: keeping the stopped queue is the safe loss.
        adw::LogLine(adw::kLogError, "KelvaneCenter::AdWarden::ReleaseQueue", "stopped queue kept, err = ",
                     static_cast<unsigned>(::GetLastError()));
    }
}
} // namespace

int AdWarden::Init() {
    // A host's log then says which build it loaded.
    adw::LogLine(adw::kLogInfo, kInitTag, "AdWarden version ", ADWARDEN_VERSION_STRING);
    int result = kQueueFailed;
    bool threw = true;
    adw::CallLoggingExceptions(
        [&] {
            result = StartRunning();
            threw = false;
        },
        kInitTag, "failed by an exception: ");
    if (threw) {
        ReportError(kQueueFailed);
    }
    return result;
}

int AdWarden::StartRunning() {
    PopUpBlockingVendor& vendor = PopUpBlockingVendor::GetInstance();
    const unsigned vendorResult = vendor.Init();
    if (vendorResult != 0) {
        adw::LogLine(adw::kLogError, kInitTag, "failed, err =  ", vendorResult);
        ReportError(static_cast<int>(vendorResult));
        return static_cast<int>(vendorResult);
    }

    // A second Init without UnInit would otherwise leave the first queue running
    // and unowned: stop and release it (and the handlers feeding it) first.
    ReleaseQueue();

    OperationQueueBase* queue = new (std::nothrow) LowPowerOperationQueue();
    if (queue == nullptr) {
        adw::LogLine(adw::kLogError, kInitTag, "getModelListQueue", " is null");
        ReportError(kQueueFailed);
        return kQueueFailed;
    }
    queue->SetCapacity(kQueueCapacity);
    queue->SetDiscardHandler(&AdWarden::RetireDiscardedJob);
    queue->Start();
    getModelListQueue.store(queue);
    OpenHats();

    // Blocks notified from here on are counted on top of the persisted counter,
    // which the load below reads; until then nothing may write it.
    counterLoaded_.store(false);
    counterLoadPending_.store(false);
    blockedAtInit_.store(blockedTimes.load());
    ApplyFocusConfig();
    BindEngineHandlers();

    if (!ConfigInit()) {
        // Without the key there is no stored counter to load or to overwrite:
        // blocks are sent to the host as they are counted.
        counterLoaded_.store(true);
        adw::LogLine(adw::kLogError, kInitTag, "Config init failed!");
        return 101;
    }

    vendor.SetTrackerState(TrackerModeFor(switchConfig));

    // The first job of the period loads the counter before its own work, so a
    // full queue dropping its oldest job cannot lose the load; this one only
    // makes sure a job comes. It is queued also when focus mode fails to
    // start below: blocks are then still counted, stored and sent.
    counterLoadPending_.store(true);
    PushToQueue([] {});

    if (switchConfig.PopUpBlockingStatus == 1 && switchConfig.FocusModeStatus == 1 && !StartFocusMode()) {
        adw::LogLine(adw::kLogError, kInitTag, "Config init failed!");
        return 101;
    }
    return 0;
}

void AdWarden::UnInit() {
    // Each step is guarded on its own: one that fails (an allocation, say)
    // must not keep the later ones, and above all the engine's release, from running.
    const auto step = [](auto&& fn) { adw::CallLoggingExceptions(fn, kUnInitTag, "failed by an exception: "); };
    step([this] { StopFocusScene(); });
    // No hat is made from here on; the queue goes before the hats, so no
    // hat job is dispatched after CloseHats has drained the UI thread.
    step([this] {
        std::lock_guard<std::mutex> hold(hatLock_);
        hatsOpen_ = false;
    });
    step([this] { ReleaseQueue(); });
    bool uiThreadAnswers = true;
    step([&] { uiThreadAnswers = CloseHats(); });
    step([&] { DestroyCaptureDialog(uiThreadAnswers); });
    // The UI thread does not wait: the reporter sends the rest on its own, and
    // its pool keeps the library loaded until it has.
    step([] { DataReporter::Flush(OnUiThread() ? 0 : kReportFlushMs); });
    step([] { PopUpBlockingVendor::GetInstance().UnInit(); });
}

AdWarden::JobScope::JobScope(const IOperationQueue* queue) {
    t_jobQueue.Set(queue);
}

AdWarden::JobScope::~JobScope() {
    t_jobQueue.Set(nullptr);
}

void AdWarden::LoadCounterIfPending() {
    if (JobIsCurrent() && counterLoadPending_.exchange(false)) {
        LoadBlockedTimes();
    }
}

void AdWarden::Enqueue(OperationQueueBase& queue, std::function<void()> run, Asker asker) {
    if (asker == Asker::Host) {
        queue.PushKept(std::move(run));
    } else {
        queue.Push(std::move(run));
    }
}

bool AdWarden::JobIsCurrent() const {
    const IOperationQueue* const running = t_jobQueue.Get();
    return running == nullptr || running == getModelListQueue.load();
}

// Disconnects the handlers, then takes the queue out of reach: once no host
// operation or handler is inside it and no job is calling the host, it is
// stopped (pending jobs discarded, the worker joined) and deleted.
void AdWarden::ReleaseQueue() {
    PopUpBlockingVendor::GetInstance().ClearTargets();
    queueCalls_.Close();
    IOperationQueue* queue = getModelListQueue.exchange(nullptr);
    queueCalls_.Open();
    if (queue == nullptr) {
        return;
    }
    // Jobs of this queue see it is no longer current and stop calling the host;
    // a call already made is waited for here, while serving sent messages, so a
    // callback that SendMessage's to this (the host's UI) thread cannot block the join below.
    // On the UI thread the wait is bounded, since the call may be waiting for
    // a job of the UI library's queue: the worker is then joined by a pool
    // thread once the call has returned (it reaches the host no more).
    const bool callsOver = hostCalls_.Close(WaitLimitForThisThread());
    hostCalls_.Open();
    if (!callsOver) {
        adw::LogLine(adw::kLogError, kUnInitTag, "host callback still in a call, queue stopped in the background");
        DeleteOffThisThread(queue);
        return;
    }
    queue->Stop();
    if (t_jobQueue.Get() == queue) {
        DeleteOffThisThread(queue);
    } else {
        delete queue;
    }
}

void AdWarden::BindEngineHandlers() {
    PopUpBlockingVendor& vendor = PopUpBlockingVendor::GetInstance();
    vendor.SetAdHatTarget([this](const wchar_t* const& key, HWND const& window) { CallBackAdHat(key, window); });
    vendor.SetAdWindowTarget([this](HWND const& window) { CallBackAdWindow(window); });
    vendor.SetOtherAdTarget(
        [this](const wchar_t* const& key, HWND const& window) { CallBackOtherAdNotify(key, window); });
    vendor.SetAdBlockTarget([this](const wchar_t* const& key) { CallBackAdBlock(key); });
}

bool AdWarden::ConfigInit() {
    if (!LoadConfig::GetSwitchConfig(switchConfig)) {
        adw::LogLine(adw::kLogError, "KelvaneCenter::AdWarden::ConfigInit", "Load Config Failed!");
        return false;
    }
    return true;
}

void AdWarden::RebaseBlockedTimes(int base, int since) {
    int current = blockedTimes.load();
    while (!blockedTimes.compare_exchange_weak(current, RebasedCount(base, current, since))) {
    }
}

// Worker thread: the persisted counter when it is positive, else the engine's
// own total, which then becomes the persisted counter. Blocks notified while
// Init ran are added to the persisted counter, not lost under it; the engine's
// total already holds its own blocks, so only later ones are added to it.
void AdWarden::LoadBlockedTimes() {
    int stored = 0;
    if (LoadConfig::GetBlockTimesConfig(stored) && stored > 0) {
        const int since = blockedAtInit_.load();
        RebaseBlockedTimes(stored, since);
        if (blockedTimes.load() != stored) {
            LoadConfig::SetBlockTimesConfig(blockedTimes.load());
        }
    } else {
        const int since = blockedTimes.load();
        const int total = static_cast<int>(PopUpBlockingVendor::GetInstance().GetBlockCount());
        RebaseBlockedTimes(total, since);
        LoadConfig::SetBlockTimesConfig(blockedTimes.load());
    }
    counterLoaded_.store(true);
    GetBlockedTimes();
}

} // namespace KelvaneCenter
