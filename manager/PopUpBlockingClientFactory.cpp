#include "PopUpBlockingClientFactory.h"

#include "manager/AdWarden.h"

namespace KelvaneCenter {

KelvaneMsgCenter::IPopUpBlockingClient* PopUpBlockingClientFactory::GetClientInstance() {
    return &AdWarden::Instance();
}

KelvaneMsgCenter::IPopUpBlockingSettingMgr* PopUpBlockingClientFactory::GetSettingCenterClientInstance() {
    return &AdWarden::Instance();
}

} // namespace KelvaneCenter
