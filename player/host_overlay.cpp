// What a host asks of the display besides pictures: a rectangle drawn over them (the
// clip dialog's crop) and a redraw when its window was uncovered. SDL hears nothing of
// a foreign window's exposure, so the host tells the core.
#include <algorithm>

#include "player/player.h"

namespace player {

void Player::serviceHostRequests(VideoState* is) {
    const std::uint64_t overlay = shared_.overlay.load();
    const bool refresh = shared_.refresh.exchange(false);
    if (!refresh && overlay == drawn_overlay_) {
        return;
    }
    drawn_overlay_ = overlay;
    if (is->video_stream >= 0 && is->pictq.lastShown()) {
        is->force_refresh.store(true);
        return;
    }
    if (!renderer_ || opt_.display_disable ||
        (is->audio_stream >= 0 && is->show_mode.load() != DisplayMode::Video)) {
        return;
    }
    // No picture (yet, or ever: a file that did not open): the window is black.
    if (!own_window_ && window_) {
        followHostWindowSize(is);
    }
    SDL_SetRenderDrawColor(renderer_, 0, 0, 0, 255);
    SDL_RenderClear(renderer_);
    SDL_RenderPresent(renderer_);
}

void Player::drawOverlay() {
    drawn_overlay_ = shared_.overlay.load();
    const OverlayRect r = unpackOverlay(drawn_overlay_);
    if (r.w <= 0 || r.h <= 0) {
        return;
    }
    // What the crop leaves out is dimmed.
    int out_w = 0, out_h = 0;
    if (!SDL_GetRendererOutputSize(renderer_, &out_w, &out_h)) {
        const int right_edge = r.x + r.w, bottom_edge = r.y + r.h;
        const SDL_Rect outside[] = {
            {0, 0, out_w, r.y},
            {0, bottom_edge, out_w, out_h - bottom_edge},
            {0, r.y, r.x, r.h},
            {right_edge, r.y, out_w - right_edge, r.h},
        };
        SDL_SetRenderDrawBlendMode(renderer_, SDL_BLENDMODE_BLEND);
        SDL_SetRenderDrawColor(renderer_, 0, 0, 0, 110);
        SDL_RenderFillRects(renderer_, outside, static_cast<int>(std::size(outside)));
        SDL_SetRenderDrawBlendMode(renderer_, SDL_BLENDMODE_NONE);
    }
    SDL_SetRenderDrawColor(renderer_, 0x32, 0x7D, 0xC8, 0xFF);
    const SDL_Rect outline{r.x, r.y, r.w, r.h};
    SDL_RenderDrawRect(renderer_, &outline);
    // Corner brackets inside the rectangle, a quarter of their length thick.
    const int len = std::min({shared_.overlay_corner.load(), r.w / 2, r.h / 2});
    if (len < 2) {
        return;
    }
    const int t = std::max(2, len / 4);
    const int right = r.x + r.w - 1, bottom = r.y + r.h - 1;
    const SDL_Rect marks[] = {
        {r.x, r.y, len, t},
        {r.x, r.y, t, len},  // top left
        {right - len + 1, r.y, len, t},
        {right - t + 1, r.y, t, len},  // top right
        {r.x, bottom - t + 1, len, t},
        {r.x, bottom - len + 1, t, len},
        {right - len + 1, bottom - t + 1, len, t},
        {right - t + 1, bottom - len + 1, t, len},
    };
    SDL_RenderFillRects(renderer_, marks, static_cast<int>(std::size(marks)));
}

}  // namespace player
