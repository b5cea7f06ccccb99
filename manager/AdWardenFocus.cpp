// Focus mode: the manager's side of the focus-scene monitor.

#include <atomic>
#include <memory>
#include <new>
#include <utility>

#include "common/LogLine.h"
#include "focus/FocusScene.h"
#include "manager/AdWarden.h"
#include "manager/FocusConfig.h"

namespace KelvaneCenter {

bool AdWarden::StartFocusMode() {
    if (!focusModeSupported.load()) {
        return true;
    }
    if (!FocusScene::GetInstance().StartMonitor()) {
        adw::LogLine(adw::kLogError, "KelvaneCenter::AdWarden::StartFocusMode", "Start Monitor Failed!");
        return false;
    }
    return true;
}

// On the host's thread in Init, before the engine's handlers are bound, so the
// first notification already sees the gates.
void AdWarden::ApplyFocusConfig() {
    FocusConfig config = ReadFocusConfig();
    focusModeSupported.store(config.focusModeSupported);
    closeAdWindowEnabled.store(config.closeAdWindowEnabled);
    FocusScene& scene = FocusScene::GetInstance();
    scene.SetProcessLists(std::move(config.exemptProcesses), std::move(config.sceneProcesses));
    // Hats held back during a scene are looked at again after a judgement, on
    // the worker: the monitor's thread only hands the check over, and only
    // while hats are held and no look is queued yet, so a burst of judgements
    // cannot crowd the host's and the engine's jobs out of the queue.
    if (config.focusModeSupported) {
        scene.SetSceneCallback([this](bool) {
            if (!hatsHeld_.load() || resumeQueued_.exchange(true)) {
                return;
            }
            // Cleared when the job starts, or when it is dropped or refused.
            struct Queued {
                std::atomic<bool>& flag;
                ~Queued() { flag.store(false); }
            };
            Queued* const flag = new (std::nothrow) Queued{resumeQueued_};
            if (flag == nullptr) {
                resumeQueued_.store(false);
                return;
            }
            std::shared_ptr<Queued> queued(flag);
            PushToQueue([this, queued]() mutable {
                queued.reset();
                ResumeHeldHats();
            });
        });
    } else {
        scene.SetSceneCallback(nullptr);
    }
}

// A stopped manager leaves no monitor behind: its hooks see every input of the
// desktop and run this library's code, which the host may unload once UnInit
// has returned. Only the manager starts the monitor, so a running one is its
// own; one that is not running is left alone, so that UnInit logs nothing.
// A later Init starts it again when the switches say so.
void AdWarden::StopFocusScene() {
    FocusScene& scene = FocusScene::GetInstance();
    if (scene.IsMonitoring() && !scene.StopMonitor()) {
        adw::LogLine(adw::kLogError, "KelvaneCenter::AdWarden::StopFocusScene", "focus-scene monitor not stopped");
    }
    scene.SetSceneCallback(nullptr);
}

} // namespace KelvaneCenter
