#include "ui/RealPress.h"

#include <windowsx.h>

namespace KelvaneCenter {

namespace {

using GetInputSourceFunc = BOOL(WINAPI*)(INPUT_MESSAGE_SOURCE*);

// Windows 8 and later: looked up once, absent before.
GetInputSourceFunc InputSourceQuery() {
    static const GetInputSourceFunc query = [] {
        const HMODULE user32 = ::GetModuleHandleW(L"user32.dll");
        return user32 == nullptr ? nullptr
                                 : reinterpret_cast<GetInputSourceFunc>(reinterpret_cast<void (*)()>(
                                       ::GetProcAddress(user32, "GetCurrentInputMessageSource")));
    }();
    return query;
}

} // namespace

bool IsFromInputSystem(HWND window, LPARAM lParam) {
    // A posted message carries the pointer's position at the time it was
    // posted, not the point it names.
    const DWORD position = ::GetMessagePos();
    POINT at = {GET_X_LPARAM(static_cast<LPARAM>(position)), GET_Y_LPARAM(static_cast<LPARAM>(position))};
    if (window == nullptr || !::ScreenToClient(window, &at) || at.x != GET_X_LPARAM(lParam) ||
        at.y != GET_Y_LPARAM(lParam)) {
        return false;
    }
    // Posted or sent messages have no device. Injected input (SendInput) does
    // come through the input system and counts: so do accessibility tools.
    INPUT_MESSAGE_SOURCE source = {};
    const GetInputSourceFunc query = InputSourceQuery();
    return query == nullptr || !query(&source) || source.deviceType != IMDT_UNAVAILABLE;
}

} // namespace KelvaneCenter
