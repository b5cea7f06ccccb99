#include "KelvaneCenter/HostDesktop.h"

#include <objidl.h>
// (objidl.h first: the lean Windows headers leave out what GDI+ needs)
#include <gdiplus.h>

#include <algorithm>
#include <memory>

#include "KelvaneCenter/HostText.h"
#include "common/UniqueResource.h"

namespace kelvane {

namespace {


// The screen's device context, given back to the system when done.
class ScreenDc {
public:
    ScreenDc() : dc_(::GetDC(nullptr)) {}
    ~ScreenDc() {
        if (dc_ != nullptr) {
            ::ReleaseDC(nullptr, dc_);
        }
    }
    ScreenDc(const ScreenDc&) = delete;
    ScreenDc& operator=(const ScreenDc&) = delete;
    HDC get() const { return dc_; }

private:
    HDC dc_;
};

bool PngEncoder(CLSID& clsid) {
    UINT count = 0;
    UINT size = 0;
    if (Gdiplus::GetImageEncodersSize(&count, &size) != Gdiplus::Ok || size == 0) {
        return false;
    }
    std::unique_ptr<char[]> buffer(new char[size]);
    auto* encoders = reinterpret_cast<Gdiplus::ImageCodecInfo*>(buffer.get());
    if (Gdiplus::GetImageEncoders(count, size, encoders) != Gdiplus::Ok) {
        return false;
    }
    for (UINT i = 0; i < count; ++i) {
        if (std::wstring(encoders[i].MimeType) == L"image/png") {
            clsid = encoders[i].Clsid;
            return true;
        }
    }
    return false;
}

bool IsOtherProcessWindow(HWND window) {
    DWORD processId = 0;
    return ::IsWindowVisible(window) && ::GetWindowThreadProcessId(window, &processId) != 0 &&
           processId != ::GetCurrentProcessId();
}

} // namespace

std::string SaveScreenPng(const std::wstring& path, const RECT* area) {
    const int x = area != nullptr ? area->left : ::GetSystemMetrics(SM_XVIRTUALSCREEN);
    const int y = area != nullptr ? area->top : ::GetSystemMetrics(SM_YVIRTUALSCREEN);
    const int cx = area != nullptr ? area->right - area->left : ::GetSystemMetrics(SM_CXVIRTUALSCREEN);
    const int cy = area != nullptr ? area->bottom - area->top : ::GetSystemMetrics(SM_CYVIRTUALSCREEN);
    ScreenDc screen;
    adw::UniqueMemoryDc memory(::CreateCompatibleDC(screen.get()));
    adw::UniqueGdiObject bitmap(::CreateCompatibleBitmap(screen.get(), cx, cy));
    if (screen.get() == nullptr || !memory || !bitmap) {
        return "no screen to capture";
    }
    const HGDIOBJ old = ::SelectObject(memory.get(), bitmap.get());
    const BOOL copied = ::BitBlt(memory.get(), 0, 0, cx, cy, screen.get(), x, y, SRCCOPY);
    ::SelectObject(memory.get(), old);
    CLSID png{};
    if (!copied) {
        return "the screen could not be copied";
    }
    if (!PngEncoder(png)) {
        return "no PNG encoder (is GDI+ started?)";
    }
    Gdiplus::Bitmap image(static_cast<HBITMAP>(bitmap.get()), nullptr);
    return image.Save(path.c_str(), &png, nullptr) == Gdiplus::Ok ? std::string() : "the file could not be written";
}

HWND FindOtherWindow(const std::wstring& title) {
    for (HWND w = ::FindWindowExW(nullptr, nullptr, nullptr, nullptr); w != nullptr;
         w = ::FindWindowExW(nullptr, w, nullptr, nullptr)) {
        wchar_t text[256] = {};
        ::InternalGetWindowText(w, text, 256);
        if (IsOtherProcessWindow(w) && title == text) {
            return w;
        }
    }
    return nullptr;
}

HWND FindCaptureOverlay() {
    for (HWND w = ::FindWindowExW(nullptr, nullptr, L"CaptureWindowDialog", nullptr); w != nullptr;
         w = ::FindWindowExW(nullptr, w, L"CaptureWindowDialog", nullptr)) {
        DWORD processId = 0;
        if (::IsWindowVisible(w) && ::GetWindowThreadProcessId(w, &processId) != 0 &&
            processId == ::GetCurrentProcessId()) {
            return w;
        }
    }
    return nullptr;
}

bool IsAbove(HWND upper, HWND lower) {
    for (HWND w = ::GetWindow(lower, GW_HWNDPREV); w != nullptr; w = ::GetWindow(w, GW_HWNDPREV)) {
        if (w == upper) {
            return true;
        }
    }
    return false;
}

std::vector<OtherWindow> FindOtherWindows() {
    std::vector<OtherWindow> windows;
    for (HWND w = ::FindWindowExW(nullptr, nullptr, nullptr, nullptr); w != nullptr;
         w = ::FindWindowExW(nullptr, w, nullptr, nullptr)) {
        wchar_t title[256] = {};
        DWORD processId = 0;
        if (::InternalGetWindowText(w, title, 256) > 0 && ::GetWindowThreadProcessId(w, &processId) != 0 &&
            processId != ::GetCurrentProcessId()) {
            windows.push_back(OtherWindow{w, ::IsWindowVisible(w) != FALSE, title});
        }
    }
    return windows;
}

std::vector<Hat> FindHats() {
    std::vector<Hat> hats;
    std::vector<std::pair<HWND, RECT>> others;
    for (HWND w = ::FindWindowExW(nullptr, nullptr, nullptr, nullptr); w != nullptr;
         w = ::FindWindowExW(nullptr, w, nullptr, nullptr)) {
        wchar_t name[32] = {};
        DWORD processId = 0;
        ::GetClassNameW(w, name, 32);
        ::GetWindowThreadProcessId(w, &processId);
        RECT rect{};
        ::GetWindowRect(w, &rect);
        if (processId == ::GetCurrentProcessId() && ::IsWindowVisible(w) && std::wstring(name) == L"BlockingPopup") {
            hats.push_back(Hat{w, rect, nullptr, std::wstring()});
        } else if (IsOtherProcessWindow(w)) {
            others.emplace_back(w, rect);
        }
    }
    for (Hat& hat : hats) {
        for (const auto& other : others) {
            if (HatSitsOver(hat.rect, other.second)) {
                wchar_t title[256] = {};
                ::InternalGetWindowText(other.first, title, 256);
                hat.ad = other.first;
                hat.adTitle = title;
                break;
            }
        }
    }
    return hats;
}

namespace {
// Each event carries its position: under Wine a cursor move and the clicks
// that follow it may otherwise arrive at the previous position, and a
// low-level mouse hook keeps relative moves from the cursor.
bool SendMouse(POINT point, const DWORD* buttons, UINT count) {
    const int left = ::GetSystemMetrics(SM_XVIRTUALSCREEN);
    const int top = ::GetSystemMetrics(SM_YVIRTUALSCREEN);
    const int cx = (std::max)(1, ::GetSystemMetrics(SM_CXVIRTUALSCREEN) - 1);
    const int cy = (std::max)(1, ::GetSystemMetrics(SM_CYVIRTUALSCREEN) - 1);
    INPUT inputs[3] = {};
    for (UINT i = 0; i < count; ++i) {
        inputs[i].type = INPUT_MOUSE;
        inputs[i].mi.dx = static_cast<LONG>((point.x - left) * 65535LL / cx);
        inputs[i].mi.dy = static_cast<LONG>((point.y - top) * 65535LL / cy);
        inputs[i].mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE | MOUSEEVENTF_VIRTUALDESK | buttons[i];
    }
    return ::SendInput(count, inputs, sizeof(INPUT)) == count;
}
} // namespace

// The cursor starts a pixel away, so that the move to the point is a move the
// window under it is told of.
bool PointAt(POINT point) {
    ::SetCursorPos(point.x - 1, point.y);
    const DWORD move[] = {0};
    return SendMouse(point, move, 1);
}

bool ClickAt(POINT point) {
    ::SetCursorPos(point.x, point.y);
    const DWORD click[] = {0, MOUSEEVENTF_LEFTDOWN, MOUSEEVENTF_LEFTUP};
    return SendMouse(point, click, 3);
}

} // namespace kelvane
