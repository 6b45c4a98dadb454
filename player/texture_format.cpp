#include "player/texture_format.h"

namespace player {

namespace {
struct Entry {
    AVPixelFormat format;
    Uint32 texture_fmt;
};
constexpr Entry kTable[] = {
    {AV_PIX_FMT_RGB8, SDL_PIXELFORMAT_RGB332},     {AV_PIX_FMT_RGB444LE, SDL_PIXELFORMAT_RGB444},
    {AV_PIX_FMT_RGB555LE, SDL_PIXELFORMAT_RGB555}, {AV_PIX_FMT_BGR555LE, SDL_PIXELFORMAT_BGR555},
    {AV_PIX_FMT_RGB565LE, SDL_PIXELFORMAT_RGB565}, {AV_PIX_FMT_BGR565LE, SDL_PIXELFORMAT_BGR565},
    {AV_PIX_FMT_RGB24, SDL_PIXELFORMAT_RGB24},     {AV_PIX_FMT_BGR24, SDL_PIXELFORMAT_BGR24},
    {AV_PIX_FMT_BGR0, SDL_PIXELFORMAT_RGB888},     {AV_PIX_FMT_RGB0, SDL_PIXELFORMAT_BGR888},
    {AV_PIX_FMT_0BGR, SDL_PIXELFORMAT_RGBX8888},   {AV_PIX_FMT_0RGB, SDL_PIXELFORMAT_BGRX8888},
    {AV_PIX_FMT_BGRA, SDL_PIXELFORMAT_ARGB8888},   {AV_PIX_FMT_ABGR, SDL_PIXELFORMAT_RGBA8888},
    {AV_PIX_FMT_RGBA, SDL_PIXELFORMAT_ABGR8888},   {AV_PIX_FMT_ARGB, SDL_PIXELFORMAT_BGRA8888},
    {AV_PIX_FMT_YUV420P, SDL_PIXELFORMAT_IYUV},    {AV_PIX_FMT_YUYV422, SDL_PIXELFORMAT_YUY2},
    {AV_PIX_FMT_UYVY422, SDL_PIXELFORMAT_UYVY},
};
}  // namespace

TextureFormat textureFormatFor(int pix_fmt) {
    TextureFormat out;
    if (pix_fmt == AV_PIX_FMT_RGB32 || pix_fmt == AV_PIX_FMT_RGB32_1 || pix_fmt == AV_PIX_FMT_BGR32 ||
        pix_fmt == AV_PIX_FMT_BGR32_1) {
        out.blend = SDL_BLENDMODE_BLEND;
    }
    for (const Entry& e : kTable) {
        if (e.format == pix_fmt) {
            out.sdl_format = e.texture_fmt;
            return out;
        }
    }
    return out;
}

}  // namespace player
