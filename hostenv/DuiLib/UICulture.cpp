#include "DuiLib/UICulture.h"

namespace DuiLib {

UICulture::UICulture()
    : texts_{
          {L"IDS_POPUP_BLOCKING_CLICK_TO_BLOCK_WINDOW", L"Click to block this window's pop-ups"},
          {L"IDS_POPUP_BLOCKING_NOT_SUPPORT_BLOCK_WINDOW", L"This window cannot be blocked"},
          {L"IDS_POPUP_BLOCKING_HAT_QUESTION", L"Block pop-ups like this one?"},
          {L"IDS_POPUP_BLOCKING_HAT_BLOCK", L"Block"},
          {L"IDS_POPUP_BLOCKING_HAT_IGNORE", L"Ignore"},
      } {}

UICulture* UICulture::GetInstance() {
    static UICulture culture;
    return &culture;
}

CDuiString UICulture::GetString(const wchar_t* id) const {
    std::lock_guard<std::mutex> hold(lock_);
    const auto found = texts_.find(id != nullptr ? id : L"");
    return found != texts_.end() ? CDuiString(found->second.c_str()) : CDuiString();
}

void UICulture::SetString(const wchar_t* id, const wchar_t* text) {
    if (id == nullptr) {
        return;
    }
    std::lock_guard<std::mutex> hold(lock_);
    texts_[id] = text != nullptr ? text : L"";
}

} // namespace DuiLib
