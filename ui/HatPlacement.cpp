#include "ui/HatPlacement.h"

#include <algorithm>

namespace KelvaneCenter {

RECT HatPlacement(const RECT& adWindow, float scale, int screenWidth) {
    int width = static_cast<int>(static_cast<float>(adWindow.right - adWindow.left) / scale + 8);
    width = std::min(std::max(width, kHatMinWidth), kHatMaxWidth);
    const int rightEdge = std::min(static_cast<int>(adWindow.right), screenWidth);
    const int x = static_cast<int>(static_cast<float>(rightEdge) - static_cast<float>(width - 2) * scale);
    const int y = static_cast<int>(static_cast<float>(adWindow.top) - 54 * scale);
    const int cx = static_cast<int>(static_cast<float>(width) * scale);
    const int cy = static_cast<int>(static_cast<float>(kHatHeight) * scale);
    return {x, y, x + cx, y + cy};
}

} // namespace KelvaneCenter
