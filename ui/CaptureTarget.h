#pragma once

// Which window the capture overlay points at, and who signed its program.

#include <windows.h>

#include <string>

namespace KelvaneCenter {

// The top-most top-level window whose rectangle holds the screen point (edges
// included), passing over `exclude` and windows a person cannot point at:
// minimised, hidden, click-through, never-activated, cloaked, or the shell's
// core windows. Null when none holds it.
HWND FindWindowAtPoint(int x, int y, HWND exclude);

// The signer of the image of the window's process, in UTF-8; false with `sign`
// left empty when the image has no embedded signature or cannot be read.
bool GetProcessSign(HWND window, std::string& sign);

} // namespace KelvaneCenter
