#include "ui/CaptureGeometry.h"

#include <windowsx.h>

#include <algorithm>

namespace KelvaneCenter {

ScreenUnion UniteMonitor(ScreenUnion screen, const RECT& monitor) {
    screen.left = std::min<int>(screen.left, monitor.left);
    screen.right = std::max<int>(screen.right, monitor.right);
    screen.top = std::min<int>(screen.top, monitor.top);
    screen.bottom = std::max<int>(screen.bottom, monitor.bottom);
    return screen;
}

POINT PointerToScreen(LPARAM lParam, int screenLeft, int screenTop) {
    POINT point = {GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
    point.x += screenLeft < 0 ? screenLeft : 0;
    point.y += screenTop < 0 ? screenTop : 0;
    return point;
}

bool RectHoldsPoint(const RECT& rect, int x, int y) {
    return rect.left <= x && x <= rect.right && rect.top <= y && y <= rect.bottom;
}

RECT Normalised(const RECT& rect) {
    return RECT{std::min(rect.left, rect.right), std::min(rect.top, rect.bottom), std::max(rect.left, rect.right),
                std::max(rect.top, rect.bottom)};
}

RECT OutlineOf(const RECT& window, const RECT& client) {
    return RECT{client.left, window.top, client.right, client.bottom};
}

namespace {

// One axis of the tip: centred on [low, high], `size` layout units wide.
void CentreSpan(LONG low, LONG high, int size, float scale, LONG& from, LONG& to) {
    const LONG centre = low + (high - low) / 2;
    from = static_cast<LONG>(static_cast<float>(centre) - static_cast<float>(size) * scale / 2.0f);
    to = static_cast<LONG>(static_cast<float>(from) + static_cast<float>(size) * scale);
}

} // namespace

RECT TipPixels(const RECT& target, int tipWidth, int tipHeight, float scale, int screenBottom) {
    RECT tip = {};
    CentreSpan(target.left, target.right, tipWidth, scale, tip.left, tip.right);
    CentreSpan(target.top, target.bottom, tipHeight, scale, tip.top, tip.bottom);
    if (tip.bottom > screenBottom) {
        tip.top = static_cast<LONG>(static_cast<float>(screenBottom) - static_cast<float>(tipHeight) * scale);
        tip.bottom = screenBottom;
    }
    return tip;
}

RECT ToLayout(const RECT& pixels, float scale, int screenLeft, int screenTop) {
    const auto convert = [scale](LONG edge, int origin) {
        return static_cast<LONG>(static_cast<float>(edge - origin) / scale);
    };
    return RECT{convert(pixels.left, screenLeft), convert(pixels.top, screenTop), convert(pixels.right, screenLeft),
                convert(pixels.bottom, screenTop)};
}

std::wstring PosText(const RECT& rect) {
    return std::to_wstring(rect.left) + L"," + std::to_wstring(rect.top) + L"," + std::to_wstring(rect.right) + L"," +
           std::to_wstring(rect.bottom);
}

} // namespace KelvaneCenter
