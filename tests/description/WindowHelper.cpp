// A program with one visible top-level window, for tests that describe the
// process behind a window. It is shown without activation (fast to tear down
// without a window manager) and lives until closed, ended, or for a minute.

#include <windows.h>

namespace {

constexpr wchar_t kClassName[] = L"AdwDescriptionHelperWindow";
constexpr UINT_PTR kLifetimeTimer = 1;
constexpr UINT kLifetimeMs = 60000;

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_TIMER:
        if (wParam == kLifetimeTimer) {
            DestroyWindow(window);
        }
        return 0;
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    default:
        return DefWindowProcW(window, message, wParam, lParam);
    }
}

} // namespace

int main() {
    const HINSTANCE instance = GetModuleHandleW(nullptr);
    WNDCLASSW windowClass = {};
    windowClass.lpfnWndProc = WindowProc;
    windowClass.hInstance = instance;
    windowClass.lpszClassName = kClassName;
    if (RegisterClassW(&windowClass) == 0) {
        return 2;
    }
    HWND window = CreateWindowExW(0, kClassName, L"Description helper", WS_OVERLAPPEDWINDOW, 100, 100, 320, 200,
                                  nullptr, nullptr, instance, nullptr);
    if (window == nullptr) {
        return 3;
    }
    ShowWindow(window, SW_SHOWNOACTIVATE);
    SetTimer(window, kLifetimeTimer, kLifetimeMs, nullptr);

    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    return 0;
}
