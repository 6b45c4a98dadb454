#include "player/media_clock.h"

#include "player/player_rules.h"

extern "C" {
#include <libavutil/time.h>
}

namespace player {

double wallSeconds() {
    return av_gettime_relative() / 1000000.0;
}

void MediaClock::init(const std::atomic<int>* queue_serial) {
    speed_.store(1.0);
    paused_.store(false);
    queue_serial_ = queue_serial ? queue_serial : &serial_;
    setAt(NAN, -1, wallSeconds());
}

double MediaClock::getAt(double now) const {
    const std::atomic<int>* ref = queue_serial_ ? queue_serial_ : &serial_;
    if (ref->load(std::memory_order_relaxed) != serial_.load(std::memory_order_relaxed)) {
        return NAN;
    }
    if (paused_.load(std::memory_order_relaxed)) {
        return pts_.load(std::memory_order_relaxed);
    }
    const double s = speed_.load(std::memory_order_relaxed);
    return drift_.load(std::memory_order_relaxed) + now -
           (now - last_updated_.load(std::memory_order_relaxed)) * (1.0 - s);
}

void MediaClock::setAt(double pts, int serial, double time) {
    pts_.store(pts, std::memory_order_relaxed);
    last_updated_.store(time, std::memory_order_relaxed);
    drift_.store(pts - time, std::memory_order_relaxed);
    serial_.store(serial, std::memory_order_relaxed);
}

void MediaClock::setSpeed(double speed) {
    set(get(), serial());
    speed_.store(speed, std::memory_order_relaxed);
}

void MediaClock::syncToSlave(const MediaClock& slave) {
    const double c = get();
    const double s = slave.get();
    if (!std::isnan(s) && (std::isnan(c) || std::fabs(c - s) > kNoSyncThreshold)) {
        set(s, slave.serial());
    }
}

}  // namespace player
