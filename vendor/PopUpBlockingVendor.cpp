#include "vendor/PopUpBlockingVendor.h"

#include <shlwapi.h>

#include <string>
#include <utility>

#include "common/LogLine.h"
#include "common/CallLoggingExceptions.h"
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

// A notification may be running on an engine thread at the moment the targets
// are emptied (by the manager as it starts to stop, or by UnInit). Forwarders
// therefore call a target only while holding this lock shared, and every change
// of a target takes it exclusively: emptying waits until calls in flight have
// returned, later calls find the target empty, and a replaced callable is
// destroyed only after the lock is released. The lock is never held while the
// adapter calls into the engine, because the engine's UnInit may wait for its
// own threads that are inside a forwarder. SRW locks are not recursive, so a
// thread already inside a forwarder (an engine that notifies again from within
// a call made by a target) does not take the lock a second time.
SRWLOCK g_targetLock = SRWLOCK_INIT;
thread_local int t_forwardDepth = 0;

AdHatTarget g_adHatTarget;
AdBlockTarget g_adBlockTarget;
AdWindowTarget g_adWindowTarget;
OtherAdTarget g_otherAdTarget;

class SharedTargetLock {
public:
    SharedTargetLock() noexcept {
        if (t_forwardDepth++ == 0) {
            ::AcquireSRWLockShared(&g_targetLock);
        }
    }
    ~SharedTargetLock() {
        if (--t_forwardDepth == 0) {
            ::ReleaseSRWLockShared(&g_targetLock);
        }
    }
    SharedTargetLock(const SharedTargetLock&) = delete;
    SharedTargetLock& operator=(const SharedTargetLock&) = delete;
};

class ExclusiveTargetLock {
public:
    ExclusiveTargetLock() noexcept { ::AcquireSRWLockExclusive(&g_targetLock); }
    ~ExclusiveTargetLock() { ::ReleaseSRWLockExclusive(&g_targetLock); }
    ExclusiveTargetLock(const ExclusiveTargetLock&) = delete;
    ExclusiveTargetLock& operator=(const ExclusiveTargetLock&) = delete;
};

// Calls the target, when there is one, with references to the forwarder's own
// arguments. Nothing thrown by it goes back into the engine.
template <typename Target, typename... Args>
void Forward(const Target& target, const char* tag, const Args&... args) noexcept {
    adw::CallLoggingExceptions(
        [&] {
            SharedTargetLock lock;
            if (target) {
                target(args...);
            }
        },
        tag, "notification target failed: ");
}

void ADPOP_CALL ForwardAdHat(const wchar_t* key, HWND window) {
    Forward(g_adHatTarget, "ForwardAdHat", key, window);
}

void ADPOP_CALL ForwardAdBlock(const wchar_t* key) {
    Forward(g_adBlockTarget, "ForwardAdBlock", key);
}

void ADPOP_CALL ForwardAdWindow(HWND window) {
    Forward(g_adWindowTarget, "ForwardAdWindow", window);
}

void ADPOP_CALL ForwardOtherAd(const wchar_t* key, HWND window) {
    Forward(g_otherAdTarget, "ForwardOtherAd", key, window);
}

template <typename Target>
void ReplaceTarget(Target& slot, Target target) {
    {
        ExclusiveTargetLock lock;
        slot.swap(target);
    }
    // `target` now holds the previous callable and dies here, outside the lock.
}

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
    popUpBlockingModule_.reset(::LoadLibraryW(enginePath.c_str()));
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
    if (IAdPopWndTracker* tracker = g_pAdPopWndTracker) {
        tracker->UnInit();
        tracker->Release();
        g_pAdPopWndTracker = nullptr;
    }
    popUpBlockingModule_.reset();
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
    // Declared before the lock, so the emptied callables die after it is released.
    AdHatTarget hat;
    AdWindowTarget window;
    AdBlockTarget block;
    OtherAdTarget other;
    ExclusiveTargetLock lock;
    hat.swap(g_adHatTarget);
    window.swap(g_adWindowTarget);
    block.swap(g_adBlockTarget);
    other.swap(g_otherAdTarget);
}

unsigned PopUpBlockingVendor::SetTrackerState(int state) {
    IAdPopWndTracker* tracker = g_pAdPopWndTracker;
    if (tracker == nullptr) {
        return NoTracker("KelvaneCenter::PopUpBlockingVendor::SetTrackerState");
    }
    tracker->SetTrackerState(state);
    return kOk;
}

unsigned PopUpBlockingVendor::IsSuppotBlock(HWND window) {
    constexpr char kTag[] = "KelvaneCenter::PopUpBlockingVendor::IsSuppotBlock";
    IAdPopWndTracker* tracker = g_pAdPopWndTracker;
    if (tracker == nullptr) {
        return NoTracker(kTag);
    }
    const int supported = tracker->IsSuppotBlock(window);
    adw::LogLine(adw::kLogInfo, kTag, "IsSuppotBlock returns ", supported);
    return supported == 1 ? kOk : kNotBlockable;
}

unsigned PopUpBlockingVendor::SetClearPeriod(unsigned period) {
    IAdPopWndTracker* tracker = g_pAdPopWndTracker;
    if (tracker == nullptr) {
        return NoTracker("KelvaneCenter::PopUpBlockingVendor::SetClearPeriod");
    }
    return tracker->SetClearPeriod(period) != 0 ? kOk : kClearPeriodRefused;
}

unsigned PopUpBlockingVendor::SetHandleType(const wchar_t* const& key, bool block) {
    constexpr char kTag[] = "KelvaneCenter::PopUpBlockingVendor::SetHandleType";
    PopWndItem* item = nullptr;
    GetPopByKey(key, item);
    if (item == nullptr) {
        adw::LogLine(adw::kLogError, kTag, "item", kIsNullErr, kNoItem);
        return kNoItem;
    }
    if (item->SetHandleType(block ? kAdPopHandleBlocked : kAdPopHandleAllowed) != 1) {
        adw::LogLine(adw::kLogError, kTag, "set pop type fail. popupId = ", TextOrEmpty(item->GetKey()));
        return kHandleTypeRefused;
    }
    return kOk;
}

void PopUpBlockingVendor::GetPopByKey(const wchar_t* const& key, PopWndItem*& item) {
    constexpr char kTag[] = "KelvaneCenter::PopUpBlockingVendor::GetPopByKey";
    item = nullptr;
    IAdPopWndTracker* tracker = g_pAdPopWndTracker;
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
    IAdPopWndTracker* tracker = g_pAdPopWndTracker;
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
    IAdPopWndTracker* tracker = g_pAdPopWndTracker;
    if (tracker == nullptr) {
        adw::LogLine(adw::kLogError, "KelvaneCenter::PopUpBlockingVendor::EnumAllPopWnd", kNoVendor);
        return 0;
    }
    return tracker->EnumAllPopWnd();
}

void PopUpBlockingVendor::GetPopWndItem(unsigned index, PopWndItem*& item) {
    constexpr char kTag[] = "KelvaneCenter::PopUpBlockingVendor::GetPopWndItem";
    item = nullptr;
    IAdPopWndTracker* tracker = g_pAdPopWndTracker;
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
