#include "app/gui/compositing.h"

#include <QGuiApplication>
#include <string>

// Xlib last: its macros (None, Bool, Status) would clash with Qt's names.
#include <X11/Xlib.h>

namespace app {

bool desktopComposites() {
    if (QGuiApplication::platformName() != QLatin1String("xcb"))
        return true;  // Wayland composites; offscreen draws into images
    auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    Display* display = x11 ? x11->display() : nullptr;
    if (!display)
        return true;
    // A compositing manager owns the selection _NET_WM_CM_S<screen>.
    const std::string name = "_NET_WM_CM_S" + std::to_string(DefaultScreen(display));
    return XGetSelectionOwner(display, XInternAtom(display, name.c_str(), False)) != 0;
}

}  // namespace app
