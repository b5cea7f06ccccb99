#include "manager/AdWarden.h"

#include "common/LogLine.h"
#include "vendor/PopUpBlockingVendor.h"

namespace KelvaneCenter {

namespace {
// Constructed by the library's static initialisation, never by the host.
AdWarden g_manager;
} // namespace

AdWarden& AdWarden::Instance() {
    return g_manager;
}

void AdWarden::RegisterCallback(KelvaneMsgCenter::IPopUpBlockingCallback* cb) {
    callback.store(cb);
}

void AdWarden::UnRegisterCallback() {
    callback.store(nullptr);
}

int AdWarden::GetBlockedTimes() {
    if (auto* cb = callback.load()) {
        cb->OnBlockedTimes(blockedTimes.load());
    }
    return 0;
}

// The capture overlay is not part of this build yet: the request is accepted
// and nothing opens.
int AdWarden::ScreenshotBlocking() {
    return 0;
}

} // namespace KelvaneCenter
