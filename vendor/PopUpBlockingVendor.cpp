#include "vendor/PopUpBlockingVendor.h"

#include <shlwapi.h>

#include <memory>
#include <mutex>
#include <string>
#include <utility>

#include "common/EnginePath.h"
#include "common/LogLine.h"
#include "common/CallLoggingExceptions.h"
#include "common/Rundown.h"
#include "telemetry/DataReporter.h"
#include "vendor/PopupDescription.h"
#include "vendor/ProcessIdentity.h"
#include "vendor/ProcessImagePath.h"

IAdPopWndTracker* g_pAdPopWndTracker = nullptr;

namespace KelvaneCenter {

namespace {

constexpr unsigned kOk = 0;
constexpr unsigned kNoTracker = 102;
constexpr unsigned kNoModulePath = 201;
constexpr unsigned kNoInterface = 202;
constexpr unsigned kNoModule = 203;
constexpr unsigned kInitRefused = 204;
constexpr unsigned kNoItem = 300;
constexpr unsigned kHandleTypeRefused = 301;
constexpr unsigned kClearPeriodRefused = 304;
constexpr unsigned kNotBlockable = 405;

constexpr char kIsNullErr[] = " is null, err = ";
constexpr char kNoVendor[] = "vendor instance is nullptr";

// Notifications arrive on engine threads while the manager may be changing or
// emptying the targets, and the engine may notify while holding its own lock,
// which its item lookups (called from inside a target) also take. So no lock of
// ours is held around a target: a rundown guards the calls instead. Changing a
// target closes it, which refuses notifications that arrive from then on (they
// return at once) and waits only for the calls already inside; those never wait
// for us, so an engine thread holding its lock can always get through.
// Each call holds its own reference to the target it runs, so a target that
// empties the targets from inside itself keeps running on a live callable.
adw::Rundown g_targetRundown;
std::mutex g_targetWriteLock; // one change of targets at a time

std::shared_ptr<const AdHatTarget> g_adHatTarget;
std::shared_ptr<const AdBlockTarget> g_adBlockTarget;
std::shared_ptr<const AdWindowTarget> g_adWindowTarget;
std::shared_ptr<const OtherAdTarget> g_otherAdTarget;

// Operations that call the tracker hold this for the length of the call, so
// UnInit never ends and releases the tracker under a host thread still inside it.
adw::Rundown g_trackerRundown;

// Calls the target, when there is one, with references to the forwarder's own
// arguments. Nothing thrown by it goes back into the engine.
template <typename Target, typename... Args>
ADW_ENGINE_PATH void Forward(const std::shared_ptr<const Target>& slot, const char* tag, const Args&... args) noexcept {
    adw::RundownRef call(g_targetRundown);
    if (!call) {
        return;
    }
    const std::shared_ptr<const Target> target = slot;
    if (target && *target) {
        adw::CallLoggingExceptions([&] { (*target)(args...); }, tag, "notification target failed: ");
    }
}

ADW_ENGINE_PATH void ADPOP_CALL ForwardAdHat(const wchar_t* key, HWND window) {
    Forward(g_adHatTarget, "ForwardAdHat", key, window);
}

ADW_ENGINE_PATH void ADPOP_CALL ForwardAdBlock(const wchar_t* key) {
    Forward(g_adBlockTarget, "ForwardAdBlock", key);
}

void ADPOP_CALL ForwardAdWindow(HWND window) {
    Forward(g_adWindowTarget, "ForwardAdWindow", window);
}

ADW_ENGINE_PATH void ADPOP_CALL ForwardOtherAd(const wchar_t* key, HWND window) {
    Forward(g_otherAdTarget, "ForwardOtherAd", key, window);
}

// Runs `change` while no notification of another thread is inside a target.
template <typename Change>
void ChangeTargets(Change&& change) {
    std::lock_guard<std::mutex> writing(g_targetWriteLock);
    g_targetRundown.Close();
    change();
    g_targetRundown.Open();
}

template <typename Target>
void ReplaceTarget(std::shared_ptr<const Target>& slot, Target target) {
    auto replacement = target ? std::make_shared<const Target>(std::move(target)) : nullptr;
    ChangeTargets([&] { slot.swap(replacement); });
    // `replacement` now holds the previous callable and dies here, outside the change.
}

// The tracker for one operation, held until the scope ends; null when no
// tracker is loaded or the engine is being released.
class TrackerCall {
public:
    TrackerCall() noexcept : call_(g_trackerRundown) {}
    IAdPopWndTracker* get() const noexcept { return call_ ? g_pAdPopWndTracker : nullptr; }

private:
    adw::RundownRef call_;
};

unsigned NoTracker(const char* tag) {
    adw::LogLine(adw::kLogError, tag, "g_pAdPopWndTracker", kIsNullErr, kNoTracker);
    return kNoTracker;
}

const wchar_t* TextOrEmpty(const wchar_t* text) {
    return text != nullptr ? text : L"";
}

} // namespace

PopUpBlockingVendor& PopUpBlockingVendor::GetInstance() {
    static PopUpBlockingVendor instance;
    return instance;
}

// At library unload the engine may still run threads that call into it; freeing
// it then, under the loader lock, would pull its code from under them. The
// process reclaims it instead.
PopUpBlockingVendor::~PopUpBlockingVendor() {
    (void)popUpBlockingModule_.release();
}

unsigned PopUpBlockingVendor::Init() {
    constexpr char kTag[] = "KelvaneCenter::PopUpBlockingVendor::Init";
    if (popUpBlockingModule_ || g_pAdPopWndTracker != nullptr) {
        return kOk;
    }

    wchar_t directory[MAX_PATH] = {};
    const DWORD length = ::GetModuleFileNameW(nullptr, directory, MAX_PATH);
    // A truncated path names some other folder: it counts as no path at all.
    if (length == 0 || length >= MAX_PATH || !::PathRemoveFileSpecW(directory)) {
        adw::LogLine(adw::kLogError, kTag, "fail to get cur module path. error = ",
                     static_cast<unsigned>(::GetLastError()));
        return kNoModulePath;
    }

    const std::wstring enginePath = std::wstring(directory) + kAdPopBlockerRelativePath;
    // The engine's own imports come from its folder and System32 only: never
    // from the host's folder, the current directory or PATH, where anyone
    // could have put a DLL of that name.
    popUpBlockingModule_.reset(
        ::LoadLibraryExW(enginePath.c_str(), nullptr, LOAD_LIBRARY_SEARCH_DLL_LOAD_DIR | LOAD_LIBRARY_SEARCH_SYSTEM32));
    if (!popUpBlockingModule_) {
        adw::LogLine(adw::kLogError, kTag, "popUpBlockingModule", kIsNullErr, kNoModule);
        return kNoModule;
    }

    // Through a generic function pointer: the export's real type is known only by name.
    const auto getInterface = reinterpret_cast<GetInterfaceFunc>(
        reinterpret_cast<void (*)()>(::GetProcAddress(popUpBlockingModule_.get(), kAdPopGetInterfaceName)));
    if (getInterface == nullptr) {
        adw::LogLine(adw::kLogError, kTag, "popUpBlockingInterface", kIsNullErr, kNoInterface);
        return kNoInterface;
    }

    g_pAdPopWndTracker = getInterface();
    if (g_pAdPopWndTracker == nullptr) {
        adw::LogLine(adw::kLogError, kTag, "g_pAdPopWndTracker", kIsNullErr, kNoInterface);
        return kNoInterface;
    }

    if (g_pAdPopWndTracker->Init(ForwardAdHat, ForwardAdBlock, ForwardAdWindow, ForwardOtherAd) != 1) {
        adw::LogLine(adw::kLogError, kTag, "Init fail.");
        return kInitRefused;
    }

    adw::LogLine(adw::kLogInfo, kTag, "Init true.");
    return kOk;
}

void PopUpBlockingVendor::UnInit() {
    adw::LogLine(adw::kLogInfo, "KelvaneCenter::PopUpBlockingVendor::UnInit", "Enter uninit.");
    ClearTargets();
    g_trackerRundown.Close();
    if (IAdPopWndTracker* tracker = g_pAdPopWndTracker) {
        tracker->UnInit();
        tracker->Release();
        g_pAdPopWndTracker = nullptr;
    }
    popUpBlockingModule_.reset();
    g_trackerRundown.Open(); // later calls find no tracker and say so
}

void PopUpBlockingVendor::SetAdHatTarget(AdHatTarget target) {
    ReplaceTarget(g_adHatTarget, std::move(target));
}

void PopUpBlockingVendor::SetAdBlockTarget(AdBlockTarget target) {
    ReplaceTarget(g_adBlockTarget, std::move(target));
}

void PopUpBlockingVendor::SetAdWindowTarget(AdWindowTarget target) {
    ReplaceTarget(g_adWindowTarget, std::move(target));
}

void PopUpBlockingVendor::SetOtherAdTarget(OtherAdTarget target) {
    ReplaceTarget(g_otherAdTarget, std::move(target));
}

void PopUpBlockingVendor::ClearTargets() {
    // Declared before the change, so the emptied callables die after it.
    std::shared_ptr<const AdHatTarget> hat;
    std::shared_ptr<const AdWindowTarget> window;
    std::shared_ptr<const AdBlockTarget> block;
    std::shared_ptr<const OtherAdTarget> other;
    ChangeTargets([&] {
        hat.swap(g_adHatTarget);
        window.swap(g_adWindowTarget);
        block.swap(g_adBlockTarget);
        other.swap(g_otherAdTarget);
    });
}

unsigned PopUpBlockingVendor::SetTrackerState(int state) {
    const TrackerCall call;
    IAdPopWndTracker* tracker = call.get();
    if (tracker == nullptr) {
        return NoTracker("KelvaneCenter::PopUpBlockingVendor::SetTrackerState");
    }
    tracker->SetTrackerState(state);
    return kOk;
}

unsigned PopUpBlockingVendor::IsSuppotBlock(HWND window) {
    constexpr char kTag[] = "KelvaneCenter::PopUpBlockingVendor::IsSuppotBlock";
    const TrackerCall call;
    IAdPopWndTracker* tracker = call.get();
    if (tracker == nullptr) {
        return NoTracker(kTag);
    }
    const int supported = tracker->IsSuppotBlock(window);
    adw::LogLine(adw::kLogInfo, kTag, "IsSuppotBlock returns ", supported);
    return supported == 1 ? kOk : kNotBlockable;
}

unsigned PopUpBlockingVendor::AddBlockByScreenShot(HWND wnd) {
    constexpr char kTag[] = "KelvaneCenter::PopUpBlockingVendor::AddBlockByScreenShot";
    int blocked = 0;
    {
        const TrackerCall call;
        IAdPopWndTracker* tracker = call.get();
        if (tracker == nullptr) {
            return NoTracker(kTag);
        }
        blocked = tracker->AddBlockByScreenShot(wnd);
    }
    adw::LogLine(adw::kLogInfo, kTag, "AddBlockByScreenShot returns ", blocked);
    DataReporter::ReportScreenShotWindow(blocked == 1 ? 1 : 0, GetWindowInfo(wnd));
    return blocked == 1 ? kOk : kNotBlockable;
}

unsigned PopUpBlockingVendor::SetClearPeriod(unsigned period) {
    const TrackerCall call;
    IAdPopWndTracker* tracker = call.get();
    if (tracker == nullptr) {
        return NoTracker("KelvaneCenter::PopUpBlockingVendor::SetClearPeriod");
    }
    return tracker->SetClearPeriod(period) != 0 ? kOk : kClearPeriodRefused;
}

unsigned PopUpBlockingVendor::SetHandleType(const wchar_t* const& key, bool block) {
    constexpr char kTag[] = "KelvaneCenter::PopUpBlockingVendor::SetHandleType";
    unsigned result = kNoItem;
    const bool found = UsePopByKey(key, [&](PopWndItem& item) {
        result = kOk;
        if (item.SetHandleType(block ? kAdPopHandleBlocked : kAdPopHandleAllowed) != 1) {
            adw::LogLine(adw::kLogError, kTag, "set pop type fail. popupId = ", TextOrEmpty(item.GetKey()));
            result = kHandleTypeRefused;
        }
    });
    if (!found) {
        adw::LogLine(adw::kLogError, kTag, "item", kIsNullErr, kNoItem);
    }
    return result;
}

bool PopUpBlockingVendor::UsePopByKey(const wchar_t* const& key, const std::function<void(PopWndItem&)>& use) {
    // The item belongs to the engine: it is used only while the engine cannot be released.
    const TrackerCall call;
    PopWndItem* item = nullptr;
    GetPopByKey(key, item);
    if (item == nullptr) {
        return false;
    }
    use(*item);
    return true;
}

void PopUpBlockingVendor::GetPopByKey(const wchar_t* const& key, PopWndItem*& item) {
    constexpr char kTag[] = "KelvaneCenter::PopUpBlockingVendor::GetPopByKey";
    item = nullptr;
    const TrackerCall call;
    IAdPopWndTracker* tracker = call.get();
    if (tracker == nullptr) {
        adw::LogLine(adw::kLogError, kTag, kNoVendor);
        return;
    }
    const int rc = tracker->GetPopByKey(key, &item);
    if (item == nullptr) {
        adw::LogLine(adw::kLogError, kTag, "get adat pop up window fail. errCode = ", rc);
    }
}

unsigned PopUpBlockingVendor::GetBlockCount() {
    const TrackerCall call;
    IAdPopWndTracker* tracker = call.get();
    if (tracker == nullptr) {
        adw::LogLine(adw::kLogError, "KelvaneCenter::PopUpBlockingVendor::GetBlockCount", kNoVendor);
        return 0;
    }
    unsigned total = 0;
    const unsigned count = tracker->EnumAllPopWnd();
    for (unsigned index = 0; index < count; ++index) {
        PopWndItem* item = nullptr;
        tracker->GetPopWndItem(index, &item);
        if (item != nullptr) {
            total += item->GetBlockCount();
        }
    }
    return total;
}

unsigned PopUpBlockingVendor::EnumAllPopWnd() {
    const TrackerCall call;
    IAdPopWndTracker* tracker = call.get();
    if (tracker == nullptr) {
        adw::LogLine(adw::kLogError, "KelvaneCenter::PopUpBlockingVendor::EnumAllPopWnd", kNoVendor);
        return 0;
    }
    return tracker->EnumAllPopWnd();
}

void PopUpBlockingVendor::GetPopWndItem(unsigned index, PopWndItem*& item) {
    constexpr char kTag[] = "KelvaneCenter::PopUpBlockingVendor::GetPopWndItem";
    item = nullptr;
    const TrackerCall call;
    IAdPopWndTracker* tracker = call.get();
    if (tracker == nullptr) {
        adw::LogLine(adw::kLogError, kTag, kNoVendor);
        return;
    }
    if (tracker->GetPopWndItem(index, &item) != 1 || item == nullptr) {
        adw::LogLine(adw::kLogInfo, kTag, "get item fail. index = ", index);
    }
}

std::string PopUpBlockingVendor::GetWindowInfo(HWND wnd) {
    DWORD processId = 0;
    ::GetWindowThreadProcessId(wnd, &processId);
    std::wstring imagePath;
    {
        adw::UniqueHandle process(::OpenProcess(PROCESS_QUERY_INFORMATION, FALSE, processId));
        if (!process) {
            return std::string();
        }
        imagePath = GetProcessImagePath(process.get());
    }

    const wchar_t* fileName = ::PathFindFileNameW(imagePath.c_str());
    if (fileName == nullptr) {
        adw::LogLine(adw::kLogError, "KelvaneCenter::PopUpBlockingVendor::GetWindowInfo", "PathFindFileNameA fail");
        return std::string();
    }

    std::wstring signer; // stays empty when the image carries no embedded signature
    GetFileSigner(imagePath, signer);
    return DescriptionJson(WindowInfoPairs(fileName, signer));
}

} // namespace KelvaneCenter
