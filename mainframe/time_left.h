#pragma once
// Time-remaining estimates from progress readings: one per running task, and one for
// the whole queue (the running task plus the media still waiting, at the pace the
// running task keeps). Plain arithmetic on the caller's clock, so tests drive it.

#include <chrono>
#include <optional>
#include <string>
#include <vector>

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
    void update(int percent, EtaClock::time_point now);
    // Whole seconds left, or nothing while unknown (too early, no progress yet, done).
    std::optional<int> secondsLeft(EtaClock::time_point now) const;
    // Percent per second since the first reading that showed progress; 0 when unknown.
    double pace() const;
    int percent() const { return last_percent_; }

private:
    bool started_ = false;
    int first_percent_ = 0, last_percent_ = 0;
    EtaClock::time_point first_, last_;
};

// The queue's remaining time: the running task's estimate plus the seconds of media
// still waiting, converted at the running task's pace (its media seconds per second).
// Nothing while the running task's estimate is unknown.
std::optional<int> queueSecondsLeft(const TimeLeftEstimator& running, int running_media_seconds,
                                    const std::vector<int>& waiting_media_seconds, EtaClock::time_point now);

// "4:05" or "1:04:05": the clock text the remaining-time label shows.
std::string clockText(int seconds);

}  // namespace mainframe
