#include "player/host_window.h"

#include <SDL_syswm.h>

#include <cstdlib>
#include <cstring>
#include <initializer_list>

namespace player {

bool hostWindowSize(SDL_Window* window, int* width, int* height) {
#if defined(SDL_VIDEO_DRIVER_X11)
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (!window || !SDL_GetWindowWMInfo(window, &info) || info.subsystem != SDL_SYSWM_X11) {
        return false;
    }
    XWindowAttributes attrs;
    if (!XGetWindowAttributes(info.info.x11.display, info.info.x11.window, &attrs)) {
        return false;
    }
    *width = attrs.width;
    *height = attrs.height;
    return attrs.width > 0 && attrs.height > 0;
#else
    return false;
#endif
}

bool openGlDrawnByCpu(SDL_Window* window) {
    const char* forced = std::getenv("LIBGL_ALWAYS_SOFTWARE");
    if (forced && *forced && std::strcmp(forced, "0") != 0) {
        return true;
    }
#if defined(SDL_VIDEO_DRIVER_X11)
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (!window || !SDL_GetWindowWMInfo(window, &info) || info.subsystem != SDL_SYSWM_X11) {
        return false;
    }
    for (const char* extension : {"DRI3", "DRI2", "NV-GLX"}) {
        int opcode = 0, event = 0, error = 0;
        if (XQueryExtension(info.info.x11.display, extension, &opcode, &event, &error)) {
            return false;
        }
    }
    return true;
#else
    (void)window;
    return false;
#endif
}

}  // namespace player
