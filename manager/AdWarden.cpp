#include "manager/AdWarden.h"

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
    adw::CallLoggingExceptions([&] { callback.Set(cb); }, "KelvaneCenter::AdWarden::RegisterCallback",
                               kExceptionText);
}

void AdWarden::UnRegisterCallback() {
    adw::CallLoggingExceptions([&] { callback.Set(nullptr); }, "KelvaneCenter::AdWarden::UnRegisterCallback",
                               kExceptionText);
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
