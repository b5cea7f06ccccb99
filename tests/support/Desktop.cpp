#include "Desktop.h"

#include <objidl.h>
// (objidl.h first: the lean Windows headers leave out what GDI+ needs)
#include <gdiplus.h>

#include <cstdio>
#include <future>
#include <memory>

#include "DuiLib/UIlib.h"
#include "KelvaneCenter/HostDesktop.h"
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
    Watchdog bound("the UI thread's start");
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
    const std::wstring folder = ExeDir() + L"\\screenshots";
    CreateDirectoryW(folder.c_str(), nullptr);
    const std::wstring path = folder + L"\\" + name + L".png";
    const std::string problem = kelvane::SaveScreenPng(path, &area);
    std::printf("screenshot: %ls%s%s\n", path.c_str(), problem.empty() ? "" : ": not saved, ", problem.c_str());
    std::fflush(stdout);
    return problem.empty() ? path : std::wstring();
}

void PumpMessages(DWORD ms) {
    const ULONGLONG end = GetTickCount64() + ms;
    while (GetTickCount64() < end) {
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    }
}

void ClickAt(POINT point) {
    kelvane::ClickAt(point);
}

std::vector<HWND> VisibleWindows(const wchar_t* className) {
    std::vector<HWND> windows;
    for (HWND w = nullptr; (w = FindWindowExW(nullptr, w, className, nullptr)) != nullptr;)
        if (IsWindowVisible(w)) windows.push_back(w);
    return windows;
}

HWND VisibleWindowOfClass(const wchar_t* className) {
    const std::vector<HWND> windows = VisibleWindows(className);
    return windows.empty() ? nullptr : windows[0];
}

} // namespace adwtest
