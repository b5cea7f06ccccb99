// The host's settings switches.

#include <string>

#include "common/LogLine.h"
#include "manager/AdWarden.h"
#include "telemetry/DataReporter.h"
#include "vendor/PopUpBlockingVendor.h"

namespace KelvaneCenter {

// The blocking and focus switches start and stop the focus-scene monitor,
// which is not part of this build yet: both keep their slots and change nothing.
int AdWarden::SetBlockingState(int) {
    return 0;
}

int AdWarden::SetFocusState(bool) {
    return 0;
}

int AdWarden::SetPowerState(int power) {
    if (auto* cb = callback.load()) {
        cb->OnStateChanged(power);
    }
    const int mode = power != 0 ? 2 : 0;
    const int result = static_cast<int>(PopUpBlockingVendor::GetInstance().SetTrackerState(mode));
    adw::LogLine(adw::kLogError, "KelvaneCenter::AdWarden::SetPowerState", "powerState set success");
    switchConfig.PowerfulModeStatus = power;
    DataReporter::ReportModeSwitch("POWER_MODE", std::to_string(power));
    return result;
}

int AdWarden::SetClearPeriod(unsigned int period) {
    return static_cast<int>(PopUpBlockingVendor::GetInstance().SetClearPeriod(period));
}

} // namespace KelvaneCenter
