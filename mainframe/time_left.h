#pragma once
// Time-remaining estimates from progress readings (one per running task; the queue
// feeds its overall progress into one of its own). Plain arithmetic on the caller's
// clock, so tests drive it.

#include <chrono>
#include <optional>
#include <string>

namespace mainframe {

using EtaClock = std::chrono::steady_clock;

class TimeLeftEstimator {
public:
    // An estimate shows only after this much progress time: the first readings of a
    // job (probe, seek, encoder start-up) say little about its pace.
    static constexpr std::chrono::seconds kSettle{3};

    // Forgets all readings (a retry starts over).
    void reset();
    // A progress reading in percent (0..100) at `now`. A reading lower than the last
    // one (a restart) starts over.
    void update(double percent, EtaClock::time_point now);
    // Whole seconds left, or nothing while unknown (too early, no progress yet, done).
    std::optional<int> secondsLeft(EtaClock::time_point now) const;
    // Percent per second since the first reading that showed progress; 0 when unknown.
    double pace() const;

private:
    bool started_ = false;
    double first_percent_ = 0, last_percent_ = 0;
    EtaClock::time_point first_, last_;
};

// "4:05" or "1:04:05": the clock text the remaining-time label shows.
std::string clockText(int seconds);

}  // namespace mainframe
