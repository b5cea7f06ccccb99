#pragma once

#include <vector>

#include "BlockingRecordModel.h"

namespace KelvaneMsgCenter {

// Implemented by the host; the library never owns or releases it.
class IPopUpBlockingCallback {
public:
    virtual void OnBlockingRecords(const std::vector<BlockingRecordModel>& records) = 0;
    virtual void OnBlockingRecord(const BlockingRecordModel& record) = 0;
    virtual void OnBlockedTimes(int blockedTimes) = 0;
    virtual void OnError(int code) = 0;
    virtual void OnStateChanged(int state) = 0;

protected:
    ~IPopUpBlockingCallback() = default;
};

} // namespace KelvaneMsgCenter
