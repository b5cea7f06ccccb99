// Start and stop of the manager.

#include <new>

#include "common/LogLine.h"
#include "manager/AdWarden.h"
#include "queue/LowPowerOperationQueue.h"
#include "vendor/PopUpBlockingVendor.h"

namespace KelvaneCenter {

namespace {
constexpr const char* kInitTag = "KelvaneCenter::AdWarden::Init";
constexpr int kQueueCapacity = 100;

int TrackerModeFor(const SwitchConfig& config) {
    if (config.PowerfulModeStatus == 1) {
        return 2;
    }
    return config.PopUpBlockingStatus == 1 ? 1 : 0;
}
} // namespace

int AdWarden::Init() {
    PopUpBlockingVendor& vendor = PopUpBlockingVendor::GetInstance();
    const unsigned vendorResult = vendor.Init();
    if (vendorResult != 0) {
        adw::LogLine(adw::kLogError, kInitTag, "failed, err =  ", vendorResult);
        if (auto* cb = callback.load()) {
            cb->OnError(static_cast<int>(vendorResult));
        }
        return static_cast<int>(vendorResult);
    }

    // A second Init without UnInit would otherwise leave the first queue running
    // and unowned: stop and release it (and the handlers feeding it) first.
    ReleaseQueue();

    IOperationQueue* queue = new (std::nothrow) LowPowerOperationQueue();
    if (queue == nullptr) {
        adw::LogLine(adw::kLogError, kInitTag, "getModelListQueue", " is null");
        if (auto* cb = callback.load()) {
            cb->OnError(100);
        }
        return 100;
    }
    queue->SetCapacity(kQueueCapacity);
    queue->Start();
    getModelListQueue.store(queue);

    BindEngineHandlers();

    if (!ConfigInit()) {
        adw::LogLine(adw::kLogError, kInitTag, "Config init failed!");
        return 101;
    }

    vendor.SetTrackerState(TrackerModeFor(switchConfig));

    if (switchConfig.PopUpBlockingStatus == 1 && switchConfig.FocusModeStatus == 1 && !StartFocusMode()) {
        adw::LogLine(adw::kLogError, kInitTag, "Config init failed!");
        return 101;
    }

    queue->Push([this] { LoadBlockedTimes(); });
    return 0;
}

void AdWarden::UnInit() {
    ReleaseQueue();
    PopUpBlockingVendor::GetInstance().UnInit();
}

// Handlers are bound only while a queue exists. Disconnecting them first means
// that, once ClearTargets returns, no handler is running or will run, so none
// can push into the queue destroyed here or reach a manager that is stopping.
void AdWarden::ReleaseQueue() {
    IOperationQueue* queue = getModelListQueue.load();
    if (queue == nullptr) {
        return;
    }
    PopUpBlockingVendor::GetInstance().ClearTargets();
    queue->Stop();
    getModelListQueue.store(nullptr);
    delete queue;
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

bool AdWarden::StartFocusMode() {
    if (!focusModeSupported) {
        return true;
    }
    // No focus-scene monitor is part of this build: a supported focus mode
    // cannot be started.
    adw::LogLine(adw::kLogError, "KelvaneCenter::AdWarden::StartFocusMode", "Start Monitor Failed!");
    return false;
}

// Worker thread: the persisted counter when it is positive, else the engine's
// own total, which then becomes the persisted counter.
void AdWarden::LoadBlockedTimes() {
    int stored = 0;
    if (LoadConfig::GetBlockTimesConfig(stored)) {
        blockedTimes.store(stored);
        if (stored > 0) {
            GetBlockedTimes();
            return;
        }
    }
    const int total = static_cast<int>(PopUpBlockingVendor::GetInstance().GetBlockCount());
    blockedTimes.store(total);
    LoadConfig::SetBlockTimesConfig(total);
    GetBlockedTimes();
}

} // namespace KelvaneCenter
