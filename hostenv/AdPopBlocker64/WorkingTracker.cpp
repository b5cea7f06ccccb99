#include "AdPopBlocker64/WorkingTracker.h"

#include <shlobj.h>

#include <algorithm>
#include <cwchar>
#include <iterator>

#include "AdPopBlocker64/Guarded.h"

namespace adpop {

namespace {

using adw::UniqueWinEventHook;

constexpr DWORD kJoinTimeoutMs = 10000;
// A window announced by an event is looked at this much later, once its
// creator has had the time to place and show it.
constexpr DWORD kSettleMs = 20;

// The tracker whose thread is the current one: the WinEvent procedure's only way back.
thread_local WorkingTracker* t_watching = nullptr;

LocalStamp NowStamp() {
    SYSTEMTIME now{};
    ::GetLocalTime(&now);
    return StampFromSystemTime(now);
}

std::wstring DefaultDataFile() {
    wchar_t base[MAX_PATH] = {};
    const DWORD length = ::GetEnvironmentVariableW(L"LOCALAPPDATA", base, MAX_PATH);
    if ((length == 0 || length >= MAX_PATH) && FAILED(::SHGetFolderPathW(nullptr, CSIDL_LOCAL_APPDATA, nullptr, 0, base))) {
        ::GetTempPathW(MAX_PATH, base);
    }
    std::wstring path = base;
    if (!path.empty() && path.back() != L'\\') {
        path += L'\\';
    }
    return path + L"AdPopBlocker64\\PopupItems.txt";
}

std::wstring ImagePathOf(DWORD processId) {
    adw::UniqueHandle process(::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, processId));
    wchar_t path[MAX_PATH] = {};
    DWORD size = MAX_PATH;
    if (!process || !::QueryFullProcessImageNameW(process.get(), 0, path, &size)) {
        return std::wstring();
    }
    return std::wstring(path, size);
}

std::wstring FileDescriptionOf(const std::wstring& path) {
    DWORD ignored = 0;
    const DWORD size = ::GetFileVersionInfoSizeW(path.c_str(), &ignored);
    std::vector<BYTE> data(size);
    struct Translation {
        WORD language;
        WORD codePage;
    }* translation = nullptr;
    UINT length = 0;
    if (size == 0 || !::GetFileVersionInfoW(path.c_str(), 0, size, data.data()) ||
        !::VerQueryValueW(data.data(), L"\\VarFileInfo\\Translation", reinterpret_cast<void**>(&translation),
                          &length) ||
        length < sizeof(Translation)) {
        return std::wstring();
    }
    wchar_t query[64];
    std::swprintf(query, 64, L"\\StringFileInfo\\%04x%04x\\FileDescription", translation->language,
                  translation->codePage);
    wchar_t* text = nullptr;
    if (!::VerQueryValueW(data.data(), query, reinterpret_cast<void**>(&text), &length) || text == nullptr) {
        return std::wstring();
    }
    return std::wstring(text);
}

// The image's file name without its extension.
std::wstring ProgramName(const std::wstring& path) {
    const size_t slash = path.find_last_of(L"\\/");
    std::wstring name = slash == std::wstring::npos ? path : path.substr(slash + 1);
    const size_t dot = name.find_last_of(L'.');
    return dot == std::wstring::npos || dot == 0 ? name : name.substr(0, dot);
}

std::wstring ClassOf(HWND window) {
    wchar_t name[256] = {};
    const int length = ::GetClassNameW(window, name, 256);
    return std::wstring(name, static_cast<size_t>(length > 0 ? length : 0));
}

// Windows the system itself pops up for applications.
bool IsSystemClass(const std::wstring& name) {
    static const wchar_t* const kSystemClasses[] = {L"#32768", L"#32769", L"tooltips_class32", L"SysShadow",
                                                    L"IME", L"MSCTFIME UI", L"Shell_TrayWnd"};
    return std::any_of(std::begin(kSystemClasses), std::end(kSystemClasses),
                       [&](const wchar_t* system) { return ::lstrcmpiW(system, name.c_str()) == 0; });
}

WindowFacts FactsOf(HWND window, const std::wstring& className) {
    WindowFacts facts;
    ::GetWindowRect(window, &facts.rect);
    MONITORINFO monitor{};
    monitor.cbSize = sizeof(monitor);
    if (::GetMonitorInfoW(::MonitorFromWindow(window, MONITOR_DEFAULTTONEAREST), &monitor)) {
        facts.workArea = monitor.rcWork;
        facts.monitor = monitor.rcMonitor;
    }
    facts.style = ::GetWindowLongW(window, GWL_STYLE);
    facts.exStyle = ::GetWindowLongW(window, GWL_EXSTYLE);
    facts.owned = ::GetWindow(window, GW_OWNER) != nullptr;
    facts.systemClass = IsSystemClass(className);
    return facts;
}

BOOL CALLBACK CollectWindow(HWND window, LPARAM list) {
    reinterpret_cast<std::vector<HWND>*>(list)->push_back(window);
    return TRUE;
}

} // namespace

bool WorkingModeRequested() {
    wchar_t mode[16] = {};
    const DWORD length = ::GetEnvironmentVariableW(kEngineModeVariable, mode, 16);
    return length > 0 && length < 16 && std::wcscmp(mode, L"working") == 0;
}

WorkingTracker::WorkingTracker(WorkingOptions options) : options_(std::move(options)) {}

WorkingTracker::~WorkingTracker() {
    UnInit();
}

WorkingTracker& WorkingTracker::Instance() {
    static WorkingTracker* const instance = new WorkingTracker();
    return *instance;
}

void ADPOP_CALL WorkingTracker::Release() {}

int ADPOP_CALL WorkingTracker::Init(AdHatNotify hat, AdBlockNotify block, AdWindowNotify window, OtherAdNotify other) {
    UnInit();
    return Guarded(0, [&] {
        dataFile_ = options_.dataFile.empty() ? DefaultDataFile() : options_.dataFile;
        std::string text;
        unsigned period = 0;
        std::vector<ItemRecord> records;
        if (ReadStoreFile(dataFile_, text)) {
            ParseStore(text, period, records);
        }
        store_.Load(period, records, NowStamp());
        visible_.clear();
        ::ResetEvent(stop_.get());
        hub_.Connect(hat, block, window, other);
        thread_.reset(::CreateThread(nullptr, 0, &ThreadEntry, this, 0, &threadId_));
        if (!thread_) {
            hub_.Disconnect();
            return 0;
        }
        return 1;
    });
}

void ADPOP_CALL WorkingTracker::UnInit() {
    if (thread_) {
        ::SetEvent(stop_.get());
        // From the engine's own thread (a notification that ends the engine) it cannot be waited for.
        if (threadId_ != ::GetCurrentThreadId() && ::WaitForSingleObject(thread_.get(), kJoinTimeoutMs) == WAIT_OBJECT_0) {
            thread_.reset();
        } else {
            (void)thread_.release(); // still running: it owns what it uses and ends by itself
        }
    }
    hub_.Disconnect();
    state_ = 0;
}

int ADPOP_CALL WorkingTracker::SetTrackerState(int state) {
    const int old = state_.exchange(state);
    // Switched on, or from one mode to the other: the pop-ups already on
    // screen are looked at again (a repeated state changes nothing).
    if (old != state && state != 0) {
        reconsider_ = true;
        store_.Changes().Wake();
    }
    return 1;
}

int ADPOP_CALL WorkingTracker::IsSuppotBlock(HWND window) {
    const HWND root = window != nullptr ? ::GetAncestor(window, GA_ROOT) : nullptr;
    DWORD processId = 0;
    if (root == nullptr || ::GetWindowThreadProcessId(root, &processId) == 0) {
        return 0;
    }
    return processId != ::GetCurrentProcessId() ? 1 : 0;
}

int ADPOP_CALL WorkingTracker::AddBlockByScreenShot(HWND window) {
    if (IsSuppotBlock(window) != 1) {
        return 0;
    }
    return Guarded(0, [&] {
        {
            std::lock_guard<std::mutex> lock(pickedMutex_);
            picked_.push_back(::GetAncestor(window, GA_ROOT));
        }
        store_.Changes().Wake();
        return 1;
    });
}

unsigned ADPOP_CALL WorkingTracker::EnumAllPopWnd() {
    return Guarded(0u, [&] { return store_.Count(); });
}

int ADPOP_CALL WorkingTracker::GetPopWndItem(unsigned index, PopWndItem** item) {
    if (item == nullptr) {
        return 0;
    }
    *item = Guarded(static_cast<WorkingItem*>(nullptr), [&] { return store_.At(index); });
    return *item != nullptr ? 1 : 0;
}

int ADPOP_CALL WorkingTracker::GetPopByKey(const wchar_t* key, PopWndItem** item) {
    if (item == nullptr) {
        return 0;
    }
    *item = Guarded(static_cast<WorkingItem*>(nullptr), [&] { return store_.Find(key); });
    return *item != nullptr ? 1 : 0;
}

int ADPOP_CALL WorkingTracker::SetClearPeriod(unsigned period) {
    return Guarded(0, [&] {
        store_.SetPeriod(period, NowStamp());
        return 1;
    });
}

DWORD WINAPI WorkingTracker::ThreadEntry(void* self) {
    try {
        static_cast<WorkingTracker*>(self)->Run();
    } catch (...) {
        // The engine stops watching; what it knew is in the file already.
    }
    t_watching = nullptr;
    return 0;
}

// Out of context, the procedure runs on this thread while it pumps messages.
// Under Wine only EVENT_OBJECT_CREATE reaches it from other processes' windows
// (measured; no SHOW), so the periodic look is what notices a window shown later.
void CALLBACK WorkingTracker::OnWinEvent(HWINEVENTHOOK, DWORD, HWND window, LONG object, LONG child, DWORD, DWORD) {
    if (t_watching != nullptr && window != nullptr && object == OBJID_WINDOW && child == CHILDID_SELF) {
        t_watching->lookSoon_ = true;
    }
}

void WorkingTracker::Run() {
    t_watching = this;
    // This thread installs the hook and, leaving the scope, removes it itself.
    UniqueWinEventHook hook(::SetWinEventHook(EVENT_OBJECT_CREATE, EVENT_OBJECT_SHOW, nullptr, &OnWinEvent, 0, 0,
                                              WINEVENT_OUTOFCONTEXT | WINEVENT_SKIPOWNPROCESS));
    const HANDLE waits[] = {stop_.get(), store_.Changes().Event()};
    ULONGLONG nextLook = 0;
    for (;;) {
        bool pickedAny = false;
        {
            std::lock_guard<std::mutex> lock(pickedMutex_);
            pickedAny = !picked_.empty();
        }
        const bool again = reconsider_.exchange(false);
        if (again) {
            visible_.clear();
        }
        if (again || pickedAny || ::GetTickCount64() >= nextLook) {
            Scan();
            nextLook = ::GetTickCount64() + options_.scanIntervalMs;
        }
        HideNewlyBlocked();
        if (store_.Changes().TakeDirty()) {
            Save();
        }
        const ULONGLONG now = ::GetTickCount64();
        const DWORD timeout = nextLook > now ? static_cast<DWORD>(nextLook - now) : 0;
        if (::MsgWaitForMultipleObjectsEx(2, waits, timeout, QS_ALLINPUT, MWMO_INPUTAVAILABLE) == WAIT_OBJECT_0) {
            break;
        }
        MSG message;
        while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            ::DispatchMessageW(&message);
        }
        if (lookSoon_.exchange(false)) {
            nextLook = (std::min)(nextLook, ::GetTickCount64() + kSettleMs);
        }
    }
    if (store_.Changes().TakeDirty()) {
        Save();
    }
}

void WorkingTracker::Scan() {
    std::vector<HWND> picked;
    {
        std::lock_guard<std::mutex> lock(pickedMutex_);
        picked.swap(picked_);
    }
    for (HWND window : picked) {
        Appeared(window, true);
    }
    std::vector<HWND> all;
    ::EnumWindows(&CollectWindow, reinterpret_cast<LPARAM>(&all));
    std::map<HWND, WorkingItem*> visible;
    for (HWND window : all) {
        if (::IsWindowVisible(window) && Watched(window)) {
            const auto known = visible_.find(window);
            visible[window] = known != visible_.end() ? known->second : Appeared(window, false);
        }
    }
    visible_.swap(visible);
    ++scans_;
}

bool WorkingTracker::Watched(HWND window) const {
    DWORD processId = 0;
    if (::GetWindowThreadProcessId(window, &processId) == 0 || processId == ::GetCurrentProcessId()) {
        return false;
    }
    return !options_.watches || options_.watches(processId);
}

// A window newly visible, or one the user picked to block; its item while it
// stays on screen, null when it is no pop-up or was hidden.
WorkingItem* WorkingTracker::Appeared(HWND window, bool userAsked) {
    const int state = state_.load();
    if (!userAsked && state != 1 && state != 2) {
        return nullptr;
    }
    const std::wstring className = ClassOf(window);
    int type = ClassifyPopup(FactsOf(window, className));
    if (type == kNotPopup && !userAsked) {
        return nullptr;
    }
    type = type == kNotPopup ? kPopupUnknown : type;

    DWORD processId = 0;
    ::GetWindowThreadProcessId(window, &processId);
    wchar_t title[256] = {};
    ::InternalGetWindowText(window, title, 256); // sends no message: a hung window cannot stall the engine
    const LocalStamp now = NowStamp();
    ItemRecord record;
    record.exePath = ImagePathOf(processId);
    record.key = PopupKey(record.exePath, className, title);
    record.textA = title[0] != L'\0' ? std::wstring(title) : className;
    record.softwareName = SoftwareName(record.exePath);
    record.textB = record.softwareName;
    record.popupType = type;
    record.handleType = kAdPopHandleUndecided;
    record.lastSeen = now;

    WorkingItem* item = store_.FindOrAdd(record);
    item->Seen(now);
    if (userAsked) {
        item->SetHandleType(kAdPopHandleBlocked);
    }
    const Action action = userAsked ? Action::Hide : DecideAction(state, item->GetHandleType(), item->GetPopupType());
    switch (action) {
    case Action::Hide:
        Hide(window, *item);
        return nullptr;
    case Action::OfferHat:
        hub_.Deliver(Notification::AdHat, item->GetKey(), window);
        break;
    case Action::ReportSuspected:
        hub_.Deliver(Notification::OtherAd, item->GetKey(), window);
        break;
    case Action::None:
        break;
    }
    // A window in the middle that took the foreground interrupts whatever the
    // user was doing: the host is named it, to close it where it must not interrupt.
    if (type == kPopupCentre && ::GetForegroundWindow() == window) {
        hub_.Deliver(Notification::AdWindow, item->GetKey(), window);
    }
    return item;
}

void WorkingTracker::Hide(HWND window, WorkingItem& item) {
    ::ShowWindowAsync(window, SW_HIDE); // never waits for the pop-up's own thread
    item.CountBlock(NowStamp());
    hub_.Deliver(Notification::AdBlock, item.GetKey(), nullptr);
}

// Blocking a pop-up means it goes now: an item the user has just blocked (the
// hat's "Block", SetBlockingStatus) has its windows still on screen hidden,
// counted and notified like any later appearance.
void WorkingTracker::HideNewlyBlocked() {
    const int state = state_.load();
    for (auto& shown : visible_) {
        WorkingItem* item = shown.second;
        if (item != nullptr && item->GetHandleType() == kAdPopHandleBlocked &&
            DecideAction(state, kAdPopHandleBlocked, item->GetPopupType()) == Action::Hide) {
            shown.second = nullptr;
            Hide(shown.first, *item);
        }
    }
}

void WorkingTracker::Save() {
    WriteStoreFile(dataFile_, store_.Snapshot());
}

const std::wstring& WorkingTracker::SoftwareName(const std::wstring& exePath) {
    auto known = softwareNames_.find(exePath);
    if (known == softwareNames_.end()) {
        std::wstring name = FileDescriptionOf(exePath);
        known = softwareNames_.emplace(exePath, name.empty() ? ProgramName(exePath) : name).first;
    }
    return known->second;
}

} // namespace adpop
