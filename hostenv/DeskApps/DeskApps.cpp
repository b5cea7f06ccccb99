// Ordinary applications, what a pop-up blocker must leave alone. Built twice:
//
//   DeskApp [--exit-after S]   an editor: a document window with a title bar,
//                              a "Save changes?" dialog and a small tool window
//                              of a bubble's size, both owned by the document
//   meeting [--exit-after S]   a meeting covering the primary monitor, brought
//                              to the front (the program a focus scene is made of)
//
// Each prints its process id and its windows' handles, ends by itself after
// --exit-after seconds (1-600, default 120) and when its main window closes.

#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <string>

#include "common/UniqueResource.h"

namespace {

constexpr unsigned kMaxExitAfterS = 600;

adw::UniqueGdiObject g_font;
adw::UniqueGdiObject g_bigFont;

void Say(const wchar_t* program, const std::wstring& line) {
    std::wprintf(L"%ls: %ls\n", program, line.c_str());
    std::fflush(stdout);
}

std::wstring Handle(HWND window) {
    wchar_t text[32];
    std::swprintf(text, 32, L"0x%llx", static_cast<unsigned long long>(reinterpret_cast<UINT_PTR>(window)));
    return text;
}

void FillText(HDC dc, const RECT& area, COLORREF back, COLORREF ink, HGDIOBJ font, const wchar_t* text, UINT format) {
    adw::UniqueGdiObject brush(::CreateSolidBrush(back));
    ::FillRect(dc, &area, static_cast<HBRUSH>(brush.get()));
    ::SetBkMode(dc, TRANSPARENT);
    ::SetTextColor(dc, ink);
    const HGDIOBJ old = ::SelectObject(dc, font);
    RECT inner{area.left + 12, area.top + 10, area.right - 12, area.bottom - 10};
    ::DrawTextW(dc, text, -1, &inner, format);
    ::SelectObject(dc, old);
}

// What each window shows, by its class.
void Paint(HWND window) {
    PAINTSTRUCT paint;
    HDC dc = ::BeginPaint(window, &paint);
    RECT client;
    ::GetClientRect(window, &client);
    wchar_t name[64] = {};
    ::GetClassNameW(window, name, 64);
    const std::wstring cls = name;
    if (cls == L"DeskAppDocument") {
        FillText(dc, client, RGB(255, 255, 255), RGB(31, 35, 41), g_font.get(),
                 L"Quarterly report\r\n\r\nSales rose in every region this quarter. The new shop opened on time and "
                 L"the delivery times fell by a day.\r\n\r\nNext steps: hire two people for the north office, "
                 L"review the prices in June.",
                 DT_LEFT | DT_WORDBREAK);
    } else if (cls == L"DeskAppTool") {
        FillText(dc, client, RGB(240, 244, 248), RGB(31, 35, 41), g_font.get(),
                 L"Words: 412\r\nCharacters: 2 305\r\nPages: 2", DT_LEFT | DT_WORDBREAK);
    } else if (cls == L"DeskAppDialog") {
        FillText(dc, client, RGB(240, 240, 240), RGB(31, 35, 41), g_font.get(),
                 L"Save changes to \"Quarterly report\" before closing?", DT_LEFT | DT_WORDBREAK);
    } else {
        FillText(dc, client, RGB(32, 36, 44), RGB(236, 239, 244), g_bigFont.get(),
                 L"Weekly sync - 5 people\r\n\r\nYou are presenting", DT_CENTER | DT_WORDBREAK);
        const int w = (client.right - 200) / 3;
        for (int i = 0; i < 3; ++i) {
            RECT tile{50 + i * (w + 50), client.bottom / 3, 50 + i * (w + 50) + w, client.bottom / 3 + w * 9 / 16};
            adw::UniqueGdiObject brush(::CreateSolidBrush(RGB(60 + i * 20, 80, 110)));
            ::FillRect(dc, &tile, static_cast<HBRUSH>(brush.get()));
        }
    }
    ::EndPaint(window, &paint);
}

LRESULT HandleMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_PAINT:
        Paint(window);
        return 0;
    case WM_DESTROY:
        // The main window (the document, the meeting) ends the program.
        if (::GetWindow(window, GW_OWNER) == nullptr) {
            ::PostQuitMessage(0);
        }
        return 0;
    }
    return ::DefWindowProcW(window, message, wParam, lParam);
}

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    try {
        return HandleMessage(window, message, wParam, lParam);
    } catch (...) {
        return ::DefWindowProcW(window, message, wParam, lParam);
    }
}

bool Register(const wchar_t* name) {
    WNDCLASSEXW cls{};
    cls.cbSize = sizeof(cls);
    cls.lpfnWndProc = &WindowProc;
    cls.hInstance = ::GetModuleHandleW(nullptr);
    cls.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
    cls.lpszClassName = name;
    return ::RegisterClassExW(&cls) != 0;
}

HWND Make(const wchar_t* cls, const wchar_t* title, DWORD exStyle, DWORD style, RECT place, HWND owner) {
    return ::CreateWindowExW(exStyle, cls, title, style, place.left, place.top, place.right - place.left,
                             place.bottom - place.top, owner, nullptr, ::GetModuleHandleW(nullptr), nullptr);
}

#ifndef DESKAPPS_MEETING
constexpr wchar_t kProgram[] = L"deskapp";

void AddButton(HWND parent, const wchar_t* text, int x, int y) {
    HWND button = ::CreateWindowExW(0, L"BUTTON", text, WS_CHILD | WS_VISIBLE | BS_PUSHBUTTON, x, y, 100, 28, parent,
                                    nullptr, ::GetModuleHandleW(nullptr), nullptr);
    ::SendMessageW(button, WM_SETFONT, reinterpret_cast<WPARAM>(g_font.get()), TRUE);
}

// An editor's windows: each a kind the rules must not take for an ad.
bool OpenWindows() {
    if (!Register(L"DeskAppDocument") || !Register(L"DeskAppDialog") || !Register(L"DeskAppTool")) {
        return false;
    }
    const HWND document = Make(L"DeskAppDocument", L"Quarterly report - Editor", 0, WS_OVERLAPPEDWINDOW,
                               RECT{80, 80, 820, 600}, nullptr);
    const HWND dialog = Make(L"DeskAppDialog", L"Save changes?", WS_EX_DLGMODALFRAME,
                             WS_POPUP | WS_CAPTION | WS_SYSMENU, RECT{520, 400, 900, 550}, document);
    const HWND tool = Make(L"DeskAppTool", L"Word count", WS_EX_TOOLWINDOW, WS_POPUP | WS_CAPTION,
                           RECT{900, 96, 1180, 246}, document);
    if (document == nullptr || dialog == nullptr || tool == nullptr) {
        return false;
    }
    AddButton(dialog, L"Save", 150, 80);
    AddButton(dialog, L"Don't save", 262, 80);
    for (HWND window : {document, tool, dialog}) {
        ::ShowWindow(window, SW_SHOWNOACTIVATE);
        ::SetWindowPos(window, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE); // owned ones above
    }
    Say(kProgram, L"document " + Handle(document) + L" \"Quarterly report - Editor\", dialog " + Handle(dialog) +
                      L" \"Save changes?\", tool window " + Handle(tool) + L" \"Word count\"");
    return true;
}
#else
constexpr wchar_t kProgram[] = L"meeting";

// The whole primary monitor, in front.
bool OpenWindows() {
    if (!Register(L"MeetingWindow")) {
        return false;
    }
    const RECT screen{0, 0, ::GetSystemMetrics(SM_CXSCREEN), ::GetSystemMetrics(SM_CYSCREEN)};
    const HWND meeting = Make(L"MeetingWindow", L"Weekly sync - Meeting", 0, WS_POPUP, screen, nullptr);
    if (meeting == nullptr) {
        return false;
    }
    ::ShowWindow(meeting, SW_SHOW);
    ::SetForegroundWindow(meeting);
    Say(kProgram, L"full screen " + Handle(meeting) + L" \"Weekly sync - Meeting\"");
    return true;
}
#endif

bool ParseExitAfter(int argc, wchar_t** argv, unsigned& seconds) {
    if (argc == 1) {
        return true;
    }
    wchar_t* end = nullptr;
    const unsigned long value = argc == 3 && std::wcscmp(argv[1], L"--exit-after") == 0
                                    ? std::wcstoul(argv[2], &end, 10)
                                    : 0;
    if (end == nullptr || *end != L'\0' || value < 1 || value > kMaxExitAfterS) {
        return false;
    }
    seconds = static_cast<unsigned>(value);
    return true;
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    unsigned exitAfterS = 120;
    if (!ParseExitAfter(argc, argv, exitAfterS)) {
        std::fwprintf(stderr, L"usage: %ls [--exit-after 1-600]\n", kProgram);
        return 2;
    }
    NONCLIENTMETRICSW metrics{};
    metrics.cbSize = sizeof(metrics);
    ::SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0);
    LOGFONTW font = metrics.lfMessageFont;
    font.lfHeight = -16;
    g_font.reset(::CreateFontIndirectW(&font));
    font.lfHeight = -40;
    font.lfWeight = FW_BOLD;
    g_bigFont.reset(::CreateFontIndirectW(&font));
    Say(kProgram, L"process " + std::to_wstring(::GetCurrentProcessId()));
    if (!OpenWindows()) {
        Say(kProgram, L"could not open its windows");
        return 3;
    }
    ::SetTimer(nullptr, 0, exitAfterS * 1000, nullptr); // a thread timer: its message has no window
    MSG message;
    while (::GetMessageW(&message, nullptr, 0, 0) > 0) {
        if (message.message == WM_TIMER && message.hwnd == nullptr) {
            break; // time is up
        }
        ::TranslateMessage(&message);
        ::DispatchMessageW(&message);
    }
    Say(kProgram, L"done");
    return 0;
}
