#pragma once
// Synchronisation constants and the pure decisions of the player core, kept apart
// so that they can be checked without opening a file or a device.

#include <cstdint>

#include "player/media_clock.h"

extern "C" {
#include <libavutil/rational.h>
}

namespace player {

inline constexpr double kSyncThresholdMin = 0.04;
inline constexpr double kSyncThresholdMax = 0.1;
inline constexpr double kFrameDuplicationThreshold = 0.1;
inline constexpr double kNoSyncThreshold = 10.0;
inline constexpr double kRefreshRate = 0.01;
// Seconds between two samples of the A-V difference.
inline constexpr double kAvSampleInterval = 0.03;
inline constexpr double kSpectrumPeriod = 0.02;
inline constexpr int kSampleCorrectionPercentMax = 10;
inline constexpr int kAudioDiffAvgCount = 20;
inline constexpr double kExternalClockSpeedMin = 0.900;
inline constexpr double kExternalClockSpeedMax = 1.010;
inline constexpr double kExternalClockSpeedStep = 0.001;
inline constexpr int kExternalClockMinFrames = 2;
inline constexpr int kExternalClockMaxFrames = 10;
inline constexpr int kMaxQueueBytes = 15 * 1024 * 1024;
inline constexpr int kMinFrames = 25;
inline constexpr int kAudioMinBufferSamples = 512;
inline constexpr int kAudioMaxCallbacksPerSec = 30;
inline constexpr int kSampleHistorySize = 8 * 65536;
inline constexpr int kPictureRingSize = 3;
inline constexpr int kSubtitleRingSize = 16;
inline constexpr int kSampleRingSize = 9;

// The clock everything follows: the preferred one when its stream is open, else the
// next best.
SyncMaster chooseSyncMaster(SyncMaster preference, bool has_video, bool has_audio);

struct Rect {
    int x = 0, y = 0, w = 0, h = 0;
    bool operator==(const Rect&) const = default;
};

// Samples per SDL audio buffer for a sample rate: about 30 callbacks a second,
// a power of two, at least 512.
int audioBufferSamples(int sample_rate);

// The order in which channel counts and sample rates are tried when opening the
// audio device: first the wanted pair, then fewer channels, then lower rates.
class AudioOpenPlan {
public:
    AudioOpenPlan(int wanted_channels, int wanted_rate);
    int channels() const { return channels_; }
    int rate() const { return rate_; }
    // Moves to the next combination after a refusal; false when none is left.
    bool advance();

private:
    int wanted_channels_;
    int channels_;
    int rate_;
    int rate_index_;
};

// Where a picture of w x h with sample aspect `sar` goes inside an area: as large as
// fits, aspect kept, even sizes, centred.
Rect displayRectangle(int area_x, int area_y, int area_w, int area_h, int pic_w, int pic_h, AVRational sar);

// The window size a picture asks for: its natural height with its aspect applied,
// limited by the screen size when one is known.
void defaultDisplaySize(int screen_w, int screen_h, int pic_w, int pic_h, AVRational sar, int* out_w,
                        int* out_h);

// Duration of the picture `last` given the next one `vp` (rule used for the picture
// delay and for late drops).
double pictureDuration(int last_serial, double last_pts, double last_duration, int vp_serial, double vp_pts,
                       double max_frame_duration);

// The delay before the next picture, corrected by `diff` = video clock − master
// clock (NaN when video is the master or a clock is unset).
double targetDelay(double delay, double diff, double max_frame_duration);

// One step of the external clock's speed for real-time sources.
double externalClockSpeed(double speed, bool has_video, int video_packets, bool has_audio, int audio_packets);

// Averages audio−master differences and decides how many samples a frame of n
// samples should become so that audio follows a master other than itself.
class AudioSyncAverager {
public:
    void reset(double threshold_s);
    // diff = audio clock − master clock (NaN when unknown). Returns the wanted count.
    int wantedSamples(int n, double diff, int sample_rate);
    double threshold() const { return threshold_; }

private:
    double coef_ = 0.0;
    double cum_ = 0.0;
    double threshold_ = 0.0;
    int count_ = 0;
};

}  // namespace player
