#pragma once

// The capture overlay's arithmetic: the desktop it covers, where the pointer
// is, what it outlines and where its tip goes. No window is needed.

#include <windows.h>

#include <climits>
#include <string>

namespace KelvaneCenter {

// The union of the monitors in screen pixels; starts inverted so that each
// monitor added through UniteMonitor widens it.
struct ScreenUnion {
    int left = INT_MAX;
    int right = INT_MIN;
    int top = INT_MAX;
    int bottom = INT_MIN;
};
ScreenUnion UniteMonitor(ScreenUnion screen, const RECT& monitor);

// A mouse message's client point as a screen point. The overlay's client area
// starts at the union's top-left, which is never right of or below the
// primary monitor's origin.
POINT PointerToScreen(LPARAM lParam, int screenLeft, int screenTop);

// Both edges count as inside.
bool RectHoldsPoint(const RECT& rect, int x, int y);
RECT Normalised(const RECT& rect);
// The outline of a window: its client area's left, right and bottom edges
// (leaving out invisible resize borders) and its frame's top (keeping the title bar).
RECT OutlineOf(const RECT& window, const RECT& client);

// The tip's rectangle in screen pixels, centred on `target` and kept above
// the desktop's bottom edge.
RECT TipPixels(const RECT& target, int tipWidth, int tipHeight, float scale, int screenBottom);
// A rectangle in screen pixels as the overlay's layout coordinates.
RECT ToLayout(const RECT& pixels, float scale, int screenLeft, int screenTop);
// "left,top,right,bottom" as a layout "pos" attribute.
std::wstring PosText(const RECT& rect);

} // namespace KelvaneCenter
