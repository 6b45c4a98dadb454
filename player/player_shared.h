#pragma once
// The words through which a host (the clip dialog, quorin-play, tests) drives a
// running player core, and the counters the core keeps for it. Every field is an
// atomic: the host and the core's threads read and write them without a lock.

#include <atomic>
#include <cstdint>

namespace player {

enum class PlayerCommand : int {
    Idle = 0,
    Playing = 1,
    PauseRequested = 2,
    Paused = 3,
    QuitRequested = 4,
    SeekRequested = 5,
    ResumeRequested = 6,
};

// A snapshot of the counters, plain data for tests, benchmarks and quorin-play.
struct PlayerCounters {
    std::int64_t shown = 0;         // pictures drawn for the first time
    std::int64_t late_drops = 0;    // pictures skipped by the display loop
    std::int64_t early_drops = 0;   // frames dropped by the video decoder
    std::int64_t uploads = 0;       // pictures copied into the video texture
    std::int64_t seeks = 0;         // seeks the reader carried out
    std::int64_t eof_markers = 0;   // end-of-stream packets the reader queued
    std::int64_t av_samples = 0;    // A-V samples (every 30 ms while video follows a master)
    double last_av_diff = 0.0;      // seconds, video clock minus master clock
    double mean_abs_av_diff = 0.0;  // seconds, over av_samples
};

// An overlay rectangle: x, y, width and height, 16 bits each (clamped to 0..65535).
struct OverlayRect {
    int x = 0, y = 0, w = 0, h = 0;
};
std::uint64_t packOverlay(int x, int y, int w, int h);
OverlayRect unpackOverlay(std::uint64_t packed);

struct PlayerShared {
    // Written by the host, acknowledged by the core (back to Playing or Paused).
    std::atomic<int> command{0};
    // Whole seconds from the start of the file; written before SeekRequested.
    std::atomic<int> seek_target{0};
    // Seconds; published by the core once per display-loop turn.
    std::atomic<double> position{0.0};
    // 0..128, applied by the audio callback; 128 leaves samples unchanged.
    std::atomic<int> live_volume{128};
    // Set by the core once it has reset these words at start, cleared when it returns.
    std::atomic<bool> running{false};
    // A frame the display draws over the picture for the host (the clip dialog's crop
    // rectangle), host-window pixels packed by packOverlay; 0 draws none. The host
    // writes it at any time; the core draws it again when it changes.
    std::atomic<std::uint64_t> overlay{0};
    // Length of the overlay's corner marks, pixels.
    std::atomic<int> overlay_corner{10};
    // Set by the host when its window was uncovered; the core draws it again (black
    // while there is no picture) and clears it.
    std::atomic<bool> refresh{false};

    // Counters, written by the core's threads.
    std::atomic<std::int64_t> shown{0};
    std::atomic<std::int64_t> late_drops{0};
    std::atomic<std::int64_t> early_drops{0};
    std::atomic<std::int64_t> uploads{0};
    std::atomic<std::int64_t> seeks{0};
    std::atomic<std::int64_t> eof_markers{0};
    std::atomic<std::int64_t> av_samples{0};
    std::atomic<double> last_av_diff{0.0};
    std::atomic<double> sum_abs_av_diff{0.0};
    // When the run's first picture was presented (wallSeconds()); 0 before.
    std::atomic<double> first_picture_at{0.0};

    void send(PlayerCommand c) { command.store(static_cast<int>(c)); }
    void seekTo(int second) {
        seek_target.store(second);
        command.store(static_cast<int>(PlayerCommand::SeekRequested));
    }
    PlayerCommand current() const { return static_cast<PlayerCommand>(command.load()); }

    void resetCounters();
    PlayerCounters counters() const;
};

}  // namespace player
