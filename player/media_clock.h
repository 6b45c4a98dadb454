#pragma once
// A clock that runs from the pts of the last data shown or played. Its value is
// NaN while unset or while the queue it belongs to has moved on to a new serial.

#include <atomic>
#include <cmath>

namespace player {

enum class SyncMaster : int { Audio = 0, Video = 1, External = 2 };

// Wall time in seconds from libavutil's monotonic clock.
double wallSeconds();

class MediaClock {
public:
    // `queue_serial` is the serial the clock must match to be valid; nullptr means
    // the clock's own serial (the external clock).
    void init(const std::atomic<int>* queue_serial);

    double get() const { return getAt(wallSeconds()); }
    double getAt(double now) const;
    void setAt(double pts, int serial, double time);
    void set(double pts, int serial) { setAt(pts, serial, wallSeconds()); }
    void setSpeed(double speed);
    // Copies `slave` when it is valid and this clock is unset or more than the
    // no-sync distance away.
    void syncToSlave(const MediaClock& slave);

    double pts() const { return pts_.load(std::memory_order_relaxed); }
    double lastUpdated() const { return last_updated_.load(std::memory_order_relaxed); }
    double speed() const { return speed_.load(std::memory_order_relaxed); }
    int serial() const { return serial_.load(std::memory_order_relaxed); }
    bool paused() const { return paused_.load(std::memory_order_relaxed); }
    void setPaused(bool p) { paused_.store(p, std::memory_order_relaxed); }

private:
    // No lock: each word is atomic; readers on other threads re-read on every decision.
    std::atomic<double> pts_{NAN};
    std::atomic<double> drift_{NAN};
    std::atomic<double> last_updated_{0.0};
    std::atomic<double> speed_{1.0};
    std::atomic<int> serial_{-1};
    std::atomic<bool> paused_{false};
    const std::atomic<int>* queue_serial_ = nullptr;
};

}  // namespace player
