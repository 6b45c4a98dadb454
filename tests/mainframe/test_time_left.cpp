// Remaining-time estimates from progress readings on a clock the test drives.

#include <gtest/gtest.h>

#include "mainframe/time_left.h"

namespace {

using mainframe::EtaClock;
using mainframe::TimeLeftEstimator;
using std::chrono::seconds;

TEST(TimeLeft, UnknownUntilThreeSecondsOfProgressThenFromThePace) {
    TimeLeftEstimator eta;
    const auto t0 = EtaClock::now();
    EXPECT_FALSE(eta.secondsLeft(t0));
    eta.update(0, t0);  // the job waits for its probe: no pace yet
    eta.update(0, t0 + seconds(20));
    EXPECT_FALSE(eta.secondsLeft(t0 + seconds(20)));
    eta.update(10, t0 + seconds(20));
    eta.update(15, t0 + seconds(22));
    EXPECT_FALSE(eta.secondsLeft(t0 + seconds(22)));
    eta.update(25, t0 + seconds(26));  // 15 % in 6 s: 2.5 %/s, 75 % to go
    ASSERT_TRUE(eta.secondsLeft(t0 + seconds(26)));
    EXPECT_EQ(*eta.secondsLeft(t0 + seconds(26)), 30);
    // Between readings the estimate counts down, never below zero.
    EXPECT_EQ(*eta.secondsLeft(t0 + seconds(36)), 20);
    EXPECT_EQ(*eta.secondsLeft(t0 + seconds(90)), 0);
    eta.update(100, t0 + seconds(56));
    EXPECT_FALSE(eta.secondsLeft(t0 + seconds(56)));
}

TEST(TimeLeft, AFallingReadingStartsOver) {
    TimeLeftEstimator eta;
    const auto t0 = EtaClock::now();
    eta.update(10, t0);
    eta.update(50, t0 + seconds(8));
    ASSERT_TRUE(eta.secondsLeft(t0 + seconds(8)));
    eta.update(5, t0 + seconds(9));  // retried: the old pace no longer holds
    EXPECT_FALSE(eta.secondsLeft(t0 + seconds(9)));
    EXPECT_EQ(eta.pace(), 0);
}

TEST(TimeLeft, ClockTexts) {
    EXPECT_EQ(mainframe::clockText(0), "0:00");
    EXPECT_EQ(mainframe::clockText(245), "4:05");
    EXPECT_EQ(mainframe::clockText(3845), "1:04:05");
    EXPECT_EQ(mainframe::clockText(-3), "0:00");
}

}  // namespace
