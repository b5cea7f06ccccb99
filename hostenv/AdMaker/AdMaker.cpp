// A program that behaves like adware: it opens advertising pop-ups (a toast in
// the bottom-right corner, a window in the middle, a small bubble) again and
// again, and can start a second copy of itself for another advertiser, so that
// the engine has pop-ups of two processes to sort, block and count.
//
//   AdMaker [--advertiser NAME] [--slogan TEXT] [--kinds toast,centre,bubble]
//           [--count ROUNDS] [--interval MS] [--lifetime MS] [--exit-after S]
//           [--second NAME] [--slot N] [--grab]
//
// --grab: the centre window takes the foreground as it opens, as the most
// intrusive adware does.
//
// It always ends by itself: after its rounds, or after --exit-after seconds
// (at most 600) at the latest.

#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>

#include "common/UniqueResource.h"

namespace {

enum class Kind { Toast, Centre, Bubble };

struct KindInfo {
    Kind kind;
    const wchar_t* name;
    const wchar_t* windowClass;
    SIZE size;
};

constexpr KindInfo kKinds[] = {
    {Kind::Toast, L"toast", L"AdMakerToast", {340, 200}},
    {Kind::Centre, L"centre", L"AdMakerCentre", {480, 320}},
    {Kind::Bubble, L"bubble", L"AdMakerBubble", {280, 150}},
};

struct Options {
    std::wstring advertiser = L"Sunmart";
    std::wstring slogan;
    std::vector<Kind> kinds = {Kind::Toast, Kind::Centre, Kind::Bubble};
    unsigned count = 5;
    unsigned intervalMs = 3000;
    unsigned lifetimeMs = 0; // 0: until the next round
    unsigned exitAfterS = 60;
    std::wstring second;
    unsigned slot = 0;
    bool grab = false;
};

constexpr unsigned kMaxExitAfterS = 600;

const KindInfo& Info(Kind kind) {
    return kKinds[static_cast<int>(kind)];
}

bool ParseUnsigned(const wchar_t* text, unsigned low, unsigned high, unsigned& value) {
    wchar_t* end = nullptr;
    const unsigned long parsed = std::wcstoul(text, &end, 10);
    if (end == text || *end != L'\0' || parsed < low || parsed > high) {
        return false;
    }
    value = static_cast<unsigned>(parsed);
    return true;
}

bool ParseKinds(const std::wstring& list, std::vector<Kind>& kinds) {
    kinds.clear();
    size_t start = 0;
    while (start <= list.size()) {
        const size_t comma = list.find(L',', start);
        const std::wstring name = list.substr(start, comma == std::wstring::npos ? std::wstring::npos : comma - start);
        bool known = false;
        for (const KindInfo& info : kKinds) {
            if (name == info.name) {
                kinds.push_back(info.kind);
                known = true;
            }
        }
        if (!known) {
            return false;
        }
        if (comma == std::wstring::npos) {
            break;
        }
        start = comma + 1;
    }
    return !kinds.empty();
}

// Names travel on a command line in quotes: a quote inside one is refused.
bool ParseName(const wchar_t* text, std::wstring& name) {
    name = text;
    return !name.empty() && name.size() <= 64 && name.find(L'"') == std::wstring::npos;
}

bool ParseOptions(int argc, wchar_t** argv, Options& options) {
    for (int i = 1; i < argc; ++i) {
        const std::wstring option = argv[i];
        if (option == L"--grab") {
            options.grab = true;
            continue;
        }
        const wchar_t* value = i + 1 < argc ? argv[i + 1] : nullptr;
        if (value == nullptr) {
            return false;
        }
        ++i;
        bool ok = false;
        if (option == L"--advertiser") ok = ParseName(value, options.advertiser);
        else if (option == L"--slogan") ok = ParseName(value, options.slogan);
        else if (option == L"--second") ok = ParseName(value, options.second);
        else if (option == L"--kinds") ok = ParseKinds(value, options.kinds);
        else if (option == L"--count") ok = ParseUnsigned(value, 1, 1000, options.count);
        else if (option == L"--interval") ok = ParseUnsigned(value, 100, 600000, options.intervalMs);
        else if (option == L"--lifetime") ok = ParseUnsigned(value, 100, 600000, options.lifetimeMs);
        else if (option == L"--exit-after") ok = ParseUnsigned(value, 1, kMaxExitAfterS, options.exitAfterS);
        else if (option == L"--slot") ok = ParseUnsigned(value, 0, 3, options.slot);
        if (!ok) {
            return false;
        }
    }
    return true;
}

std::wstring DefaultSlogan(const std::wstring& advertiser) {
    if (advertiser == L"Sunmart") return L"Fresh deals every morning";
    if (advertiser == L"Nimbus Games") return L"Play free tonight";
    return L"Limited offer, today only";
}

// Where a pop-up of a kind opens: a toast in the bottom-right corner (a second
// copy's toasts stack above), a window in the middle, a bubble near the top
// right; copies other than the first move theirs aside so that none covers another.
RECT PlaceAd(Kind kind, unsigned slot, const RECT& work) {
    const SIZE size = Info(kind).size;
    const LONG s = static_cast<LONG>(slot);
    POINT origin{};
    switch (kind) {
    case Kind::Toast:
        origin = {work.right - 16 - size.cx, work.bottom - 16 - size.cy - s * (size.cy + 72)};
        break;
    case Kind::Centre:
        origin = {(work.left + work.right - size.cx) / 2 + s * 180, (work.top + work.bottom - size.cy) / 2 + s * 100};
        break;
    case Kind::Bubble:
        origin = {work.right - 40 - size.cx - s * (size.cx + 40), work.top + 96};
        break;
    }
    return RECT{origin.x, origin.y, origin.x + size.cx, origin.y + size.cy};
}

COLORREF AccentOf(const std::wstring& advertiser) {
    static const COLORREF kAccents[] = {RGB(232, 93, 4), RGB(46, 125, 50), RGB(106, 27, 154), RGB(2, 119, 189)};
    unsigned sum = 0;
    for (wchar_t c : advertiser) sum = sum * 31 + c;
    return kAccents[sum % 4];
}

using adw::UniqueGdiObject;

constexpr UINT_PTR kRoundTimer = 1;
constexpr UINT_PTR kExitTimer = 2;
constexpr UINT_PTR kLifetimeTimer = 3;
constexpr int kShopButton = 100;
constexpr int kCloseButton = 101;

// The program's state, owned by its one thread.
struct Maker {
    Options options;
    HWND controller = nullptr;
    unsigned roundsDone = 0;
    int liveAds = 0;
    UniqueGdiObject titleFont;
    UniqueGdiObject textFont;
    UniqueGdiObject accentBrush;
};

Maker* g_maker = nullptr;

void Say(const std::wstring& line) {
    std::wprintf(L"admaker[%ls]: %ls\n", g_maker->options.advertiser.c_str(), line.c_str());
    std::fflush(stdout);
}

Kind KindOfWindow(HWND window) {
    return static_cast<Kind>(::GetWindowLongPtrW(window, GWLP_USERDATA));
}

void PaintAd(HWND window) {
    PAINTSTRUCT paint;
    HDC dc = ::BeginPaint(window, &paint);
    RECT client;
    ::GetClientRect(window, &client);
    ::FillRect(dc, &client, static_cast<HBRUSH>(::GetStockObject(WHITE_BRUSH)));
    RECT band{0, 0, client.right, 8};
    ::FillRect(dc, &band, static_cast<HBRUSH>(g_maker->accentBrush.get()));
    ::SetBkMode(dc, TRANSPARENT);
    ::SetTextColor(dc, AccentOf(g_maker->options.advertiser));
    const HGDIOBJ old = ::SelectObject(dc, g_maker->titleFont.get());
    RECT text{16, 20, client.right - 16, client.bottom};
    ::DrawTextW(dc, g_maker->options.advertiser.c_str(), -1, &text, DT_LEFT | DT_SINGLELINE | DT_END_ELLIPSIS);
    ::SelectObject(dc, g_maker->textFont.get());
    ::SetTextColor(dc, RGB(31, 35, 41));
    text.top += KindOfWindow(window) == Kind::Bubble ? 40 : 52;
    ::DrawTextW(dc, g_maker->options.slogan.c_str(), -1, &text, DT_LEFT | DT_WORDBREAK | DT_END_ELLIPSIS);
    ::SelectObject(dc, old);
    ::EndPaint(window, &paint);
}

LRESULT HandleAdMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_PAINT:
        PaintAd(window);
        return 0;
    case WM_COMMAND:
        if (LOWORD(wParam) == kShopButton) {
            Say(std::wstring(Info(KindOfWindow(window)).name) + L" clicked: \"Shop now\"");
        }
        ::DestroyWindow(window);
        return 0;
    case WM_CLOSE:
        Say(std::wstring(Info(KindOfWindow(window)).name) + L" closed by another program");
        ::DestroyWindow(window);
        return 0;
    case WM_TIMER:
        if (wParam == kLifetimeTimer) {
            ::DestroyWindow(window);
        }
        return 0;
    case WM_DESTROY:
        if (--g_maker->liveAds == 0 && g_maker->roundsDone == g_maker->options.count) {
            ::PostQuitMessage(0);
        }
        return 0;
    }
    return ::DefWindowProcW(window, message, wParam, lParam);
}

// Nothing thrown while handling a message goes back through the system's call.
template <typename Handler>
LRESULT Guarded(Handler&& handler, HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    try {
        return handler(window, message, wParam, lParam);
    } catch (...) {
        return ::DefWindowProcW(window, message, wParam, lParam);
    }
}

LRESULT CALLBACK AdProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return Guarded(&HandleAdMessage, window, message, wParam, lParam);
}

void AddButton(HWND parent, const wchar_t* text, int id, int x, int y, int w, int h) {
    HWND button = ::CreateWindowExW(0, L"BUTTON", text, WS_CHILD | WS_VISIBLE | BS_PUSHBUTTON, x, y, w, h, parent,
                                    reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), ::GetModuleHandleW(nullptr),
                                    nullptr);
    ::SendMessageW(button, WM_SETFONT, reinterpret_cast<WPARAM>(g_maker->textFont.get()), TRUE);
}

void OpenAd(Kind kind) {
    RECT work{};
    ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    const RECT place = PlaceAd(kind, g_maker->options.slot, work);
    const LONG width = place.right - place.left;
    const LONG height = place.bottom - place.top;
    // The title names the advertiser and the kind: what the engine keys the pop-up by.
    const std::wstring title = g_maker->options.advertiser + L" - " + Info(kind).name;
    // Toasts and bubbles never take the focus; a centre window is an ordinary
    // window, one a person can also point at in the capture overlay.
    const DWORD noActivate = kind == Kind::Centre ? 0 : WS_EX_NOACTIVATE;
    HWND ad = ::CreateWindowExW(WS_EX_TOPMOST | WS_EX_TOOLWINDOW | noActivate, Info(kind).windowClass,
                                title.c_str(), WS_POPUP | WS_BORDER, place.left, place.top, width, height, nullptr,
                                nullptr, ::GetModuleHandleW(nullptr), nullptr);
    if (ad == nullptr) {
        Say(L"could not open a " + std::wstring(Info(kind).name));
        return;
    }
    ::SetWindowLongPtrW(ad, GWLP_USERDATA, static_cast<LONG_PTR>(kind));
    AddButton(ad, L"Shop now", kShopButton, 16, height - 44, 112, 30);
    AddButton(ad, L"x", kCloseButton, width - 30, 12, 20, 20);
    const unsigned lifetime = g_maker->options.lifetimeMs != 0 ? g_maker->options.lifetimeMs : g_maker->options.intervalMs;
    ::SetTimer(ad, kLifetimeTimer, lifetime, nullptr);
    ++g_maker->liveAds;
    // Shown without activation, as adware does not to lose the user's keystrokes,
    // unless told to grab the foreground.
    if (kind == Kind::Centre && g_maker->options.grab) {
        ::ShowWindow(ad, SW_SHOW);
        ::SetForegroundWindow(ad);
    } else {
        ::ShowWindow(ad, SW_SHOWNOACTIVATE);
    }
    wchar_t line[160];
    std::swprintf(line, 160, L"%ls shown (round %u of %u) at %ld,%ld %ldx%ld window 0x%llx", Info(kind).name,
                  g_maker->roundsDone + 1, g_maker->options.count, place.left, place.top, width, height,
                  static_cast<unsigned long long>(reinterpret_cast<UINT_PTR>(ad)));
    Say(line);
}

void OpenRound() {
    for (Kind kind : g_maker->options.kinds) {
        OpenAd(kind);
    }
    if (++g_maker->roundsDone == g_maker->options.count) {
        ::KillTimer(g_maker->controller, kRoundTimer);
        if (g_maker->liveAds == 0) {
            ::PostQuitMessage(0);
        }
    }
}

LRESULT HandleControllerMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_TIMER && wParam == kRoundTimer) {
        OpenRound();
        return 0;
    }
    if (message == WM_TIMER && wParam == kExitTimer) {
        Say(L"time is up");
        ::PostQuitMessage(0);
        return 0;
    }
    return ::DefWindowProcW(window, message, wParam, lParam);
}

LRESULT CALLBACK ControllerProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return Guarded(&HandleControllerMessage, window, message, wParam, lParam);
}

std::wstring SecondCommandLine(const Options& o) {
    std::wstring kinds;
    for (Kind kind : o.kinds) {
        kinds += (kinds.empty() ? L"" : L",") + std::wstring(Info(kind).name);
    }
    std::wstring line = L" --advertiser \"" + o.second + L"\" --kinds " + kinds + L" --count " +
                        std::to_wstring(o.count) + L" --interval " + std::to_wstring(o.intervalMs) + L" --exit-after " +
                        std::to_wstring(o.exitAfterS) + L" --slot " + std::to_wstring(o.slot + 1);
    if (o.lifetimeMs != 0) {
        line += L" --lifetime " + std::to_wstring(o.lifetimeMs);
    }
    if (o.grab) {
        line += L" --grab";
    }
    return line;
}

// The second copy has bounds of its own, so it is not waited for.
void StartSecond(const Options& options) {
    wchar_t self[MAX_PATH] = {};
    ::GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring commandLine = L"\"" + std::wstring(self) + L"\"" + SecondCommandLine(options);
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION info{};
    if (!::CreateProcessW(self, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info)) {
        Say(L"could not start the second advertiser");
        return;
    }
    adw::UniqueHandle process(info.hProcess);
    adw::UniqueHandle thread(info.hThread);
    Say(L"started " + options.second + L" as process " + std::to_wstring(info.dwProcessId));
}

bool RegisterClasses(HINSTANCE instance) {
    WNDCLASSEXW adClass{};
    adClass.cbSize = sizeof(adClass);
    adClass.lpfnWndProc = &AdProc;
    adClass.hInstance = instance;
    adClass.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
    for (const KindInfo& info : kKinds) {
        adClass.lpszClassName = info.windowClass;
        if (::RegisterClassExW(&adClass) == 0) {
            return false;
        }
    }
    WNDCLASSEXW controllerClass{};
    controllerClass.cbSize = sizeof(controllerClass);
    controllerClass.lpfnWndProc = &ControllerProc;
    controllerClass.hInstance = instance;
    controllerClass.lpszClassName = L"AdMakerController";
    return ::RegisterClassExW(&controllerClass) != 0;
}

void MakeFonts(Maker& maker) {
    NONCLIENTMETRICSW metrics{};
    metrics.cbSize = sizeof(metrics);
    ::SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0);
    LOGFONTW font = metrics.lfMessageFont;
    font.lfHeight = -16;
    maker.textFont.reset(::CreateFontIndirectW(&font));
    font.lfHeight = -26;
    font.lfWeight = FW_BOLD;
    maker.titleFont.reset(::CreateFontIndirectW(&font));
    maker.accentBrush.reset(::CreateSolidBrush(AccentOf(maker.options.advertiser)));
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    Maker maker;
    if (!ParseOptions(argc, argv, maker.options)) {
        std::fwprintf(stderr, L"usage: AdMaker [--advertiser NAME] [--slogan TEXT] [--kinds toast,centre,bubble]"
                              L" [--count 1-1000] [--interval MS] [--lifetime MS] [--exit-after 1-600]"
                              L" [--second NAME] [--slot 0-3] [--grab]\n");
        return 2;
    }
    if (maker.options.slogan.empty()) {
        maker.options.slogan = DefaultSlogan(maker.options.advertiser);
    }
    g_maker = &maker;
    Say(L"process " + std::to_wstring(::GetCurrentProcessId()));
    const HINSTANCE instance = ::GetModuleHandleW(nullptr);
    MakeFonts(maker);
    if (!RegisterClasses(instance)) {
        return 3;
    }
    maker.controller = ::CreateWindowExW(0, L"AdMakerController", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                         instance, nullptr);
    if (maker.controller == nullptr) {
        return 3;
    }
    if (!maker.options.second.empty()) {
        StartSecond(maker.options);
    }
    ::SetTimer(maker.controller, kExitTimer, maker.options.exitAfterS * 1000, nullptr);
    ::SetTimer(maker.controller, kRoundTimer, maker.options.intervalMs, nullptr);
    OpenRound();
    MSG message;
    while (::GetMessageW(&message, nullptr, 0, 0) > 0) {
        ::TranslateMessage(&message);
        ::DispatchMessageW(&message);
    }
    Say(L"done after " + std::to_wstring(maker.roundsDone) + L" rounds");
    ::DestroyWindow(maker.controller);
    return 0;
}
