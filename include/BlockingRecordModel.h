#pragma once

#include <string>

namespace KelvaneMsgCenter {

// Record status values.
enum BlockingRecordStatus : int {
    kRecordBlocked = 1,         // the item's handle type is "blocked"
    kRecordBlockedRecently = 2, // blocked by the engine just now, or within the last 14 days
    kRecordNotBlocked = 3,      // undecided or allowed
};

// One pop-up as the host sees it. A value: it owns its strings.
struct BlockingRecordModel {
    std::wstring popupId;
    std::wstring textA;
    std::wstring textB;
    int popupType = 0;
    unsigned int blockCount = 0;
    int status = 0;
};

} // namespace KelvaneMsgCenter
