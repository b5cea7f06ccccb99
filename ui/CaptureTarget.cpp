#include "ui/CaptureTarget.h"

#include <dwmapi.h>

#include <cwchar>

#include "common/LogLine.h"
#include "ui/CaptureGeometry.h"
#include "vendor/ProcessIdentity.h"
#include "vendor/ProcessImagePath.h"
#include "vendor/SignerCache.h"

namespace KelvaneCenter {

namespace {

bool CannotBePointedAt(HWND window) {
    const LONG style = GetWindowLongW(window, GWL_STYLE);
    const LONG exStyle = GetWindowLongW(window, GWL_EXSTYLE);
    if ((style & WS_MINIMIZE) != 0 || (style & WS_VISIBLE) == 0 ||
        (exStyle & (WS_EX_TRANSPARENT | WS_EX_NOACTIVATE)) != 0) {
        return true;
    }
    wchar_t className[260] = {};
    GetClassNameW(window, className, 260);
    if (std::wcscmp(className, L"Windows.UI.Core.CoreWindow") == 0) {
        return true;
    }
    DWORD cloaked = 0;
    return SUCCEEDED(DwmGetWindowAttribute(window, DWMWA_CLOAKED, &cloaked, sizeof(cloaked))) && cloaked != 0;
}

} // namespace

HWND FindWindowAtPoint(int x, int y, HWND exclude) {
    for (HWND window = FindWindowExW(nullptr, nullptr, nullptr, nullptr); window != nullptr;
         window = FindWindowExW(nullptr, window, nullptr, nullptr)) {
        RECT rect = {};
        if (window != exclude && !CannotBePointedAt(window) && GetWindowRect(window, &rect) &&
            RectHoldsPoint(rect, x, y)) {
            return window;
        }
    }
    return nullptr;
}

ProcessSign GetProcessSign(HWND window) {
    adw::LogLine(adw::kLogInfo, "KelvaneCenter::CaptureWindowDialog::GetProcessSign", "Enter GetProcessSign");
    DWORD processId = 0;
    GetWindowThreadProcessId(window, &processId);
    const FileSignature file = SignerCache::Shared().Lookup(GetProcessImagePathById(processId));
    ProcessSign answer;
    answer.signedImage = file.hasSigner && !file.signer.empty();
    if (answer.signedImage) {
        answer.sign = WideToUtf8(file.signer);
    }
    answer.makerSigned = file.makerSigned;
    return answer;
}

} // namespace KelvaneCenter
