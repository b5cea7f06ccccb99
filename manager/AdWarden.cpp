#include "manager/AdWarden.h"

#include "common/LogLine.h"

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

// Operations whose subsystems are not built yet keep their slots and do nothing.
int AdWarden::Init() {
    return 0;
}

void AdWarden::UnInit() {}

unsigned int AdWarden::GetBlockingRecords() {
    return 0;
}

unsigned int AdWarden::SetBlockingStatus(const std::wstring&, bool) {
    return 0;
}

int AdWarden::ScreenshotBlocking() {
    return 0;
}

int AdWarden::SetBlockingState(int) {
    return 0;
}

int AdWarden::SetPowerState(int) {
    return 0;
}

int AdWarden::SetFocusState(bool) {
    return 0;
}

int AdWarden::SetClearPeriod(unsigned int) {
    return 0;
}

} // namespace KelvaneCenter
