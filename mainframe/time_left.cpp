#include "mainframe/time_left.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace mainframe {

void TimeLeftEstimator::reset() {
    *this = TimeLeftEstimator();
}

void TimeLeftEstimator::update(double percent, EtaClock::time_point now) {
    if (percent < last_percent_)
        reset();
    last_percent_ = percent;
    last_ = now;
    // The clock starts at the first reading with progress: the wait before it (the
    // probe, a special source's pre-step) is no part of the conversion's pace.
    if (!started_ && percent > 0) {
        started_ = true;
        first_percent_ = percent;
        first_ = now;
    }
}

double TimeLeftEstimator::pace() const {
    if (!started_ || last_percent_ <= first_percent_)
        return 0;
    const double seconds = std::chrono::duration<double>(last_ - first_).count();
    return seconds > 0 ? (last_percent_ - first_percent_) / seconds : 0;
}

std::optional<int> TimeLeftEstimator::secondsLeft(EtaClock::time_point now) const {
    if (!started_ || last_percent_ >= 100 || now - first_ < kSettle)
        return std::nullopt;
    const double rate = pace();
    if (rate <= 0)
        return std::nullopt;
    // Time since the last reading has already passed off the estimate.
    const double since = std::chrono::duration<double>(now - last_).count();
    const double left = (100 - last_percent_) / rate - since;
    return static_cast<int>(std::lround(std::max(left, 0.0)));
}

std::string clockText(int seconds) {
    if (seconds < 0)
        seconds = 0;
    char buf[32];
    if (seconds >= 3600) {
        std::snprintf(buf, sizeof buf, "%d:%02d:%02d", seconds / 3600, seconds / 60 % 60, seconds % 60);
    } else {
        std::snprintf(buf, sizeof buf, "%d:%02d", seconds / 60, seconds % 60);
    }
    return buf;
}

}  // namespace mainframe
