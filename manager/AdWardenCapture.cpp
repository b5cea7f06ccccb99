// The capture overlay as the manager owns it: opened on the host's request,
// kept after it closes, deleted by the next opening or by UnInit. Its window
// and object belong to the UI thread; DestroyCaptureDialog hands them back to
// it from any other thread.

#include <new>
#include <utility>

#include "common/CallLoggingExceptions.h"
#include "common/LogLine.h"
#include "manager/AdWarden.h"
#include "manager/UiThreadCall.h"
#include "ui/CaptureWindowDialog.h"

namespace KelvaneCenter {

namespace {
constexpr char kScreenshotTag[] = "KelvaneCenter::AdWarden::ScreenshotBlocking";
constexpr char kDestroyTag[] = "KelvaneCenter::AdWarden::DestroyCaptureDialog";
// How long DestroyCaptureDialog waits for the UI thread to close the overlay.
constexpr DWORD kCaptureCloseWaitMs = 5000;
constexpr DWORD kCaptureStyle = 0x00070080;
constexpr DWORD kCaptureExStyle = WS_EX_TOPMOST | WS_EX_TOOLWINDOW | WS_EX_WINDOWEDGE;
} // namespace

int AdWarden::ScreenshotBlocking() {
    adw::LogLine(adw::kLogInfo, kScreenshotTag, "ScreenshotBlocking fired");
    adw::CallLoggingExceptions(
        [this] {
            // A stopped manager opens nothing: only UnInit would delete the overlay.
            if (!IsStarted()) {
                adw::LogLine(adw::kLogError, kScreenshotTag, "manager not started, nothing opened");
                return;
            }
            const unsigned generation = captureGeneration_.load();
            DispatchToUiThread(kScreenshotTag, [this, generation] { OpenCaptureDialog(generation); });
        },
        kScreenshotTag, "failed by an exception: ");
    return 0;
}

// UI thread.
void AdWarden::OpenCaptureDialog(unsigned generation) {
    if (generation != captureGeneration_.load()) {
        return; // UnInit came between the request and this job
    }
    DeleteCaptureDialog();
    // Without its tip texts the overlay could not tell the user what a click does:
    // better none than a broken one.
    DuiLib::UICulture* culture = DuiLib::UICulture::GetInstance();
    for (const wchar_t* id :
         {L"IDS_POPUP_BLOCKING_CLICK_TO_BLOCK_WINDOW", L"IDS_POPUP_BLOCKING_NOT_SUPPORT_BLOCK_WINDOW"}) {
        if (culture == nullptr || culture->GetString(id).IsEmpty()) {
            adw::LogLine(adw::kLogError, kScreenshotTag, "text missing, capture window not opened: ", id);
            return;
        }
    }
    captureDialog = new (std::nothrow) CaptureWindowDialog();
    if (captureDialog == nullptr) {
        return;
    }
    if (captureDialog->Create(nullptr, L"", kCaptureStyle, kCaptureExStyle, CW_USEDEFAULT, CW_USEDEFAULT,
                              CW_USEDEFAULT, CW_USEDEFAULT, nullptr) == nullptr) {
        adw::LogLine(adw::kLogError, kScreenshotTag, "capture window not created, layout missing or malformed: ",
                     captureDialog->GetSkinFile().GetData());
        DeleteCaptureDialog();
        return;
    }
    captureDialog->ShowWindow(true, true);
}

// UI thread. An overlay still open is closed the way the user closes it, so
// the assistant hears that it closed, before its object goes: a new request
// starts afresh rather than reusing it, and no window outlives its object.
void AdWarden::DeleteCaptureDialog() {
    CaptureWindowDialog* dialog = std::exchange(captureDialog, nullptr);
    if (dialog == nullptr) {
        return;
    }
    const HWND window = dialog->GetHWND();
    if (window != nullptr && IsWindow(window)) {
        SendMessageW(window, WM_CLOSE, 0, 0);
    }
    if (window != nullptr && IsWindow(window)) {
        DestroyWindow(window); // a close the overlay's own handler did not finish
    }
    delete dialog;
}

// A window can only be destroyed on its own thread, and the host may call
// UnInit on the UI thread itself: there the overlay goes at once; from any
// other thread it goes in a job queued behind every opening already
// dispatched (which, being older, open nothing), and the caller waits for it,
// bounded and serving sent messages. A UI thread too busy to run the job in
// time keeps the overlay until the job runs, and the job keeps the library
// loaded until then: deleting it here could pull the object from under its
// window. A UI thread already known to be busy is not waited for again.
void AdWarden::DestroyCaptureDialog(bool waitForUiThread) {
    ++captureGeneration_;
    switch (RunOnUiThread(kDestroyTag, [this] { DeleteCaptureDialog(); }, waitForUiThread ? kCaptureCloseWaitMs : 0)) {
    case UiCall::Ran:
        break;
    case UiCall::NotDispatched:
        // Only an overlay whose window is gone may be deleted off its thread.
        if (captureDialog != nullptr && captureDialog->GetHWND() != nullptr && IsWindow(captureDialog->GetHWND())) {
            adw::LogLine(adw::kLogError, kDestroyTag, "capture window kept, UI thread not reached");
        } else {
            delete std::exchange(captureDialog, nullptr);
        }
        break;
    case UiCall::NotInTime:
        adw::LogLine(adw::kLogError, kDestroyTag, "capture window not closed in time");
        break;
    }
}

} // namespace KelvaneCenter
