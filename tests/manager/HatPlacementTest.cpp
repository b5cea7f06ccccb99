// Where the hat goes over an ad window, without a window.

#include <gtest/gtest.h>

#include "ui/HatPlacement.h"

namespace {

struct PlacementCase { RECT adWindow; float scale; RECT hat; };

TEST(HatPlacement, WidthIsClampedTheRightEdgeKeptOnScreenAndScaleApplied) {
    const PlacementCase cases[] = {
        {{100, 300, 200, 400}, 1.0f, {200 - 260, 246, 200 - 260 + 262, 302}},   // 100 px wide: 262
        {{100, 300, 400, 400}, 1.0f, {400 - 306, 246, 400 - 306 + 308, 302}},   // 300 px: 308
        {{100, 300, 600, 400}, 1.0f, {600 - 326, 246, 600 - 326 + 328, 302}},   // 500 px: 328
        {{1800, 300, 2100, 400}, 1.0f, {1920 - 306, 246, 1920 - 306 + 308, 302}}, // past the screen's right edge
        {{100, 300, 550, 400}, 1.5f, {550 - 459, 300 - 81, 550 - 459 + 462, 300 - 81 + 84}}, // 450 px at 150%: 308 units
    };
    for (const PlacementCase& c : cases) {
        const RECT hat = KelvaneCenter::HatPlacement(c.adWindow, c.scale, 1920);
        EXPECT_TRUE(EqualRect(&hat, &c.hat)) << c.adWindow.left << "," << c.adWindow.right << " at " << c.scale
                                             << ": " << hat.left << "," << hat.top << "," << hat.right << ","
                                             << hat.bottom;
    }
}

} // namespace
