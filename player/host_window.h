#pragma once
// The size of a window the core was handed by native id. SDL does not follow size
// changes of windows it did not create, so the core asks the window system itself.

#include <SDL.h>

namespace player {

// The host window's current size in pixels. False when it cannot be known (then the
// caller keeps the size SDL reports).
bool hostWindowSize(SDL_Window* window, int* width, int* height);

// True when OpenGL in `window` would be drawn by the CPU: Mesa told so by
// LIBGL_ALWAYS_SOFTWARE, or an X server without direct rendering (no DRI2, DRI3 or
// NV-GLX extension), such as Xvfb or a remote display. SDL's software renderer then
// shows the first picture sooner and costs less per picture than OpenGL on the CPU.
bool openGlDrawnByCpu(SDL_Window* window);

}  // namespace player
