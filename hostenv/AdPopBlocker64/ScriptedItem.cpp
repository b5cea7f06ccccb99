#include "AdPopBlocker64/ScriptedItem.h"

namespace adpop {

std::atomic<bool> ScriptedItem::nullTexts_{false};

namespace {
std::wstring Copy(const wchar_t* text) {
    return text != nullptr ? std::wstring(text) : std::wstring();
}
} // namespace

ScriptedItem::ScriptedItem(const AdPopScriptItem& script, const std::atomic<int>& defaultHandleTypeResult)
    : key_(Copy(script.key)),
      textA_(Copy(script.textA)),
      textB_(Copy(script.textB)),
      exePath_(Copy(script.exePath)),
      softwareName_(Copy(script.softwareName)),
      popupType_(script.popupType),
      blockCount_(script.blockCount),
      lastBlockTime_(script.lastBlockTime),
      hideFlag_(script.hideFlag),
      handleType_(script.handleType),
      defaultHandleTypeResult_(defaultHandleTypeResult) {}

int ADPOP_CALL ScriptedItem::SetHandleType(int handleType) {
    const int result = hasOwnResult_ ? ownHandleTypeResult_.load() : defaultHandleTypeResult_.load();
    if (result == 1) {
        handleType_ = handleType;
    }
    return result;
}

} // namespace adpop
