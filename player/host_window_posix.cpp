#include "player/host_window.h"

#include <SDL_syswm.h>

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

}  // namespace player
