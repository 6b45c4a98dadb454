// The pure decisions of the player: buffer sizes, device fallbacks, picture
// placement, picture timing, clock speed, audio correction and texture formats.
#include <gtest/gtest.h>

#include <cmath>
#include <utility>
#include <vector>

#include "player/player_rules.h"
#include "player/texture_format.h"

using namespace player;

TEST(AudioBuffer, AboutThirtyCallbacksASecondAtLeast512Samples) {
    EXPECT_EQ(audioBufferSamples(44100), 2048);
    EXPECT_EQ(audioBufferSamples(48000), 2048);
    EXPECT_EQ(audioBufferSamples(8000), 512);
    EXPECT_EQ(audioBufferSamples(192000), 8192);
}

namespace {
std::vector<std::pair<int, int>> planOf(int channels, int rate) {
    AudioOpenPlan plan(channels, rate);
    std::vector<std::pair<int, int>> out{{plan.channels(), plan.rate()}};
    while (plan.advance()) {
        out.emplace_back(plan.channels(), plan.rate());
    }
    return out;
}
}  // namespace

TEST(AudioOpenPlan, FewerChannelsFirstThenLowerRatesFromTheWantedChannels) {
    using V = std::vector<std::pair<int, int>>;
    EXPECT_EQ(
        planOf(6, 48000),
        (V{{6, 48000}, {4, 48000}, {2, 48000}, {1, 48000}, {6, 44100}, {4, 44100}, {2, 44100}, {1, 44100}}));
    // Nothing in the rate list is below 44100 Hz.
    EXPECT_EQ(planOf(2, 44100), (V{{2, 44100}, {1, 44100}}));
    EXPECT_EQ(planOf(2, 96000), (V{{2, 96000}, {1, 96000}, {2, 48000}, {1, 48000}, {2, 44100}, {1, 44100}}));
    EXPECT_EQ(planOf(8, 48000).at(1), (std::pair{6, 48000}));
}

TEST(DisplayRectangle, FitsKeepsAspectAndCentres) {
    EXPECT_EQ(displayRectangle(0, 0, 960, 720, 1920, 1080, {1, 1}), (Rect{0, 90, 960, 540}));
    // Undefined sample aspect counts as square.
    EXPECT_EQ(displayRectangle(0, 0, 960, 720, 1920, 1080, {0, 1}), (Rect{0, 90, 960, 540}));
    // Pillar box for a tall picture, with the area's offset.
    EXPECT_EQ(displayRectangle(10, 20, 1280, 720, 720, 1280, {1, 1}),
              (Rect{448, 20, 404, 720}));  // 405 made even
    // Anamorphic 2:1 pixels.
    EXPECT_EQ(displayRectangle(0, 0, 1280, 720, 640, 360, {2, 1}), (Rect{0, 180, 1280, 360}));
    // Never smaller than one pixel.
    const Rect tiny = displayRectangle(0, 0, 1, 1, 1920, 1080, {1, 1});
    EXPECT_GE(tiny.w, 1);
    EXPECT_GE(tiny.h, 1);
}

TEST(DefaultDisplaySize, NaturalHeightWithAspectApplied) {
    int w = 0, h = 0;
    defaultDisplaySize(0, 0, 720, 576, {16, 15}, &w, &h);
    EXPECT_EQ(w, 768);
    EXPECT_EQ(h, 576);
    defaultDisplaySize(0, 0, 1920, 1080, {1, 1}, &w, &h);
    EXPECT_EQ(w, 1920);
    EXPECT_EQ(h, 1080);
    defaultDisplaySize(800, 600, 1920, 1080, {1, 1}, &w, &h);  // a known screen limits it
    EXPECT_EQ(w, 800);
    EXPECT_EQ(h, 450);
}

TEST(PictureTiming, DurationFromNextPtsWithFallbacks) {
    EXPECT_DOUBLE_EQ(pictureDuration(1, 1.0, 0.04, 1, 1.04, 3600.0), 1.04 - 1.0);
    EXPECT_DOUBLE_EQ(pictureDuration(1, 1.0, 0.04, 1, NAN, 3600.0), 0.04);
    EXPECT_DOUBLE_EQ(pictureDuration(1, 1.0, 0.04, 1, 0.5, 3600.0), 0.04);
    EXPECT_DOUBLE_EQ(pictureDuration(1, 1.0, 0.04, 1, 20.0, 10.0), 0.04);
    EXPECT_DOUBLE_EQ(pictureDuration(1, 1.0, 0.04, 2, 1.04, 3600.0), 0.0);  // after a seek: show at once
}

TEST(PictureTiming, TargetDelayFollowsTheMaster) {
    // Video 0.2 s behind the audio master with 0.04 s frames: show at once.
    EXPECT_DOUBLE_EQ(targetDelay(0.04, -0.2, 3600.0), 0.0);
    // Slightly behind, within the threshold: unchanged.
    EXPECT_DOUBLE_EQ(targetDelay(0.04, -0.03, 3600.0), 0.04);
    // Ahead: short frames are doubled, long ones lengthened by the error.
    EXPECT_DOUBLE_EQ(targetDelay(0.04, 0.05, 3600.0), 0.08);
    EXPECT_DOUBLE_EQ(targetDelay(0.2, 0.15, 3600.0), 0.35);
    // Behind by more than the frame: shortened by the error, not below 0.
    EXPECT_DOUBLE_EQ(targetDelay(0.2, -0.15, 3600.0), 0.05);
    // Unknown or absurd differences leave the delay alone.
    EXPECT_DOUBLE_EQ(targetDelay(0.04, NAN, 3600.0), 0.04);
    EXPECT_DOUBLE_EQ(targetDelay(0.04, -20.0, 10.0), 0.04);
}

TEST(ExternalClock, SpeedFollowsQueueLevelsWithinItsBand) {
    EXPECT_NEAR(externalClockSpeed(1.0, true, 2, true, 50), 0.999, 1e-12);
    EXPECT_NEAR(externalClockSpeed(0.900, true, 1, false, 0), 0.900, 1e-12);
    EXPECT_NEAR(externalClockSpeed(1.0, true, 11, true, 11), 1.001, 1e-12);
    EXPECT_NEAR(externalClockSpeed(1.010, false, 0, true, 11), 1.010, 1e-12);
    // In between: back towards 1.0 by one step.
    EXPECT_NEAR(externalClockSpeed(1.005, true, 5, true, 5), 1.004, 1e-12);
    EXPECT_NEAR(externalClockSpeed(0.95, true, 5, true, 5), 0.951, 1e-12);
    EXPECT_EQ(externalClockSpeed(1.0, true, 5, true, 5), 1.0);
}

TEST(AudioSync, CorrectsOnlyAfterTwentyDifferencesAndAtMostTenPercent) {
    AudioSyncAverager avg;
    avg.reset(0.02);
    for (int i = 0; i < 20; ++i) {
        EXPECT_EQ(avg.wantedSamples(1024, 0.5, 44100), 1024) << i;
    }
    EXPECT_EQ(avg.wantedSamples(1024, 0.5, 44100), 1024 * 110 / 100);
    EXPECT_EQ(avg.wantedSamples(1024, -0.5, 44100), 1024 * 90 / 100);
    // A small steady difference below the threshold changes nothing.
    avg.reset(0.02);
    for (int i = 0; i < 40; ++i) {
        EXPECT_EQ(avg.wantedSamples(1024, 0.001, 44100), 1024);
    }
    // A jump beyond ten seconds starts the averaging over.
    EXPECT_EQ(avg.wantedSamples(1024, 11.0, 44100), 1024);
    EXPECT_EQ(avg.wantedSamples(1024, 0.5, 44100), 1024);
}

TEST(TextureFormats, TableFormatsNeedNoConversionAlphaBlends) {
    EXPECT_EQ(textureFormatFor(AV_PIX_FMT_YUV420P).sdl_format, static_cast<Uint32>(SDL_PIXELFORMAT_IYUV));
    EXPECT_EQ(textureFormatFor(AV_PIX_FMT_YUYV422).sdl_format, static_cast<Uint32>(SDL_PIXELFORMAT_YUY2));
    EXPECT_EQ(textureFormatFor(AV_PIX_FMT_BGR0).sdl_format, static_cast<Uint32>(SDL_PIXELFORMAT_RGB888));
    const TextureFormat bgra = textureFormatFor(AV_PIX_FMT_BGRA);
    EXPECT_EQ(bgra.sdl_format, static_cast<Uint32>(SDL_PIXELFORMAT_ARGB8888));
    EXPECT_EQ(bgra.blend, SDL_BLENDMODE_BLEND);
    EXPECT_EQ(textureFormatFor(AV_PIX_FMT_RGB24).blend, SDL_BLENDMODE_NONE);
    EXPECT_EQ(textureFormatFor(AV_PIX_FMT_YUV420P10LE).sdl_format,
              static_cast<Uint32>(SDL_PIXELFORMAT_UNKNOWN));
    EXPECT_EQ(textureFormatFor(AV_PIX_FMT_NV12).sdl_format, static_cast<Uint32>(SDL_PIXELFORMAT_UNKNOWN));
}
