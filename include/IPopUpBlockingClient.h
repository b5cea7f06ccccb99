#pragma once

#include <string>

#include "IPopUpBlockingCallback.h"

namespace KelvaneMsgCenter {

// The manager as the host drives it. Slot order is part of the binary contract.
class IPopUpBlockingClient {
public:
    virtual int Init() = 0;
    virtual void UnInit() = 0;
    virtual void RegisterCallback(IPopUpBlockingCallback* cb) = 0;
    virtual void UnRegisterCallback() = 0;
    virtual unsigned int GetBlockingRecords() = 0;
    virtual unsigned int SetBlockingStatus(const std::wstring& popupId, bool block) = 0;
    virtual int GetBlockedTimes() = 0;
    virtual int ScreenshotBlocking() = 0;
    virtual int SetBlockingState(int state) = 0;

protected:
    ~IPopUpBlockingClient() = default;
};

// The settings view of the same manager.
class IPopUpBlockingSettingMgr {
public:
    virtual int SetBlockingState(int state) = 0;
    virtual int SetPowerState(int power) = 0;
    virtual int SetFocusState(bool on) = 0;
    virtual int SetClearPeriod(unsigned int period) = 0;

protected:
    ~IPopUpBlockingSettingMgr() = default;
};

} // namespace KelvaneMsgCenter
