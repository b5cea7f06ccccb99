#pragma once

#include <windows.h>

namespace KelvaneCenter {

// The hat strip's width range and height, in layout units.
constexpr int kHatMinWidth = 262;
constexpr int kHatMaxWidth = 328;
constexpr int kHatHeight = 56;

// Where the hat goes over an ad window, in screen pixels: just above its
// top-right corner, overlapping it by two layout units and sticking out two
// past its right edge, never past the primary screen's right edge. `scale` is
// the hat's DPI over 96 and must not be 0.
RECT HatPlacement(const RECT& adWindow, float scale, int screenWidth);

} // namespace KelvaneCenter
