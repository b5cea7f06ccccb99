// The host's settings switches.

#include <string>

#include "common/CallLoggingExceptions.h"
#include "common/LogLine.h"
#include "focus/FocusScene.h"
#include "manager/AdWarden.h"
#include "telemetry/DataReporter.h"
#include "vendor/PopUpBlockingVendor.h"

namespace KelvaneCenter {

namespace {
// No code of the result table fits a failure that is not the engine's: the
// general one the manager already uses for its own set-up.
constexpr int kFailedByException = 100;
} // namespace

// The switches themselves come from the registry, where the host keeps them:
// `state` is only passed on to the host and to the report.
int AdWarden::SetBlockingState(int state) {
    constexpr char kTag[] = "KelvaneCenter::AdWarden::SetBlockingState";
    return adw::ReturnLoggingExceptions(
        [&] {
            std::lock_guard<SettingLock> serial(settingLock);
            CallHost([&](auto& cb) { cb.OnStateChanged(state); });
            SwitchConfig stored;
            if (!LoadConfig::GetSwitchConfig(stored)) {
                adw::LogLine(adw::kLogError, kTag, "Load Config Failed!");
                return 101;
            }
            int mode = 1;
            if (stored.PopUpBlockingStatus == 0) {
                if (!FocusScene::GetInstance().StopMonitor()) {
                    return 403;
                }
                mode = 0;
            }
            {
                std::lock_guard<std::mutex> write(switchLock_);
                switchConfig = stored;
            }
            const int result = static_cast<int>(PopUpBlockingVendor::GetInstance().SetTrackerState(mode));
            DataReporter::ReportModeSwitch("BLOCKING_MODE", std::to_string(state));
            return result;
        },
        kFailedByException, kTag, "failed by an exception: ");
}

// Starts or stops the focus-scene monitor; neither the tracker mode nor the registry changes.
int AdWarden::SetFocusState(bool on) {
    constexpr char kTag[] = "KelvaneCenter::AdWarden::SetFocusState";
    return adw::ReturnLoggingExceptions(
        [&] {
            if (Switches().PopUpBlockingStatus == 0) {
                adw::LogLine(adw::kLogError, kTag, "blocking switch is close. set focus state fail");
                return 401;
            }
            if (on && !StartFocusMode()) {
                return 402;
            }
            if (!on && !FocusScene::GetInstance().StopMonitor()) {
                return 403;
            }
            {
                std::lock_guard<std::mutex> write(switchLock_);
                switchConfig.FocusModeStatus = on ? 1 : 0;
            }
            DataReporter::ReportModeSwitch("FOCUS_MODE", on ? "1" : "0");
            return 0;
        },
        kFailedByException, kTag, "failed by an exception: ");
}

int AdWarden::SetPowerState(int power) {
    constexpr char kTag[] = "KelvaneCenter::AdWarden::SetPowerState";
    return adw::ReturnLoggingExceptions(
        [&] {
            CallHost([&](auto& cb) { cb.OnStateChanged(power); });
            const int mode = power != 0 ? 2 : 0;
            const int result = static_cast<int>(PopUpBlockingVendor::GetInstance().SetTrackerState(mode));
            adw::LogLine(adw::kLogError, kTag, "powerState set success");
            {
                std::lock_guard<std::mutex> write(switchLock_);
                switchConfig.PowerfulModeStatus = power;
            }
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
