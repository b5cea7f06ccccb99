// The host's settings switches.

#include <string>

#include "common/CallLoggingExceptions.h"
#include "common/LogLine.h"
#include "focus/FocusScene.h"
#include "manager/AdWarden.h"
#include "manager/UiThreadCall.h"
#include "telemetry/DataReporter.h"
#include "vendor/PopUpBlockingVendor.h"

namespace KelvaneCenter {

namespace {
// No code of the result table fits a failure that is not the engine's: the
// general one the manager already uses for its own set-up.
constexpr int kFailedByException = 100;
// The engine's "not loaded" code, for a switch changed while the manager is stopped.
constexpr int kNotStarted = 102;
// The general failure again, for a change refused because another one is still in progress.
constexpr int kSettingNotTaken = 100;
} // namespace

// The switches themselves come from the registry, where the host keeps them:
// `state` is only passed on to the host and to the report.
int AdWarden::SetBlockingState(int state) {
    constexpr char kTag[] = "KelvaneCenter::AdWarden::SetBlockingState";
    return adw::ReturnLoggingExceptions(
        [&] {
            switch (settingLock.Lock(WaitLimitForThisThread())) {
            case SettingLock::Taken::Yes:
                break;
            case SettingLock::Taken::ReEntered:
                adw::LogLine(adw::kLogError, kTag, "called again from inside itself, refused");
                return kSettingNotTaken;
            case SettingLock::Taken::NotInTime:
                adw::LogLine(adw::kLogError, kTag, "another change of the switch still in progress, refused");
                return kSettingNotTaken;
            }
            struct Unlock {
                SettingLock& lock;
                ~Unlock() { lock.Unlock(); }
            } serial{settingLock};
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
            // A stopped manager starts nothing that only UnInit would stop (the
            // monitor's thread would keep the library loaded and see every input
            // of the desktop): the switch is kept for the next Init.
            if (!IsStarted()) {
                {
                    std::lock_guard<std::mutex> write(switchLock_);
                    switchConfig.FocusModeStatus = on ? 1 : 0;
                }
                adw::LogLine(adw::kLogError, kTag, "manager not started, focus mode not changed");
                return kNotStarted;
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
