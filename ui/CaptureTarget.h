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

struct ProcessSign {
    bool signedImage = false; // the image has an embedded signature
    std::string sign;         // its signer in UTF-8, "" without one
    bool makerSigned = false; // verified and the maker's: such windows are never offered
};

// Who signed the image of the window's process, judged by the image the
// kernel recorded for it (the process cannot fake it), through the shared
// signer cache.
ProcessSign GetProcessSign(HWND window);

} // namespace KelvaneCenter
