#pragma once

#include <atomic>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "AdPopBlocker64/ItemStore.h"
#include "AdPopBlocker64/NotificationHub.h"
#include "common/UniqueResource.h"
#include "vendor/AdPopWndTracker.h"

namespace adpop {

// The environment variable that switches the engine stand-in from its
// scripted mode to this one, read by each GetInterface.
constexpr wchar_t kEngineModeVariable[] = L"ADPOP_ENGINE_MODE";
bool WorkingModeRequested();

struct WorkingOptions {
    // Empty: %LOCALAPPDATA%\AdPopBlocker64\PopupItems.txt, found at Init.
    std::wstring dataFile;
    DWORD scanIntervalMs = 100;
    // Which processes' windows to watch, called on the engine's thread; empty: every other process.
    std::function<bool(DWORD processId)> watches;
};

// The engine that works on the real desktop: one thread of its own watches for
// new top-level windows of other processes, sorts them with the rules of
// PopupRules.h, keeps one item per pop-up key, hides what the tracker state
// says to hide and notifies from that thread. The items live in a file that
// only that thread writes.
class WorkingTracker final : public IAdPopWndTracker {
public:
    explicit WorkingTracker(WorkingOptions options = WorkingOptions());
    ~WorkingTracker();
    WorkingTracker(const WorkingTracker&) = delete;
    WorkingTracker& operator=(const WorkingTracker&) = delete;

    // The DLL's tracker in working mode. Never destroyed: its thread may still
    // run when the process ends without UnInit.
    static WorkingTracker& Instance();

    void ADPOP_CALL Release() override;
    int ADPOP_CALL Init(AdHatNotify hat, AdBlockNotify block, AdWindowNotify window, OtherAdNotify other) override;
    void ADPOP_CALL UnInit() override;
    void ADPOP_CALL Reserved03() override {}
    int ADPOP_CALL SetTrackerState(int state) override;
    int ADPOP_CALL IsSuppotBlock(HWND window) override;
    int ADPOP_CALL AddBlockByScreenShot(HWND window) override;
    unsigned ADPOP_CALL EnumAllPopWnd() override;
    int ADPOP_CALL GetPopWndItem(unsigned index, PopWndItem** item) override;
    int ADPOP_CALL GetPopByKey(const wchar_t* key, PopWndItem** item) override;
    void ADPOP_CALL Reserved10() override {}
    void ADPOP_CALL Reserved11() override {}
    void ADPOP_CALL Reserved12() override {}
    int ADPOP_CALL SetClearPeriod(unsigned period) override;

    // Looks at the desktop the engine's thread has finished so far.
    unsigned long long Scans() const { return scans_.load(); }

private:
    static DWORD WINAPI ThreadEntry(void* self);
    static void CALLBACK OnWinEvent(HWINEVENTHOOK hook, DWORD event, HWND window, LONG object, LONG child,
                                    DWORD thread, DWORD time);
    void Run();
    void Scan();
    WorkingItem* Appeared(HWND window, bool userAsked);
    void Hide(HWND window, WorkingItem& item);
    void HideNewlyBlocked();
    void Save();
    bool Watched(HWND window) const;
    const std::wstring& SoftwareName(const std::wstring& exePath);

    const WorkingOptions options_;
    std::wstring dataFile_;
    std::atomic<int> state_{0};
    ItemStore store_;
    NotificationHub hub_;
    adw::UniqueHandle thread_;
    DWORD threadId_ = 0;
    adw::UniqueHandle stop_{::CreateEventW(nullptr, TRUE, FALSE, nullptr)};
    std::atomic<unsigned long long> scans_{0};
    std::atomic<bool> lookSoon_{false};
    std::atomic<bool> reconsider_{false};

    // Windows the user picked on screen, for the engine's thread to hide.
    std::mutex pickedMutex_;
    std::vector<HWND> picked_;

    // The engine thread's own: windows visible at the last look with their item
    // (null: not a pop-up, or already hidden), software names by image.
    std::map<HWND, WorkingItem*> visible_;
    std::map<std::wstring, std::wstring> softwareNames_;
};

} // namespace adpop
