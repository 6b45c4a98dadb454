// Audio output: the SDL device with its fallbacks, conversion to the device format,
// live volume, the audio clock and the waves / spectrum visualisation.
#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "player/player.h"

extern "C" {
#include <libavutil/time.h>
}

namespace player {

int Player::audioOpen(VideoState* is, const AVChannelLayout* wanted_layout, int wanted_sample_rate,
                      AudioParams* tgt) {
    AVChannelLayout layout{};
    av_channel_layout_copy(&layout, wanted_layout);
    int wanted_nb_channels = layout.nb_channels;
    if (const char* env = SDL_getenv("SDL_AUDIO_CHANNELS")) {
        wanted_nb_channels = std::atoi(env);
        av_channel_layout_uninit(&layout);
        av_channel_layout_default(&layout, wanted_nb_channels);
    }
    if (layout.order != AV_CHANNEL_ORDER_NATIVE) {
        av_channel_layout_uninit(&layout);
        av_channel_layout_default(&layout, wanted_nb_channels);
    }
    wanted_nb_channels = layout.nb_channels;
    if (wanted_sample_rate <= 0 || wanted_nb_channels <= 0) {
        av_log(nullptr, AV_LOG_ERROR, "Invalid sample rate or channel count!\n");
        av_channel_layout_uninit(&layout);
        return -1;
    }

    // SDL's video set-up reads and writes hints that its audio threads read unguarded:
    // the device opens once the display is made (the player thread makes it beside
    // the reader and reports it even when it fails).
    waitForDisplay();
    AudioOpenPlan plan(wanted_nb_channels, wanted_sample_rate);
    SDL_AudioSpec wanted{};
    SDL_AudioSpec obtained{};
    wanted.format = AUDIO_S16SYS;
    wanted.silence = 0;
    wanted.callback = sdlAudioCallback;
    wanted.userdata = is;
    for (;;) {
        wanted.channels = static_cast<Uint8>(plan.channels());
        wanted.freq = plan.rate();
        wanted.samples = static_cast<Uint16>(audioBufferSamples(wanted.freq));
        if (audio_->open(wanted, &obtained)) {
            break;
        }
        av_log(nullptr, AV_LOG_WARNING, "SDL_OpenAudio (%d channels, %d Hz): %s\n", wanted.channels,
               wanted.freq, audio_->error().c_str());
        if (!plan.advance()) {
            av_log(nullptr, AV_LOG_ERROR, "No more combinations to try, audio open failed\n");
            av_channel_layout_uninit(&layout);
            return -1;
        }
    }
    av_channel_layout_uninit(&layout);
    if (obtained.format != AUDIO_S16SYS) {
        av_log(nullptr, AV_LOG_ERROR, "SDL advised audio format %d is not supported!\n", obtained.format);
        audio_->close();
        return -1;
    }
    av_channel_layout_uninit(&tgt->ch_layout);
    av_channel_layout_default(&tgt->ch_layout, obtained.channels);
    if (tgt->ch_layout.order != AV_CHANNEL_ORDER_NATIVE) {
        av_log(nullptr, AV_LOG_ERROR, "SDL advised channel count %d is not supported!\n", obtained.channels);
        audio_->close();
        return -1;
    }
    tgt->fmt = AV_SAMPLE_FMT_S16;
    tgt->freq = obtained.freq;
    tgt->frame_size = av_samples_get_buffer_size(nullptr, obtained.channels, 1, tgt->fmt, 1);
    tgt->bytes_per_sec = av_samples_get_buffer_size(nullptr, obtained.channels, tgt->freq, tgt->fmt, 1);
    if (tgt->bytes_per_sec <= 0 || tgt->frame_size <= 0) {
        av_log(nullptr, AV_LOG_ERROR, "av_samples_get_buffer_size failed\n");
        audio_->close();
        return -1;
    }
    return static_cast<int>(obtained.size);
}

void Player::sdlAudioCallback(void* opaque, Uint8* stream, int len) {
    auto* is = static_cast<VideoState*>(opaque);
    is->owner->audioCallback(is, stream, len);
}

void Player::audioCallback(VideoState* is, Uint8* stream, int len) {
    const std::int64_t callback_time = av_gettime_relative();
    audio_callback_time_.store(callback_time);
    while (len > 0) {
        if (is->audio_buf_index >= static_cast<int>(is->audio_buf_size)) {
            const int audio_size = audioDecodeFrame(is);
            if (audio_size < 0) {
                // Silence for a short stretch, then try again.
                is->audio_buf = nullptr;
                is->audio_buf_size =
                    kAudioMinBufferSamples / is->audio_tgt.frame_size * is->audio_tgt.frame_size;
            } else {
                if (is->show_mode.load() != DisplayMode::Video) {
                    updateSampleDisplay(is, reinterpret_cast<const std::int16_t*>(is->audio_buf), audio_size);
                }
                is->audio_buf_size = static_cast<unsigned>(audio_size);
            }
            is->audio_buf_index = 0;
        }
        is->audio_volume =
            std::clamp(shared_.live_volume.load(std::memory_order_relaxed), 0, SDL_MIX_MAXVOLUME);
        const int len1 = std::min(len, static_cast<int>(is->audio_buf_size) - is->audio_buf_index);
        if (is->audio_buf && is->audio_volume == SDL_MIX_MAXVOLUME) {
            std::memcpy(stream, is->audio_buf + is->audio_buf_index, len1);
        } else {
            std::memset(stream, 0, len1);
            if (is->audio_buf) {
                SDL_MixAudioFormat(stream, is->audio_buf + is->audio_buf_index, AUDIO_S16SYS, len1,
                                   is->audio_volume);
            }
        }
        len -= len1;
        stream += len1;
        is->audio_buf_index += len1;
    }
    const int write_buf_size = static_cast<int>(is->audio_buf_size) - is->audio_buf_index;
    is->audio_write_buf_size.store(write_buf_size);
    if (!std::isnan(is->audio_clock)) {
        is->audclk.setAt(is->audio_clock - static_cast<double>(2 * is->audio_hw_buf_size + write_buf_size) /
                                               is->audio_tgt.bytes_per_sec,
                         is->audio_clock_serial, callback_time / 1000000.0);
        is->extclk.syncToSlave(is->audclk);
    }
}

int Player::synchronizeAudio(VideoState* is, int nb_samples) {
    if (masterSyncType(is) == SyncMaster::Audio) {
        return nb_samples;
    }
    const double diff = is->audclk.get() - masterClock(is);
    const int wanted = is->audio_sync.wantedSamples(nb_samples, diff, is->audio_src.freq);
    if (wanted != nb_samples) {
        av_log(nullptr, AV_LOG_TRACE, "diff=%f sample_diff=%d apts=%0.3f\n", diff, wanted - nb_samples,
               is->audio_clock);
    }
    return wanted;
}

int Player::audioDecodeFrame(VideoState* is) {
    if (is->paused.load()) {
        return -1;
    }
    RingSlot* af = nullptr;
    do {
        while (is->sampq.remaining() == 0) {
            const std::int64_t waited = av_gettime_relative() - audio_callback_time_.load();
            if (waited > 1000000LL * is->audio_hw_buf_size / is->audio_tgt.bytes_per_sec / 2) {
                return -1;
            }
            av_usleep(1000);
        }
        af = is->sampq.peekReadable();
        if (!af) {
            return -1;
        }
        is->sampq.next();
    } while (af->serial != is->audioq.serial());

    AVFrame* frame = af->frame;
    const int data_size = av_samples_get_buffer_size(nullptr, frame->ch_layout.nb_channels, frame->nb_samples,
                                                     static_cast<AVSampleFormat>(frame->format), 1);
    const int wanted_nb_samples = synchronizeAudio(is, frame->nb_samples);

    if (frame->format != is->audio_src.fmt ||
        av_channel_layout_compare(&frame->ch_layout, &is->audio_src.ch_layout) ||
        frame->sample_rate != is->audio_src.freq ||
        (wanted_nb_samples != frame->nb_samples && !is->swr_ctx)) {
        swr_free(&is->swr_ctx);
        AVChannelLayout decoded{};
        if (frame->ch_layout.order != AV_CHANNEL_ORDER_UNSPEC && av_channel_layout_check(&frame->ch_layout)) {
            av_channel_layout_copy(&decoded, &frame->ch_layout);
        } else {
            av_channel_layout_default(&decoded, frame->ch_layout.nb_channels);
        }
        const int ret = swr_alloc_set_opts2(
            &is->swr_ctx, &is->audio_tgt.ch_layout, is->audio_tgt.fmt, is->audio_tgt.freq, &decoded,
            static_cast<AVSampleFormat>(frame->format), frame->sample_rate, 0, nullptr);
        if (ret < 0 || swr_init(is->swr_ctx) < 0) {
            av_log(
                nullptr, AV_LOG_ERROR,
                "Cannot create sample rate converter for conversion of %d Hz %s %d channels to %d Hz %s %d "
                "channels!\n",
                frame->sample_rate, av_get_sample_fmt_name(static_cast<AVSampleFormat>(frame->format)),
                frame->ch_layout.nb_channels, is->audio_tgt.freq, av_get_sample_fmt_name(is->audio_tgt.fmt),
                is->audio_tgt.ch_layout.nb_channels);
            swr_free(&is->swr_ctx);
            av_channel_layout_uninit(&decoded);
            return -1;
        }
        av_channel_layout_uninit(&is->audio_src.ch_layout);
        av_channel_layout_copy(&is->audio_src.ch_layout, &frame->ch_layout);
        is->audio_src.freq = frame->sample_rate;
        is->audio_src.fmt = static_cast<AVSampleFormat>(frame->format);
        av_channel_layout_uninit(&decoded);
    }

    int resampled_data_size;
    if (is->swr_ctx) {
        const std::uint8_t** in = const_cast<const std::uint8_t**>(frame->extended_data);
        const int out_count = static_cast<int>(
            static_cast<std::int64_t>(wanted_nb_samples) * is->audio_tgt.freq / frame->sample_rate + 256);
        const int out_size = av_samples_get_buffer_size(nullptr, is->audio_tgt.ch_layout.nb_channels,
                                                        out_count, is->audio_tgt.fmt, 0);
        if (out_size < 0) {
            av_log(nullptr, AV_LOG_ERROR, "av_samples_get_buffer_size() failed\n");
            return -1;
        }
        if (wanted_nb_samples != frame->nb_samples) {
            if (swr_set_compensation(
                    is->swr_ctx,
                    (wanted_nb_samples - frame->nb_samples) * is->audio_tgt.freq / frame->sample_rate,
                    wanted_nb_samples * is->audio_tgt.freq / frame->sample_rate) < 0) {
                av_log(nullptr, AV_LOG_ERROR, "swr_set_compensation() failed\n");
                return -1;
            }
        }
        av_fast_malloc(&is->audio_buf1, &is->audio_buf1_size, static_cast<std::size_t>(out_size));
        if (!is->audio_buf1) {
            return AVERROR(ENOMEM);
        }
        std::uint8_t** out = &is->audio_buf1;
        const int len2 = swr_convert(is->swr_ctx, out, out_count, in, frame->nb_samples);
        if (len2 < 0) {
            av_log(nullptr, AV_LOG_ERROR, "swr_convert() failed\n");
            return -1;
        }
        if (len2 == out_count) {
            av_log(nullptr, AV_LOG_WARNING, "audio buffer is probably too small\n");
            if (swr_init(is->swr_ctx) < 0) {
                swr_free(&is->swr_ctx);
            }
        }
        is->audio_buf = is->audio_buf1;
        resampled_data_size =
            len2 * is->audio_tgt.ch_layout.nb_channels * av_get_bytes_per_sample(is->audio_tgt.fmt);
    } else {
        is->audio_buf = frame->data[0];
        resampled_data_size = data_size;
    }

    if (!std::isnan(af->pts)) {
        is->audio_clock = af->pts + static_cast<double>(frame->nb_samples) / frame->sample_rate;
    } else {
        is->audio_clock = NAN;
    }
    is->audio_clock_serial = af->serial;
    return resampled_data_size;
}

void Player::updateSampleDisplay(VideoState* is, const std::int16_t* samples, int samples_size) {
    std::lock_guard lock(is->sample_mutex);
    int size = samples_size / static_cast<int>(sizeof(std::int16_t));
    while (size > 0) {
        const int len = std::min(kSampleHistorySize - is->sample_array_index, size);
        std::memcpy(&is->sample_array[is->sample_array_index], samples, len * sizeof(std::int16_t));
        samples += len;
        is->sample_array_index += len;
        if (is->sample_array_index >= kSampleHistorySize) {
            is->sample_array_index = 0;
        }
        size -= len;
    }
}

namespace {
int computeMod(int a, int b) {
    return a < 0 ? a % b + b : a % b;
}
}  // namespace

// Where in the sample history the picture starts: behind the write position by what
// the device still holds, and for waves at a rising zero crossing so the trace stands
// still. While paused the last start is kept. Called with the sample mutex held.
int Player::visualisationStart(VideoState* is, int nb_display_channels, int nb_freq) {
    if (is->paused.load()) {
        return is->last_i_start;
    }
    const bool waves = is->show_mode.load() == DisplayMode::Waves;
    const int data_used = waves ? is->width : 2 * nb_freq;
    int delay = is->audio_write_buf_size.load() / (2 * nb_display_channels);
    if (const std::int64_t cb = audio_callback_time_.load()) {
        const std::int64_t time_diff = av_gettime_relative() - cb;
        delay -= static_cast<int>(time_diff * is->audio_tgt.freq / 1000000);
    }
    delay = std::max(delay + 2 * data_used, data_used);
    int i_start = computeMod(is->sample_array_index - delay * nb_display_channels, kSampleHistorySize);
    if (waves) {
        const int x = i_start;
        int h = INT_MIN;
        for (int i = 0; i < 1000; i += nb_display_channels) {
            const int idx = (kSampleHistorySize + x - i) % kSampleHistorySize;
            const int a = is->sample_array[idx];
            const int b = is->sample_array[(idx + 4 * nb_display_channels) % kSampleHistorySize];
            const int c = is->sample_array[(idx + 5 * nb_display_channels) % kSampleHistorySize];
            const int d = is->sample_array[(idx + 9 * nb_display_channels) % kSampleHistorySize];
            const int score = a - d;
            if (h < score && (b ^ c) < 0) {
                h = score;
                i_start = idx;
            }
        }
    }
    is->last_i_start = i_start;
    return i_start;
}

// One trace per channel, with a blue line between channels.
void Player::drawWaves(VideoState* is, int i_start, int nb_display_channels) {
    SDL_SetRenderDrawColor(renderer_, 255, 255, 255, 255);
    const int h = is->height / nb_display_channels;
    const int h2 = (h * 9) / 20;
    for (int ch = 0; ch < nb_display_channels; ch++) {
        int i = i_start + ch;
        const int y1 = is->ytop + ch * h + (h / 2);
        for (int x = 0; x < is->width; x++) {
            const int y = (is->sample_array[i] * h2) >> 15;
            if (y < 0) {
                SDL_Rect r{is->xleft + x, y1, 1, -y};
                SDL_RenderFillRect(renderer_, &r);
            } else if (y > 0) {
                SDL_Rect r{is->xleft + x, y1 - y, 1, y};
                SDL_RenderFillRect(renderer_, &r);
            }
            i += nb_display_channels;
            if (i >= kSampleHistorySize) {
                i -= kSampleHistorySize;
            }
        }
    }
    SDL_SetRenderDrawColor(renderer_, 0, 0, 255, 255);
    for (int ch = 1; ch < nb_display_channels; ch++) {
        SDL_Rect r{is->xleft, is->ytop + ch * h, is->width, 1};
        SDL_RenderFillRect(renderer_, &r);
    }
}

// One new column of the scrolling spectrum (at most two channels). The samples are
// transformed under `lock`, which is released before the texture is written.
void Player::drawSpectrum(VideoState* is, int i_start, int nb_display_channels, int rdft_bits,
                          std::unique_lock<std::mutex>& lock) {
    const int nb_freq = 1 << (rdft_bits - 1);
    if (!reallocTexture(&is->vis_texture, SDL_PIXELFORMAT_ARGB8888, is->width, is->height, SDL_BLENDMODE_NONE,
                        true)) {
        return;
    }
    if (rdft_bits != is->rdft_bits) {
        if (is->rdft) {
            av_rdft_end(is->rdft);
        }
        av_freep(&is->rdft_data);
        is->rdft = av_rdft_init(rdft_bits, DFT_R2C);
        is->rdft_bits = rdft_bits;
        is->rdft_data = static_cast<float*>(av_malloc_array(nb_freq, 4 * sizeof(*is->rdft_data)));
    }
    if (!is->rdft || !is->rdft_data) {
        av_log(nullptr, AV_LOG_ERROR, "Failed to allocate buffers for RDFT, switching to waves display\n");
        is->show_mode.store(DisplayMode::Waves);
        return;
    }
    const int channels = std::min(nb_display_channels, 2);
    float* data[2];
    for (int ch = 0; ch < channels; ch++) {
        data[ch] = is->rdft_data + 2 * nb_freq * ch;
        int i = i_start + ch;
        for (int x = 0; x < 2 * nb_freq; x++) {
            const double w = (x - nb_freq) * (1.0 / nb_freq);
            data[ch][x] = static_cast<float>(is->sample_array[i] * (1.0 - w * w));
            i += nb_display_channels;
            if (i >= kSampleHistorySize) {
                i -= kSampleHistorySize;
            }
        }
        av_rdft_calc(is->rdft, data[ch]);
    }
    lock.unlock();
    if (is->xpos >= is->width) {
        is->xpos = 0;
    }
    SDL_Rect rect{is->xpos, 0, 1, is->height};
    void* pixels_v;
    int pitch;
    if (!SDL_LockTexture(is->vis_texture, &rect, &pixels_v, &pitch)) {
        auto* pixels = static_cast<Uint32*>(pixels_v);
        pitch >>= 2;
        pixels += pitch * is->height;
        for (int y = 0; y < is->height; y++) {
            const double w = 1 / std::sqrt(static_cast<double>(nb_freq));
            const int a = static_cast<int>(std::sqrt(w * std::sqrt(data[0][2 * y + 0] * data[0][2 * y + 0] +
                                                                   data[0][2 * y + 1] * data[0][2 * y + 1])));
            const int b =
                channels == 2
                    ? static_cast<int>(std::sqrt(w * std::hypot(data[1][2 * y + 0], data[1][2 * y + 1])))
                    : a;
            const int ca = std::min(a, 255);
            const int cb = std::min(b, 255);
            pixels -= pitch;
            *pixels = static_cast<Uint32>((ca << 16) + (cb << 8) + ((ca + cb) >> 1));
        }
        SDL_UnlockTexture(is->vis_texture);
    }
    SDL_RenderCopy(renderer_, is->vis_texture, nullptr, nullptr);
    if (!is->paused.load()) {
        is->xpos++;
    }
}

void Player::drawVisualisation(VideoState* is) {
    if (!renderer_ || is->width <= 0 || is->height <= 0) {
        return;
    }
    int rdft_bits = 1;
    while ((1 << rdft_bits) < 2 * is->height) {
        rdft_bits++;
    }
    const int nb_display_channels = is->audio_tgt.ch_layout.nb_channels;
    if (nb_display_channels <= 0) {
        return;
    }
    std::unique_lock lock(is->sample_mutex);
    const int i_start = visualisationStart(is, nb_display_channels, 1 << (rdft_bits - 1));
    if (is->show_mode.load() == DisplayMode::Waves) {
        drawWaves(is, i_start, nb_display_channels);
    } else {
        drawSpectrum(is, i_start, nb_display_channels, rdft_bits, lock);
    }
}

}  // namespace player
