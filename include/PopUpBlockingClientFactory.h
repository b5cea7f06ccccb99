#pragma once

#include "AdWardenExport.h"
#include "IPopUpBlockingClient.h"

namespace KelvaneCenter {

// The host's way in: two views of the library's single manager object.
class ADWARDEN_API PopUpBlockingClientFactory {
public:
    static KelvaneMsgCenter::IPopUpBlockingClient* GetClientInstance();
    static KelvaneMsgCenter::IPopUpBlockingSettingMgr* GetSettingCenterClientInstance();
};

} // namespace KelvaneCenter
