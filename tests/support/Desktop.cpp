#include "Desktop.h"

#include <objidl.h>
// (objidl.h first: the lean Windows headers leave out what GDI+ needs)
#include <gdiplus.h>

#include <algorithm>
#include <cstdio>
#include <future>
#include <memory>

#include "DuiLib/UIlib.h"
#include "TestSupport.h"

namespace adwtest {

namespace {
void StartGdiplusOnce() {
    static ULONG_PTR token = [] {
        Gdiplus::GdiplusStartupInput input;
        ULONG_PTR t = 0;
        Gdiplus::GdiplusStartup(&t, &input, nullptr);
        return t;
    }();
    (void)token;
}

bool PngEncoder(CLSID& clsid) {
    UINT count = 0;
    UINT size = 0;
    Gdiplus::GetImageEncodersSize(&count, &size);
    if (size == 0) {
        return false;
    }
    std::unique_ptr<char[]> buffer(new char[size]);
    auto* encoders = reinterpret_cast<Gdiplus::ImageCodecInfo*>(buffer.get());
    Gdiplus::GetImageEncoders(count, size, encoders);
    for (UINT i = 0; i < count; ++i) {
        if (std::wstring(encoders[i].MimeType) == L"image/png") {
            clsid = encoders[i].Clsid;
            return true;
        }
    }
    return false;
}
} // namespace

UiThread::UiThread() {
    StartGdiplusOnce();
    std::promise<DWORD> started;
    std::future<DWORD> id = started.get_future();
    thread_ = std::thread([&started] {
        DuiLib::CPaintManagerUI::SetInstance(GetModuleHandleW(nullptr));
        started.set_value(GetCurrentThreadId());
        DuiLib::CPaintManagerUI::MessageLoop();
    });
    id_ = id.get();
}

UiThread::~UiThread() {
    PostThreadMessageW(id_, WM_QUIT, 0, 0);
    thread_.join();
}

bool UiThread::Run(const std::function<void()>& fn) {
    auto done = std::make_shared<std::atomic<bool>>(false);
    if (!DuiLib::UIMainQueue::getInstance().dispatch([fn, done] {
            fn();
            done->store(true);
        })) {
        return false;
    }
    return WaitUntil([&] { return done->load(); });
}

std::wstring SaveScreenshotPng(const std::wstring& name, const RECT& area) {
    StartGdiplusOnce();
    const int cx = area.right - area.left;
    const int cy = area.bottom - area.top;
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, cx, cy);
    const HGDIOBJ old = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, cx, cy, screen, area.left, area.top, SRCCOPY);
    SelectObject(memory, old);
    const std::wstring folder = ExeDir() + L"\\screenshots";
    CreateDirectoryW(folder.c_str(), nullptr);
    const std::wstring path = folder + L"\\" + name + L".png";
    CLSID png;
    bool saved = false;
    if (PngEncoder(png)) {
        Gdiplus::Bitmap image(bitmap, nullptr);
        saved = image.Save(path.c_str(), &png, nullptr) == Gdiplus::Ok;
    }
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    std::printf("screenshot: %ls%s\n", path.c_str(), saved ? "" : " (not saved)");
    std::fflush(stdout);
    return saved ? path : std::wstring();
}

void PumpMessages(DWORD ms) {
    const ULONGLONG end = GetTickCount64() + ms;
    while (GetTickCount64() < end) {
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            DispatchMessageW(&message);
        }
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    }
}

// The button events carry the position themselves: under Wine a cursor move
// and the clicks that follow it may otherwise arrive at the previous position.
void ClickAt(POINT point) {
    SetCursorPos(point.x, point.y);
    const int left = GetSystemMetrics(SM_XVIRTUALSCREEN);
    const int top = GetSystemMetrics(SM_YVIRTUALSCREEN);
    const int cx = std::max(1, GetSystemMetrics(SM_CXVIRTUALSCREEN) - 1);
    const int cy = std::max(1, GetSystemMetrics(SM_CYVIRTUALSCREEN) - 1);
    INPUT inputs[3] = {};
    for (INPUT& input : inputs) {
        input.type = INPUT_MOUSE;
        input.mi.dx = static_cast<LONG>((point.x - left) * 65535LL / cx);
        input.mi.dy = static_cast<LONG>((point.y - top) * 65535LL / cy);
        input.mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE | MOUSEEVENTF_VIRTUALDESK;
    }
    inputs[1].mi.dwFlags |= MOUSEEVENTF_LEFTDOWN;
    inputs[2].mi.dwFlags |= MOUSEEVENTF_LEFTUP;
    SendInput(3, inputs, sizeof(INPUT));
}

} // namespace adwtest
