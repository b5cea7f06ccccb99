#include "manager/AdWarden.h"
#include "manager/UiThreadCall.h"

#include "common/CallLoggingExceptions.h"
#include "common/LogLine.h"
#include "vendor/PopUpBlockingVendor.h"

namespace KelvaneCenter {

namespace {
// Constructed by the library's static initialisation, never by the host.
AdWarden g_manager;

constexpr char kExceptionText[] = "failed by an exception: ";
} // namespace

AdWarden& AdWarden::Instance() {
    return g_manager;
}

void AdWarden::RegisterCallback(KelvaneMsgCenter::IPopUpBlockingCallback* cb) {
    constexpr char kTag[] = "KelvaneCenter::AdWarden::RegisterCallback";
    adw::CallLoggingExceptions([&] { SetCallback(cb, kTag); }, kTag, kExceptionText);
}

void AdWarden::UnRegisterCallback() {
    constexpr char kTag[] = "KelvaneCenter::AdWarden::UnRegisterCallback";
    adw::CallLoggingExceptions([&] { SetCallback(nullptr, kTag); }, kTag, kExceptionText);
}

void AdWarden::SetCallback(KelvaneMsgCenter::IPopUpBlockingCallback* cb, const char* tag) {
    if (!callback.Set(cb, WaitLimitForThisThread())) {
        adw::LogLine(adw::kLogError, tag, "previous callback still in a call, not waited for");
    }
}

int AdWarden::GetBlockedTimes() {
    adw::CallLoggingExceptions([&] { CallHost([&](auto& cb) { cb.OnBlockedTimes(blockedTimes.load()); }); },
                               "KelvaneCenter::AdWarden::GetBlockedTimes", kExceptionText);
    return 0;
}

void AdWarden::ReportError(int code) noexcept {
    adw::CallLoggingExceptions([&] { CallHost([&](auto& cb) { cb.OnError(code); }); },
                               "KelvaneCenter::AdWarden::ReportError", kExceptionText);
}

} // namespace KelvaneCenter
