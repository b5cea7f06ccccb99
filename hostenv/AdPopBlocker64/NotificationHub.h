#pragma once

#include "vendor/AdPopWndTracker.h"

namespace adpop {

enum class Notification { AdHat, AdBlock, AdWindow, OtherAd };

// A script's kind number (kAdPopScriptAdHat ... kAdPopScriptOtherAd, in this
// enum's order); false for any other number.
inline bool NotificationFromKind(int kind, Notification& out) {
    if (kind < 0 || kind > static_cast<int>(Notification::OtherAd)) {
        return false;
    }
    out = static_cast<Notification>(kind);
    return true;
}

// The callbacks handed to the tracker's Init, and their delivery. Delivery holds
// the hub's lock shared; Disconnect takes it exclusively, so that, like an
// engine joining its threads at UnInit, it returns only when no notification is
// in flight.
class NotificationHub {
public:
    void Connect(AdHatNotify hat, AdBlockNotify block, AdWindowNotify window, OtherAdNotify other);
    void Disconnect();
    // true when a callback was there to call. With `callMicros`, stores how long
    // the callback itself took, in microseconds (the hub's own dispatch left out).
    bool Deliver(Notification kind, const wchar_t* key, HWND window, double* callMicros = nullptr);

private:
    SRWLOCK lock_ = SRWLOCK_INIT;
    AdHatNotify hat_ = nullptr;
    AdBlockNotify block_ = nullptr;
    AdWindowNotify window_ = nullptr;
    OtherAdNotify other_ = nullptr;
};

} // namespace adpop
