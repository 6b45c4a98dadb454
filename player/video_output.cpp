// Video output: when the next picture is due, late drops, subtitles, and drawing
// with the SDL renderer.
#include <algorithm>
#include <climits>
#include <cstring>

#include "player/host_window.h"
#include "player/player.h"
#include "player/texture_format.h"

extern "C" {
#include <libavutil/imgutils.h>
}

namespace player {

void Player::setDefaultWindowSize(int width, int height, AVRational sar) {
    int w = 0, h = 0;
    defaultDisplaySize(screen_width_.load(), screen_height_.load(), width, height, sar, &w, &h);
    default_width_.store(w);
    default_height_.store(h);
}

void Player::checkExternalClockSpeed(VideoState* is) {
    const double speed = externalClockSpeed(is->extclk.speed(), is->video_stream >= 0, is->videoq.packets(),
                                            is->audio_stream >= 0, is->audioq.packets());
    if (speed != is->extclk.speed()) {
        is->extclk.setSpeed(speed);
    }
}

bool Player::reallocTexture(SDL_Texture** texture, Uint32 new_format, int new_width, int new_height,
                            SDL_BlendMode blendmode, bool init_texture) {
    Uint32 format;
    int access, w, h;
    if (!*texture || SDL_QueryTexture(*texture, &format, &access, &w, &h) < 0 || new_width != w ||
        new_height != h || new_format != format) {
        if (*texture) {
            SDL_DestroyTexture(*texture);
        }
        *texture =
            SDL_CreateTexture(renderer_, new_format, SDL_TEXTUREACCESS_STREAMING, new_width, new_height);
        if (!*texture) {
            return false;
        }
        if (SDL_SetTextureBlendMode(*texture, blendmode) < 0) {
            return false;
        }
        if (init_texture) {
            void* pixels;
            int pitch;
            if (SDL_LockTexture(*texture, nullptr, &pixels, &pitch) < 0) {
                return false;
            }
            std::memset(pixels, 0, static_cast<std::size_t>(pitch) * new_height);
            SDL_UnlockTexture(*texture);
        }
        av_log(nullptr, AV_LOG_VERBOSE, "Created %dx%d texture with %s.\n", new_width, new_height,
               SDL_GetPixelFormatName(new_format));
    }
    return true;
}

bool Player::uploadTexture(VideoState* is, SDL_Texture** tex, AVFrame* frame) {
    const TextureFormat tf = textureFormatFor(frame->format);
    const Uint32 sdl_fmt = tf.sdl_format == SDL_PIXELFORMAT_UNKNOWN
                               ? static_cast<Uint32>(SDL_PIXELFORMAT_ARGB8888)
                               : tf.sdl_format;
    if (!reallocTexture(tex, sdl_fmt, frame->width, frame->height, tf.blend, false)) {
        return false;
    }
    int ret = 0;
    switch (sdl_fmt) {
        case SDL_PIXELFORMAT_UNKNOWN:
            break;
        case SDL_PIXELFORMAT_IYUV:
            if (frame->linesize[0] > 0 && frame->linesize[1] > 0 && frame->linesize[2] > 0) {
                ret = SDL_UpdateYUVTexture(*tex, nullptr, frame->data[0], frame->linesize[0], frame->data[1],
                                           frame->linesize[1], frame->data[2], frame->linesize[2]);
            } else if (frame->linesize[0] < 0 && frame->linesize[1] < 0 && frame->linesize[2] < 0) {
                const int ch = AV_CEIL_RSHIFT(frame->height, 1);
                ret = SDL_UpdateYUVTexture(
                    *tex, nullptr, frame->data[0] + frame->linesize[0] * (frame->height - 1),
                    -frame->linesize[0], frame->data[1] + frame->linesize[1] * (ch - 1), -frame->linesize[1],
                    frame->data[2] + frame->linesize[2] * (ch - 1), -frame->linesize[2]);
            } else {
                av_log(nullptr, AV_LOG_ERROR, "Mixed negative and positive linesizes are not supported.\n");
                return false;
            }
            break;
        default:
            if (tf.sdl_format == SDL_PIXELFORMAT_UNKNOWN) {
                // Not in the table: convert to BGRA straight into the locked texture.
                is->img_convert_ctx = sws_getCachedContext(is->img_convert_ctx, frame->width, frame->height,
                                                           static_cast<AVPixelFormat>(frame->format),
                                                           frame->width, frame->height, AV_PIX_FMT_BGRA,
                                                           opt_.scaler_flags, nullptr, nullptr, nullptr);
                if (!is->img_convert_ctx) {
                    av_log(nullptr, AV_LOG_FATAL, "Cannot initialize the conversion context\n");
                    return false;
                }
                std::uint8_t* pixels[4] = {};
                int pitch[4] = {};
                if (!SDL_LockTexture(*tex, nullptr, reinterpret_cast<void**>(pixels), pitch)) {
                    sws_scale(is->img_convert_ctx, frame->data, frame->linesize, 0, frame->height, pixels,
                              pitch);
                    SDL_UnlockTexture(*tex);
                }
            } else if (frame->linesize[0] < 0) {
                ret = SDL_UpdateTexture(*tex, nullptr,
                                        frame->data[0] + frame->linesize[0] * (frame->height - 1),
                                        -frame->linesize[0]);
            } else {
                ret = SDL_UpdateTexture(*tex, nullptr, frame->data[0], frame->linesize[0]);
            }
            break;
    }
    if (ret >= 0) {
        shared_.uploads.fetch_add(1);
    }
    return ret >= 0;
}

namespace {
void setYuvConversionMode(const AVFrame* frame) {
    SDL_YUV_CONVERSION_MODE mode = SDL_YUV_CONVERSION_AUTOMATIC;
    if (frame && (frame->format == AV_PIX_FMT_YUV420P || frame->format == AV_PIX_FMT_YUYV422 ||
                  frame->format == AV_PIX_FMT_UYVY422)) {
        if (frame->color_range == AVCOL_RANGE_JPEG) {
            mode = SDL_YUV_CONVERSION_JPEG;
        } else if (frame->colorspace == AVCOL_SPC_BT709) {
            mode = SDL_YUV_CONVERSION_BT709;
        } else if (frame->colorspace == AVCOL_SPC_BT470BG || frame->colorspace == AVCOL_SPC_SMPTE170M ||
                   frame->colorspace == AVCOL_SPC_SMPTE240M) {
            mode = SDL_YUV_CONVERSION_BT601;
        }
    }
    SDL_SetYUVConversionMode(mode);
}
}  // namespace

void Player::videoImageDisplay(VideoState* is) {
    RingSlot* vp = is->pictq.peekLast();
    RingSlot* sp = nullptr;
    if (is->subtitle_stream >= 0 && is->subpq.remaining() > 0) {
        sp = is->subpq.peek();
        if (vp->pts >= sp->pts + static_cast<float>(sp->sub.start_display_time) / 1000) {
            if (!sp->uploaded) {
                if (!sp->width || !sp->height) {
                    sp->width = vp->width;
                    sp->height = vp->height;
                }
                if (!reallocTexture(&is->sub_texture, SDL_PIXELFORMAT_ARGB8888, sp->width, sp->height,
                                    SDL_BLENDMODE_BLEND, true)) {
                    return;
                }
                for (unsigned i = 0; i < sp->sub.num_rects; i++) {
                    AVSubtitleRect* sub_rect = sp->sub.rects[i];
                    sub_rect->x = av_clip(sub_rect->x, 0, sp->width);
                    sub_rect->y = av_clip(sub_rect->y, 0, sp->height);
                    sub_rect->w = av_clip(sub_rect->w, 0, sp->width - sub_rect->x);
                    sub_rect->h = av_clip(sub_rect->h, 0, sp->height - sub_rect->y);
                    if (sub_rect->w <= 0 || sub_rect->h <= 0) {
                        continue;
                    }
                    is->sub_convert_ctx = sws_getCachedContext(is->sub_convert_ctx, sub_rect->w, sub_rect->h,
                                                               AV_PIX_FMT_PAL8, sub_rect->w, sub_rect->h,
                                                               AV_PIX_FMT_BGRA, 0, nullptr, nullptr, nullptr);
                    if (!is->sub_convert_ctx) {
                        av_log(nullptr, AV_LOG_FATAL, "Cannot initialize the conversion context\n");
                        return;
                    }
                    SDL_Rect r{sub_rect->x, sub_rect->y, sub_rect->w, sub_rect->h};
                    std::uint8_t* pixels[4] = {};
                    int pitch[4] = {};
                    if (!SDL_LockTexture(is->sub_texture, &r, reinterpret_cast<void**>(pixels), pitch)) {
                        sws_scale(is->sub_convert_ctx, sub_rect->data, sub_rect->linesize, 0, sub_rect->h,
                                  pixels, pitch);
                        SDL_UnlockTexture(is->sub_texture);
                    }
                }
                sp->uploaded = true;
            }
        } else {
            sp = nullptr;
        }
    }

    const Rect rect =
        displayRectangle(is->xleft, is->ytop, is->width, is->height, vp->width, vp->height, vp->sar);
    if (!vp->uploaded) {
        if (!uploadTexture(is, &is->vid_texture, vp->frame)) {
            return;
        }
        vp->uploaded = true;
        vp->flip_v = vp->frame->linesize[0] < 0;
    }
    setYuvConversionMode(vp->frame);
    const SDL_Rect target{rect.x, rect.y, rect.w, rect.h};
    SDL_RenderCopyEx(renderer_, is->vid_texture, nullptr, &target, 0, nullptr,
                     vp->flip_v ? SDL_FLIP_VERTICAL : SDL_FLIP_NONE);
    setYuvConversionMode(nullptr);
    if (sp && sp->width > 0 && sp->height > 0) {
        const double xratio = static_cast<double>(rect.w) / sp->width;
        const double yratio = static_cast<double>(rect.h) / sp->height;
        for (unsigned i = 0; i < sp->sub.num_rects; i++) {
            const AVSubtitleRect* s = sp->sub.rects[i];
            const SDL_Rect src{s->x, s->y, s->w, s->h};
            const SDL_Rect dst{static_cast<int>(rect.x + s->x * xratio),
                               static_cast<int>(rect.y + s->y * yratio), static_cast<int>(s->w * xratio),
                               static_cast<int>(s->h * yratio)};
            SDL_RenderCopy(renderer_, is->sub_texture, &src, &dst);
        }
    }
}

void Player::openWindow(VideoState* is) {
    int w = screen_width_.load() ? screen_width_.load() : default_width_.load();
    int h = screen_height_.load() ? screen_height_.load() : default_height_.load();
    if (window_) {
        if (own_window_) {
            SDL_SetWindowTitle(window_, window_title_.empty() ? is->filename.c_str() : window_title_.c_str());
            SDL_SetWindowSize(window_, w, h);
            SDL_SetWindowPosition(window_, opt_.window_left, opt_.window_top);
            SDL_ShowWindow(window_);
        } else {
            // A host window keeps the size its owner gave it; the picture fills it.
            SDL_GetWindowSize(window_, &w, &h);
        }
    }
    is->width = std::max(w, 1);
    is->height = std::max(h, 1);
}

void Player::followHostWindowSize(VideoState* is) {
    // One round trip to the window system at most every 100 ms.
    const double now = wallSeconds();
    if (now - last_host_size_check_ < 0.1) {
        return;
    }
    last_host_size_check_ = now;
    int w = 0, h = 0;
    if (!hostWindowSize(window_, &w, &h) || (w == is->width && h == is->height)) {
        return;
    }
    // Tell SDL, so that the renderer's output follows the window.
    SDL_SetWindowSize(window_, w, h);
    is->width = w;
    is->height = h;
    if (is->vis_texture) {
        SDL_DestroyTexture(is->vis_texture);
        is->vis_texture = nullptr;
    }
    is->force_refresh.store(true);
}

void Player::videoDisplay(VideoState* is) {
    if (!is->width) {
        openWindow(is);
    }
    if (!renderer_) {
        return;
    }
    if (!own_window_ && window_) {
        followHostWindowSize(is);
    }
    SDL_SetRenderDrawColor(renderer_, 0, 0, 0, 255);
    SDL_RenderClear(renderer_);
    if (is->audio_stream >= 0 && is->show_mode.load() != DisplayMode::Video) {
        drawVisualisation(is);
    } else if (is->video_stream >= 0) {
        videoImageDisplay(is);
    }
    drawOverlay();
    SDL_RenderPresent(renderer_);
}

// Sampled as ffplay's status line reports it: at most every 30 ms, the video clock
// against the master clock, both running on from when they were set, so the time the
// renderer takes to draw a picture is not counted as drift.
void Player::noteAvDiff(VideoState* is) {
    const double now = wallSeconds();
    if (masterSyncType(is) == SyncMaster::Video || now - last_av_sample_ < kAvSampleInterval) {
        return;
    }
    const double diff = is->vidclk.get() - masterClock(is);
    if (std::isnan(diff)) {
        return;
    }
    last_av_sample_ = now;
    shared_.last_av_diff.store(diff);
    shared_.sum_abs_av_diff.store(shared_.sum_abs_av_diff.load() + std::fabs(diff));
    shared_.av_samples.fetch_add(1);
}

// Audio-only display: a new visualisation frame every rdft period.
void Player::refreshVisualisation(VideoState* is, double* remaining_time) {
    const double time = wallSeconds();
    if (is->force_refresh.load() || is->last_vis_time + opt_.rdft_period_s < time) {
        videoDisplay(is);
        is->last_vis_time = time;
    }
    *remaining_time = std::min(*remaining_time, is->last_vis_time + opt_.rdft_period_s - time);
}

// Drops the subtitles whose time is over (or of an old serial) and blanks what they
// left in the subtitle texture.
void Player::retireSubtitles(VideoState* is) {
    while (is->subpq.remaining() > 0) {
        RingSlot* sp = is->subpq.peek();
        RingSlot* sp2 = is->subpq.remaining() > 1 ? is->subpq.peekNext() : nullptr;
        const double vpts = is->vidclk.pts();
        if (sp->serial == is->subtitleq.serial() &&
            vpts <= (sp->pts + static_cast<float>(sp->sub.end_display_time) / 1000) &&
            !(sp2 && vpts > (sp2->pts + static_cast<float>(sp2->sub.start_display_time) / 1000))) {
            return;
        }
        if (sp->uploaded && is->sub_texture) {
            for (unsigned i = 0; i < sp->sub.num_rects; i++) {
                const AVSubtitleRect* sub_rect = sp->sub.rects[i];
                SDL_Rect r{sub_rect->x, sub_rect->y, sub_rect->w, sub_rect->h};
                std::uint8_t* pixels;
                int pitch;
                if (r.w > 0 && r.h > 0 &&
                    !SDL_LockTexture(is->sub_texture, &r, reinterpret_cast<void**>(&pixels), &pitch)) {
                    for (int j = 0; j < sub_rect->h; j++, pixels += pitch) {
                        std::memset(pixels, 0, static_cast<std::size_t>(sub_rect->w) << 2);
                    }
                    SDL_UnlockTexture(is->sub_texture);
                }
            }
        }
        is->subpq.next();
    }
}

// Moves the picture queue on to the picture due now: skips pictures of an old serial,
// waits (shortening *remaining_time) while the current one is not due, drops late
// ones when frame dropping is on. True when a new picture is to be shown.
bool Player::advancePicture(VideoState* is, double* remaining_time) {
    const double max_frame_duration = is->max_frame_duration.load();
    while (is->pictq.remaining() > 0) {
        RingSlot* lastvp = is->pictq.peekLast();
        RingSlot* vp = is->pictq.peek();
        if (vp->serial != is->videoq.serial()) {
            is->pictq.next();
            continue;
        }
        if (lastvp->serial != vp->serial) {
            is->frame_timer = wallSeconds();
        }
        if (is->paused.load()) {
            return false;
        }
        const double last_duration = pictureDuration(lastvp->serial, lastvp->pts, lastvp->duration,
                                                     vp->serial, vp->pts, max_frame_duration);
        double diff = NAN;
        if (masterSyncType(is) != SyncMaster::Video) {
            diff = is->vidclk.get() - masterClock(is);
        }
        const double delay = targetDelay(last_duration, diff, max_frame_duration);
        av_log(nullptr, AV_LOG_TRACE, "video: delay=%0.3f A-V=%f\n", delay, -diff);

        const double time = wallSeconds();
        if (time < is->frame_timer + delay) {
            *remaining_time = std::min(is->frame_timer + delay - time, *remaining_time);
            return false;
        }
        is->frame_timer += delay;
        if (delay > 0 && time - is->frame_timer > kSyncThresholdMax) {
            is->frame_timer = time;
        }
        {
            std::lock_guard lock(is->pictq.mutex());
            if (!std::isnan(vp->pts)) {
                is->vidclk.set(vp->pts, vp->serial);
                is->extclk.syncToSlave(is->vidclk);
            }
        }
        if (is->pictq.remaining() > 1) {
            RingSlot* nextvp = is->pictq.peekNext();
            const double duration = pictureDuration(vp->serial, vp->pts, vp->duration, nextvp->serial,
                                                    nextvp->pts, max_frame_duration);
            if (!is->step &&
                (opt_.framedrop > 0 || (opt_.framedrop && masterSyncType(is) != SyncMaster::Video)) &&
                time > is->frame_timer + duration) {
                shared_.late_drops.fetch_add(1);
                is->pictq.next();
                continue;
            }
        }
        if (is->subtitle_stream >= 0) {
            retireSubtitles(is);
        }
        is->pictq.next();
        is->force_refresh.store(true);
        if (is->step && !is->paused.load()) {
            togglePause(is);
        }
        return true;
    }
    return false;
}

void Player::videoRefresh(VideoState* is, double* remaining_time) {
    if (!is->paused.load() && masterSyncType(is) == SyncMaster::External && is->realtime.load()) {
        checkExternalClockSpeed(is);
    }
    if (!opt_.display_disable && is->show_mode.load() != DisplayMode::Video && is->audio_stream >= 0) {
        refreshVisualisation(is, remaining_time);
    }
    const bool new_picture = is->video_stream >= 0 && advancePicture(is, remaining_time);
    if (!opt_.display_disable && is->force_refresh.load() && is->show_mode.load() == DisplayMode::Video &&
        is->pictq.lastShown()) {
        videoDisplay(is);
        if (new_picture) {
            if (shared_.shown.fetch_add(1) == 0) {
                shared_.first_picture_at.store(wallSeconds());
            }
        }
    }
    if (is->video_stream >= 0) {
        noteAvDiff(is);
    }
    is->force_refresh.store(false);
}

}  // namespace player
