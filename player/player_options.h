#pragma once
// Option values of the player core. The core resets them at every start; tests may
// change them on the Player before running it.

#include <cstdint>
#include <string>

#include "player/media_clock.h"

namespace player {

// SDL's "centred" window position value.
inline constexpr int kWindowPosCentred = 0x2FFF0000;

enum class DisplayMode : int { None = -1, Video = 0, Waves = 1, Spectrum = 2 };

struct PlayerOptions {
    int default_width = 640;  // replaced by each picture's display size
    int default_height = 480;
    int screen_width = 0;  // set from window resize events
    int screen_height = 0;
    int window_left = kWindowPosCentred;
    int window_top = kWindowPosCentred;
    int startup_volume = 100;
    bool show_status = true;
    SyncMaster sync_preference = SyncMaster::Audio;
    bool fast = false;
    bool generate_pts = false;
    int lowres = 0;
    int decoder_reorder_pts = -1;  // -1 best effort, 0 packet dts, else as decoded
    int loop = 1;
    int framedrop = -1;        // -1 automatic
    int infinite_buffer = -1;  // -1 automatic
    DisplayMode show_mode = DisplayMode::None;
    bool find_stream_info = true;
    double rdft_period_s = 0.02;

    // Fixed at their initial values.
    bool audio_disable = false;
    bool video_disable = false;
    bool subtitle_disable = false;
    bool display_disable = false;
    bool autoexit = false;
    int scaler_flags = 4;  // bicubic
};

}  // namespace player
