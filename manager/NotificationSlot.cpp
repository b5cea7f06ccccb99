#include "manager/NotificationSlot.h"

#include <cwchar>

#include "common/EnginePath.h"
namespace KelvaneCenter {

ADW_ENGINE_PATH void NotificationSlot::SetKey(const wchar_t* key) {
    const size_t length = std::wcslen(key);
    if (length < kShortKeyChars) {
        std::wmemcpy(shortKey, key, length + 1);
        longKey.clear();
    } else {
        longKey.assign(key, length); // not empty: Key() reads it
    }
}

} // namespace KelvaneCenter
