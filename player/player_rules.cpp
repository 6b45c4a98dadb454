#include "player/player_rules.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <iterator>

extern "C" {
#include <libavutil/common.h>
#include <libavutil/mathematics.h>
}

namespace player {

SyncMaster chooseSyncMaster(SyncMaster preference, bool has_video, bool has_audio) {
    switch (preference) {
        case SyncMaster::Video:
            return has_video ? SyncMaster::Video : SyncMaster::Audio;
        case SyncMaster::Audio:
            return has_audio ? SyncMaster::Audio : SyncMaster::External;
        default:
            return SyncMaster::External;
    }
}

int audioBufferSamples(int sample_rate) {
    const int per_callback = sample_rate / kAudioMaxCallbacksPerSec;
    const int pow2 = per_callback > 0 ? 2 << av_log2(static_cast<unsigned>(per_callback)) : 0;
    return std::max(kAudioMinBufferSamples, pow2);
}

namespace {
constexpr int kNextChannels[] = {0, 0, 1, 6, 2, 6, 4, 6};
constexpr int kNextRates[] = {0, 44100, 48000, 96000, 192000};
}  // namespace

AudioOpenPlan::AudioOpenPlan(int wanted_channels, int wanted_rate)
    : wanted_channels_(wanted_channels), channels_(wanted_channels), rate_(wanted_rate) {
    rate_index_ = static_cast<int>(std::size(kNextRates)) - 1;
    while (rate_index_ > 0 && kNextRates[rate_index_] >= wanted_rate) {
        --rate_index_;
    }
}

bool AudioOpenPlan::advance() {
    channels_ = kNextChannels[std::min(7, std::max(0, channels_))];
    if (!channels_) {
        rate_ = kNextRates[rate_index_];
        if (rate_index_ > 0) {
            --rate_index_;
        }
        channels_ = wanted_channels_;
        if (!rate_) {
            return false;
        }
    }
    return true;
}

Rect displayRectangle(int area_x, int area_y, int area_w, int area_h, int pic_w, int pic_h, AVRational sar) {
    if (pic_w <= 0 || pic_h <= 0) {
        return {area_x, area_y, std::max(area_w, 1), std::max(area_h, 1)};
    }
    AVRational aspect = sar;
    if (av_cmp_q(aspect, av_make_q(0, 1)) <= 0 || aspect.den == 0) {
        aspect = av_make_q(1, 1);
    }
    aspect = av_mul_q(aspect, av_make_q(pic_w, pic_h));
    std::int64_t height = area_h;
    std::int64_t width = av_rescale(height, aspect.num, aspect.den) & ~1;
    if (width > area_w) {
        width = area_w;
        height = av_rescale(width, aspect.den, aspect.num) & ~1;
    }
    Rect r;
    r.x = area_x + static_cast<int>((area_w - width) / 2);
    r.y = area_y + static_cast<int>((area_h - height) / 2);
    r.w = std::max(static_cast<int>(width), 1);
    r.h = std::max(static_cast<int>(height), 1);
    return r;
}

void defaultDisplaySize(int screen_w, int screen_h, int pic_w, int pic_h, AVRational sar, int* out_w,
                        int* out_h) {
    int max_w = screen_w ? screen_w : INT_MAX;
    int max_h = screen_h ? screen_h : INT_MAX;
    if (max_w == INT_MAX && max_h == INT_MAX) {
        max_h = pic_h;
    }
    const Rect r = displayRectangle(0, 0, max_w, max_h, pic_w, pic_h, sar);
    *out_w = r.w;
    *out_h = r.h;
}

double pictureDuration(int last_serial, double last_pts, double last_duration, int vp_serial, double vp_pts,
                       double max_frame_duration) {
    if (last_serial != vp_serial) {
        return 0.0;
    }
    const double d = vp_pts - last_pts;
    if (std::isnan(d) || d <= 0 || d > max_frame_duration) {
        return last_duration;
    }
    return d;
}

double targetDelay(double delay, double diff, double max_frame_duration) {
    const double threshold = std::max(kSyncThresholdMin, std::min(kSyncThresholdMax, delay));
    if (!std::isnan(diff) && std::fabs(diff) < max_frame_duration) {
        if (diff <= -threshold) {
            delay = std::max(0.0, delay + diff);
        } else if (diff >= threshold && delay > kFrameDuplicationThreshold) {
            delay = delay + diff;
        } else if (diff >= threshold) {
            delay = 2 * delay;
        }
    }
    return delay;
}

double externalClockSpeed(double speed, bool has_video, int video_packets, bool has_audio,
                          int audio_packets) {
    if ((has_video && video_packets <= kExternalClockMinFrames) ||
        (has_audio && audio_packets <= kExternalClockMinFrames)) {
        return std::max(kExternalClockSpeedMin, speed - kExternalClockSpeedStep);
    }
    if ((!has_video || video_packets > kExternalClockMaxFrames) &&
        (!has_audio || audio_packets > kExternalClockMaxFrames)) {
        return std::min(kExternalClockSpeedMax, speed + kExternalClockSpeedStep);
    }
    if (speed != 1.0) {
        return speed + kExternalClockSpeedStep * (1.0 - speed) / std::fabs(1.0 - speed);
    }
    return speed;
}

void AudioSyncAverager::reset(double threshold_s) {
    coef_ = std::exp(std::log(0.01) / kAudioDiffAvgCount);
    cum_ = 0.0;
    count_ = 0;
    threshold_ = threshold_s;
}

int AudioSyncAverager::wantedSamples(int n, double diff, int sample_rate) {
    if (std::isnan(diff) || std::fabs(diff) >= kNoSyncThreshold) {
        // Too far off to be a drift: probably a seek or a broken pts.
        count_ = 0;
        cum_ = 0.0;
        return n;
    }
    cum_ = diff + coef_ * cum_;
    if (count_ < kAudioDiffAvgCount) {
        ++count_;
        return n;
    }
    const double avg = cum_ * (1.0 - coef_);
    if (std::fabs(avg) < threshold_) {
        return n;
    }
    const int wanted = n + static_cast<int>(diff * sample_rate);
    const int lo = n * (100 - kSampleCorrectionPercentMax) / 100;
    const int hi = n * (100 + kSampleCorrectionPercentMax) / 100;
    return av_clip(wanted, lo, hi);
}

}  // namespace player
