#pragma once
// Which SDL texture format shows a decoded picture format without conversion.

#include <SDL.h>

extern "C" {
#include <libavutil/pixfmt.h>
}

namespace player {

struct TextureFormat {
    Uint32 sdl_format = SDL_PIXELFORMAT_UNKNOWN;  // UNKNOWN: convert to BGRA first
    SDL_BlendMode blend = SDL_BLENDMODE_NONE;
};

// The texture format for a frame format; frames not in the table are converted to
// BGRA and shown in an ARGB8888 texture (returned with sdl_format UNKNOWN).
TextureFormat textureFormatFor(int pix_fmt);

}  // namespace player
