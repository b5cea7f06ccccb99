// Closing the windows the engine names, behind a gate that ships closed.

#include "focus/FocusScene.h"
#include "manager/AdWarden.h"

namespace KelvaneCenter {

// Engine thread. Posts the close without waiting for the window's owner.
void AdWarden::CallBackAdWindow(const HWND& window) {
    if (!closeAdWindowEnabled.load()) {
        return;
    }
    // Only a shown top-level window: a child belongs to a window the user may be working in.
    if (window == nullptr || !::IsWindow(window) || !::IsWindowVisible(window) ||
        ::GetAncestor(window, GA_ROOT) != window) {
        return;
    }
    if (FocusScene::GetInstance().IsIgnoreProcess(window)) {
        return;
    }
    ::PostMessageW(window, WM_CLOSE, 0, 0);
}

} // namespace KelvaneCenter
