// The host's settings switches.

#include <string>

#include "common/CallLoggingExceptions.h"
#include "common/LogLine.h"
#include "manager/AdWarden.h"
#include "telemetry/DataReporter.h"
#include "vendor/PopUpBlockingVendor.h"

namespace KelvaneCenter {

namespace {
// No code of the result table fits a failure that is not the engine's: the
// general one the manager already uses for its own set-up.
constexpr int kFailedByException = 100;
} // namespace

// The blocking and focus switches start and stop the focus-scene monitor,
// which is not part of this build yet: both keep their slots and change nothing.
int AdWarden::SetBlockingState(int) {
    return 0;
}

int AdWarden::SetFocusState(bool) {
    return 0;
}

int AdWarden::SetPowerState(int power) {
    constexpr char kTag[] = "KelvaneCenter::AdWarden::SetPowerState";
    return adw::ReturnLoggingExceptions(
        [&] {
            CallHost([&](auto& cb) { cb.OnStateChanged(power); });
            const int mode = power != 0 ? 2 : 0;
            const int result = static_cast<int>(PopUpBlockingVendor::GetInstance().SetTrackerState(mode));
            adw::LogLine(adw::kLogError, kTag, "powerState set success");
            switchConfig.PowerfulModeStatus = power;
            DataReporter::ReportModeSwitch("POWER_MODE", std::to_string(power));
            return result;
        },
        kFailedByException, kTag, "failed by an exception: ");
}

int AdWarden::SetClearPeriod(unsigned int period) {
    return adw::ReturnLoggingExceptions(
        [&] { return static_cast<int>(PopUpBlockingVendor::GetInstance().SetClearPeriod(period)); },
        kFailedByException, "KelvaneCenter::AdWarden::SetClearPeriod", "failed by an exception: ");
}

} // namespace KelvaneCenter
