#pragma once
// The size of a window the core was handed by native id. SDL does not follow size
// changes of windows it did not create, so the core asks the window system itself.

#include <SDL.h>

namespace player {

// The host window's current size in pixels. False when it cannot be known (then the
// caller keeps the size SDL reports).
bool hostWindowSize(SDL_Window* window, int* width, int* height);

}  // namespace player
