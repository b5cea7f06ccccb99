// A program with one visible top-level window, for tests that describe the
// process behind a window. It is shown without activation (fast to tear down
// without a window manager) and lives until ended, or for a minute.

#include <windows.h>

int main() {
    HWND window = CreateWindowExW(0, L"STATIC", L"Description helper", WS_OVERLAPPEDWINDOW, 100, 100, 320, 200,
                                  nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    if (window == nullptr) {
        return 3;
    }
    ShowWindow(window, SW_SHOWNOACTIVATE);
    SetTimer(nullptr, 0, 60000, nullptr); // a thread timer: its WM_TIMER ends the program
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0 && !(message.message == WM_TIMER && message.hwnd == nullptr)) {
        DispatchMessageW(&message);
    }
    return 0;
}
