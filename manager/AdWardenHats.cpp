// The hat windows over undecided ad windows. They belong to the UI thread: it
// creates, prunes and deletes them; UnInit on another thread hands them back
// to it. The list is shared with UnInit, so it is guarded by hatLock_, which is
// never held while a window is created or destroyed (that sends messages, which
// may reach the host's own windows on that thread).

#include <algorithm>
#include <new>
#include <utility>

#include "common/LogLine.h"
#include "focus/FocusScene.h"
#include "manager/AdWarden.h"
#include "manager/UiThreadCall.h"
#include "vendor/AdPopWndTracker.h"
#include "ui/BlockingPopup.h"

namespace KelvaneCenter {

namespace {
constexpr const char* kCreateHatTag = "KelvaneCenter::AdWarden::CreateAdHatWnd";
constexpr const char* kNeedExtraHatTag = "KelvaneCenter::AdWarden::NeedExtraHat";
constexpr const char* kUnInitTag = "KelvaneCenter::AdWarden::UnInit";
// How long UnInit waits for the UI thread to destroy the hats.
constexpr DWORD kHatCloseWaitMs = 5000;
// Hats are windows of the host's process, which has a quota of them: however
// many windows an ad program flags, no more hats than this are open at once.
constexpr size_t kMaxLiveHats = 32;

bool IsLayered(HWND window) {
    return (GetWindowLongW(window, GWL_EXSTYLE) & WS_EX_LAYERED) != 0;
}

// A scene counts while the monitor runs: a stopped one judges nothing any more.
bool SceneOnMonitorOf(HWND window) {
    const FocusScene& scene = FocusScene::GetInstance();
    return scene.IsMonitoring() && scene.IsSceneActiveOn(MonitorFromWindow(window, MONITOR_DEFAULTTONEAREST));
}

bool HasWindow(const BlockingPopup* hat) {
    const HWND window = hat->GetHWND();
    return window != nullptr && IsWindow(window);
}

// UI thread: each window goes before its object, so no message of it can
// reach an object being deleted.
void DeleteHats(const std::vector<BlockingPopup*>& hats, const BlockingPopup* spare = nullptr) {
    for (BlockingPopup* hat : hats) {
        if (hat == spare) {
            continue;
        }
        if (HasWindow(hat)) {
            DestroyWindow(hat->GetHWND());
        }
        delete hat;
    }
}
} // namespace

void AdWarden::OpenHats() {
    std::lock_guard<std::mutex> hold(hatLock_);
    ++hatGeneration_;
    hatsOpen_ = true;
}

// Worker thread: the UI thread creates the hat. A job dispatched in a period
// that UnInit has since ended does nothing.
void AdWarden::DispatchAdHat(HWND window, const std::wstring& key) {
    unsigned generation = 0;
    {
        std::lock_guard<std::mutex> hold(hatLock_);
        if (!hatsOpen_) {
            return;
        }
        generation = hatGeneration_;
    }
    DispatchToUiThread(kCreateHatTag, [this, window, key, generation] { CreateAdHatWnd(window, key, generation); });
}

// UI thread.
void AdWarden::CreateAdHatWnd(HWND window, const std::wstring& key, unsigned generation) {
    BlockingPopup* hat = nullptr;
    std::vector<BlockingPopup*> pruned;
    std::vector<const BlockingPopup*> autoHidden; // among the pruned
    {
        std::lock_guard<std::mutex> hold(hatLock_);
        if (!hatsOpen_ || generation != hatGeneration_) {
            return;
        }
        // The ad window may have gone while the job waited for this thread.
        if (!IsWindow(window) || !IsWindowVisible(window)) {
            adw::LogLine(adw::kLogInfo, kCreateHatTag, "ad window gone before its hat was made");
            return;
        }
        if (HoldHatForScene(window, key)) {
            return;
        }
        // A hat whose ad window has gone would close at its next tick: it
        // closes now, so that it holds no place under the cap meanwhile.
        std::vector<BlockingPopup*> kept;
        for (BlockingPopup* listed : hatWindows) {
            if (listed == nullptr) {
                continue;
            }
            if (listed->CloseIfAdWindowGone()) {
                autoHidden.push_back(listed);
            }
            (listed->closed ? pruned : kept).push_back(listed);
        }
        hatWindows.swap(kept);
        if (spareHat_ != nullptr && spareHat_->closed) { // its window was closed by someone
            pruned.push_back(spareHat_);
            spareHat_ = nullptr;
        }
        hat = MakeHatFor(window);
        hatInCreation_ = hat;
    }
    const bool opened = hat != nullptr && hat->Open(window, key, kCreateHatTag);
    if (hat != nullptr && !opened) {
        adw::LogLine(adw::kLogError, kCreateHatTag, "hat window not created, layout missing or malformed: ",
                     hat->GetSkinFile().GetData());
    }
    // The hats that closed go once the new one is shown: destroying windows
    // first would keep the new hat waiting on the display.
    for (const BlockingPopup* gone : autoHidden) {
        gone->Report(BlockingPopup::kAutoHide);
    }
    DeleteHats(pruned);
    if (hat == nullptr) {
        return;
    }
    bool orphaned = false;
    {
        std::lock_guard<std::mutex> hold(hatLock_);
        hatInCreation_ = nullptr;
        orphaned = !hatsOpen_ || generation != hatGeneration_;
        if (orphaned) {
            // UnInit closes hats before it takes the list: a hat deleted here
            // must not be in it any more, or it would be deleted twice.
            hatWindows.erase(std::remove(hatWindows.begin(), hatWindows.end(), hat), hatWindows.end());
        }
    }
    if (orphaned) {
        // The host stopped the manager while the hat was being made (from a
        // message this thread served, or from another thread); UnInit left
        // this one to be deleted here.
        DeleteHats({hat});
    } else if (opened) {
        PrepareSpareHat(generation);
    }
}

// UI thread. A spare whose build fails is dropped without a line: the next
// hat builds its own window and logs why it could not.
void AdWarden::PrepareSpareHat(unsigned generation) {
    {
        std::lock_guard<std::mutex> hold(hatLock_);
        if (!hatsOpen_ || generation != hatGeneration_ || spareHat_ != nullptr) {
            return;
        }
    }
    BlockingPopup* spare = new (std::nothrow) BlockingPopup();
    if (spare == nullptr) {
        return;
    }
    bool kept = false;
    if (spare->Prepare()) {
        // Building it sends messages, which may have served an UnInit.
        std::lock_guard<std::mutex> hold(hatLock_);
        kept = hatsOpen_ && generation == hatGeneration_ && spareHat_ == nullptr;
        if (kept) {
            spareHat_ = spare;
        }
    }
    if (!kept) {
        DeleteHats({spare});
    }
}

// UI thread, hatLock_ held, closed hats pruned: a new hat listed for `window`,
// or null when it gets none (it has one, too many are open, or a layered rule).
BlockingPopup* AdWarden::MakeHatFor(HWND window) {
    for (const BlockingPopup* listed : hatWindows) {
        if (listed->adWindow == window) {
            return nullptr;
        }
    }
    if (hatWindows.size() >= kMaxLiveHats) {
        adw::LogLine(adw::kLogError, kCreateHatTag, "too many hats open, none added");
        return nullptr;
    }
    if (!NeedExtraHat(window)) {
        adw::LogLine(adw::kLogInfo, kCreateHatTag, "Layered Window, will not add extra hat");
        return nullptr;
    }
    BlockingPopup* hat = spareHat_ != nullptr ? spareHat_ : new (std::nothrow) BlockingPopup();
    spareHat_ = nullptr;
    if (hat != nullptr) {
        hat->adWindow = window;
        hatWindows.push_back(hat);
    }
    return hat;
}

// UI thread, hatLock_ held. The first hat over a window of the same process
// decides: a second hat is added only when neither window is layered.
bool AdWarden::NeedExtraHat(HWND window) {
    const bool layered = IsLayered(window);
    DWORD processId = 0;
    if (GetWindowThreadProcessId(window, &processId) == 0) {
        adw::LogLine(adw::kLogInfo, kNeedExtraHatTag, "Get new window process fail");
        return true;
    }
    for (const BlockingPopup* hat : hatWindows) {
        if (hat == nullptr) {
            continue;
        }
        DWORD hatProcessId = 0;
        if (GetWindowThreadProcessId(hat->adWindow, &hatProcessId) == 0) {
            adw::LogLine(adw::kLogInfo, kNeedExtraHatTag, "Get old window process fail");
            continue;
        }
        if (hatProcessId == processId) {
            return !(IsLayered(hat->adWindow) || layered);
        }
    }
    return true;
}

// UI thread, hatLock_ held. With focus mode open, an ad window on a monitor
// where a focus scene is in progress gets its hat only once the scene is over:
// the person is watching a film or presenting there. The record has already
// reached the host. Each monitor counts on its own.
bool AdWarden::HoldHatForScene(HWND window, const std::wstring& key) {
    if (!focusModeSupported.load() || !SceneOnMonitorOf(window)) {
        return false;
    }
    heldHats_.push_back({window, key});
    hatsHeld_.store(true);
    return true;
}

// Worker thread, after each scene judgement: a held hat whose scene is over
// appears if its ad window is still there and the pop-up still undecided.
void AdWarden::ResumeHeldHats() {
    std::vector<HeldHat> ready;
    {
        std::lock_guard<std::mutex> hold(hatLock_);
        std::vector<HeldHat> still;
        for (HeldHat& held : heldHats_) {
            if (!IsWindow(held.window)) {
                continue;
            }
            (SceneOnMonitorOf(held.window) ? still : ready).push_back(std::move(held));
        }
        heldHats_.swap(still);
        hatsHeld_.store(!heldHats_.empty());
    }
    for (const HeldHat& held : ready) {
        PopWndItem* item = nullptr;
        GetValidWndItem(held.key.c_str(), held.window, item);
        if (item != nullptr && item->GetHandleType() == kAdPopHandleUndecided && JobIsCurrent()) {
            DispatchAdHat(held.window, held.key);
        }
    }
}

// A window can only be destroyed on its own thread, and the host may call
// UnInit on the UI thread itself: there the hats are deleted at once; from any
// other thread they go to the UI thread in a job queued behind every hat job
// already dispatched, and UnInit waits (bounded, serving sent messages) until
// it has run. Hat jobs still queued do nothing when they run; they and a close
// job not run in time keep the library loaded until they have run, so the
// host may unload it once UnInit has returned. When the queue refuses the job,
// a hat whose window is gone is deleted here, and one whose window is still
// there is kept: its object must not go from under its window's thread.
// False when the UI thread did not run the job in time.
bool AdWarden::CloseHats() {
    std::vector<BlockingPopup*> hats;
    const BlockingPopup* inCreation = nullptr;
    {
        std::lock_guard<std::mutex> hold(hatLock_);
        hatsOpen_ = false;
        hats.swap(hatWindows);
        if (spareHat_ != nullptr) {
            hats.push_back(spareHat_);
            spareHat_ = nullptr;
        }
        heldHats_.clear();
        hatsHeld_.store(false);
        inCreation = hatInCreation_;
    }
    // A hat still being made when the list was taken is deleted by its own job,
    // which runs before this one.
    const UiCall call = RunOnUiThread(kUnInitTag, [hats, inCreation] { DeleteHats(hats, inCreation); }, kHatCloseWaitMs);
    switch (call) {
    case UiCall::Ran:
        break;
    case UiCall::NotDispatched:
        for (BlockingPopup* hat : hats) {
            if (hat == inCreation) {
                continue;
            }
            if (HasWindow(hat)) {
                adw::LogLine(adw::kLogError, kUnInitTag, "hat window kept, UI thread not reached");
            } else {
                delete hat;
            }
        }
        break;
    case UiCall::NotInTime:
        adw::LogLine(adw::kLogError, kUnInitTag, "hat windows not closed in time");
        break;
    }
    return call != UiCall::NotInTime;
}

} // namespace KelvaneCenter
