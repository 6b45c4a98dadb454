// The player core end to end with SDL's dummy video and audio drivers: playback in
// sync, pause, seek, end of file, files it cannot play, live volume and the audio
// device fallbacks, on generated clips and on the shared media corpus.
#include <gtest/gtest.h>

#include <SDL.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <functional>
#include <memory>
#include <thread>

#include "player/player.h"
#include "running_player.h"
#include "test_support.h"

using namespace player;
using namespace player_test;
using namespace std::chrono_literals;
namespace fs = std::filesystem;

namespace {

class PlaybackTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        dir_ = new testsupport::TempDir;
        const std::vector<std::string> h264{"-c:v", "libx264",  "-preset", "ultrafast", "-g",
                                            "25",   "-pix_fmt", "yuv420p", "-c:a",      "aac"};
        ASSERT_TRUE(testsupport::makeClip(*dir_ / "ten.mp4", 10, true, true, h264));
        ASSERT_TRUE(testsupport::makeClip(*dir_ / "one.mp4", 1, true, true, h264));
    }
    static void TearDownTestSuite() {
        delete dir_;
        dir_ = nullptr;
    }
    static fs::path file(const std::string& name) { return *dir_ / name; }
    static testsupport::TempDir* dir_;
};
testsupport::TempDir* PlaybackTest::dir_ = nullptr;

}  // namespace

TEST_F(PlaybackTest, PlaysInSyncAndEndsEveryThreadWithinOneSecondOfQuit) {
    RunningPlayer p(file("ten.mp4"));
    ASSERT_TRUE(waitUntil([&] { return p.counters().shown >= 40; }, 5s));
    const PlayerCounters c = p.counters();
    EXPECT_GT(p.position(), 1.0);
    EXPECT_GT(c.av_samples, 0);
    if (!kSanitized) {  // timing holds only at full speed
        EXPECT_LE(c.late_drops + c.early_drops, c.shown / 10);
        EXPECT_LT(c.mean_abs_av_diff, 0.05);
    }
    EXPECT_EQ(c.seeks, 0);  // start second 0 opens without seeking
    EXPECT_LT(p.quit(), kCloseLimitS);
    EXPECT_EQ(p.result(), 0);
    EXPECT_FALSE(p.shared.running.load());
}

TEST_F(PlaybackTest, PauseHoldsPictureAndClocksAndPauseAgainResumes) {
    RunningPlayer p(file("ten.mp4"));
    ASSERT_TRUE(waitUntil([&] { return p.position() > 0.5; }, 5s));
    p.shared.send(PlayerCommand::PauseRequested);
    ASSERT_TRUE(waitUntil([&] { return p.shared.current() == PlayerCommand::Paused; }, 2s));
    std::this_thread::sleep_for(100ms);  // a picture due at the pause may still land
    const PlayerCounters held = p.counters();
    const double pos = p.position();
    // An exposure while paused redraws without uploading the picture again.
    SDL_Event expose{};
    expose.type = SDL_WINDOWEVENT;
    expose.window.event = SDL_WINDOWEVENT_EXPOSED;
    SDL_PushEvent(&expose);
    std::this_thread::sleep_for(500ms);
    EXPECT_EQ(p.position(), pos);
    EXPECT_EQ(p.counters().shown, held.shown);
    EXPECT_EQ(p.counters().uploads, held.uploads);

    // Pause requested while paused is a toggle: playback goes on from where it stood.
    p.shared.send(PlayerCommand::PauseRequested);
    ASSERT_TRUE(waitUntil([&] { return p.position() > pos + 0.3; }, 3s));
    EXPECT_LT(p.position(), pos + 1.5);

    p.shared.send(PlayerCommand::PauseRequested);
    ASSERT_TRUE(waitUntil([&] { return p.shared.current() == PlayerCommand::Paused; }, 2s));
    p.shared.send(PlayerCommand::ResumeRequested);
    ASSERT_TRUE(waitUntil([&] { return p.shared.current() == PlayerCommand::Playing; }, 2s));
    const double resumed = p.position();
    ASSERT_TRUE(waitUntil([&] { return p.position() > resumed + 0.3; }, 3s));
    EXPECT_LT(p.quit(), kCloseLimitS);
}

TEST_F(PlaybackTest, SeekLandsOnTheRequestedSecondAndPlaysOnInSync) {
    RunningPlayer p(file("ten.mp4"));
    ASSERT_TRUE(waitUntil([&] { return p.counters().shown > 5; }, 5s));
    p.shared.seekTo(6);
    ASSERT_TRUE(waitUntil([&] { return p.counters().seeks == 1 && p.position() >= 6.0; }, 3s));
    EXPECT_LT(p.position(), 6.5);  // the first picture shown after the seek
    EXPECT_EQ(p.shared.current(), PlayerCommand::Playing);
    const std::int64_t shown = p.counters().shown;
    ASSERT_TRUE(waitUntil([&] { return p.counters().shown >= shown + 15; }, 3s));
    EXPECT_GT(p.position(), 6.3);
    EXPECT_LT(std::abs(p.counters().last_av_diff), 0.1);

    // Back again, before the start of the previous place.
    p.shared.seekTo(2);
    ASSERT_TRUE(waitUntil([&] { return p.counters().seeks == 2 && p.position() < 3.0; }, 3s));
    EXPECT_GE(p.position(), 2.0);
}

TEST_F(PlaybackTest, TwoSeeksBeforeTheNextTurnUseTheLastTarget) {
    RunningPlayer p(file("ten.mp4"));
    ASSERT_TRUE(waitUntil([&] { return p.counters().shown > 2; }, 5s));
    p.shared.seekTo(3);
    p.shared.seekTo(7);
    ASSERT_TRUE(waitUntil([&] { return p.position() >= 7.0; }, 3s));
    EXPECT_LT(p.position(), 7.5);
    std::this_thread::sleep_for(200ms);
    EXPECT_GE(p.position(), 7.0);
}

TEST_F(PlaybackTest, StartSecondSeeksOnceBeforeTheFirstPicture) {
    RunningPlayer p(file("ten.mp4"), 5);
    ASSERT_TRUE(waitUntil([&] { return p.counters().shown >= 1; }, 5s));
    EXPECT_GE(p.position(), 5.0);
    EXPECT_LT(p.position(), 5.5);
    EXPECT_EQ(p.counters().seeks, 1);
}

TEST_F(PlaybackTest, SeekWhilePausedShowsOnePictureAtTheNewPlaceAndStaysPaused) {
    RunningPlayer p(file("ten.mp4"));
    ASSERT_TRUE(waitUntil([&] { return p.position() > 0.3; }, 5s));
    p.shared.send(PlayerCommand::PauseRequested);
    ASSERT_TRUE(waitUntil([&] { return p.shared.current() == PlayerCommand::Paused; }, 2s));
    std::this_thread::sleep_for(100ms);
    const std::int64_t shown = p.counters().shown;
    p.shared.seekTo(4);
    ASSERT_TRUE(waitUntil([&] { return p.position() >= 4.0; }, 3s));
    std::this_thread::sleep_for(400ms);
    EXPECT_LT(p.position(), 4.5);
    EXPECT_EQ(p.counters().shown, shown + 1);
    EXPECT_EQ(p.shared.current(), PlayerCommand::Playing);  // acknowledged, yet still paused
    // The next pause request toggles: playback resumes from the new place.
    p.shared.send(PlayerCommand::PauseRequested);
    ASSERT_TRUE(waitUntil([&] { return p.position() > 4.5; }, 3s));
}

TEST_F(PlaybackTest, EndOfFileKeepsTheLastPictureAndDoesNotExit) {
    RunningPlayer p(file("one.mp4"));
    // The last picture of the one-second clip is at 0.96 s.
    ASSERT_TRUE(waitUntil([&] { return p.counters().eof_markers > 0 && p.position() > 0.9; }, 10s));
    std::this_thread::sleep_for(300ms);
    const PlayerCounters c = p.counters();
    EXPECT_EQ(c.eof_markers, 2);  // one per stream, once
    EXPECT_GE(c.shown, 10);
    std::this_thread::sleep_for(500ms);
    EXPECT_FALSE(p.finished());
    EXPECT_EQ(p.counters().shown, c.shown);
    EXPECT_EQ(p.counters().eof_markers, 2);
    // A seek after the end plays again.
    p.shared.seekTo(0);
    ASSERT_TRUE(waitUntil([&] { return p.counters().shown > c.shown + 3; }, 3s));
    EXPECT_LT(p.quit(), kCloseLimitS);
}

TEST_F(PlaybackTest, SubtitleOnlyFileFailsToOpenButTheLoopRunsUntilQuit) {
    const fs::path srt = file("only.srt");
    testsupport::writeFile(
        srt, "1\n00:00:00,000 --> 00:00:02,000\nHello\n\n2\n00:00:02,500 --> 00:00:04,000\nWorld\n");
    const fs::path mkv = file("only_subtitles.mkv");
    ASSERT_TRUE(ffmpeg({"-i", srt.string(), "-c:s", "srt", mkv.string()}));
    RunningPlayer p(mkv);
    std::this_thread::sleep_for(500ms);
    EXPECT_FALSE(p.finished());
    EXPECT_EQ(p.counters().shown, 0);
    EXPECT_EQ(p.position(), 0.0);
    EXPECT_LT(p.quit(), kCloseLimitS);
    EXPECT_EQ(p.result(), 0);
}

TEST_F(PlaybackTest, LiveVolumeFullIsBitExactZeroIsSilentAndPauseIsSilent) {
    // 44100 Hz stereo 16-bit PCM matches the device format: no conversion on the way.
    const fs::path wav = file("tone.wav");
    ASSERT_TRUE(ffmpeg({"-f", "lavfi", "-i", "sine=frequency=300:sample_rate=44100:duration=4", "-ac", "2",
                        "-c:a", "pcm_s16le", wav.string()}));
    const std::string pcm_file = testsupport::readFile(wav);
    const std::size_t data = pcm_file.find("data") + 8;
    ASSERT_GT(pcm_file.size(), data + 44100);
    const std::string pcm = pcm_file.substr(data);

    NullAudioDevice device({}, true);
    RunningPlayer p(wav, 0, &device);
    ASSERT_TRUE(waitUntil([&] { return device.callbacks() >= 8; }, 5s));
    std::vector<Uint8> out = device.takeOutput();
    // Skip leading silence, then the output must be a stretch of the file's samples.
    auto first = std::find_if(out.begin(), out.end(), [](Uint8 b) { return b != 0; });
    const std::size_t offset = (first - out.begin()) & ~std::size_t{3};
    ASSERT_GT(out.size(), offset + 8192);
    const std::string played(reinterpret_cast<const char*>(out.data()) + offset, 8192);
    const std::size_t at = pcm.find(played.substr(0, 64));
    ASSERT_NE(at, std::string::npos);
    EXPECT_EQ(pcm.compare(at, played.size(), played), 0);

    // After a change settles, the next 0.3 s of output must be all zero.
    const auto silentFromNow = [&] {
        std::this_thread::sleep_for(150ms);
        device.takeOutput();
        std::this_thread::sleep_for(300ms);
        const std::vector<Uint8> later = device.takeOutput();
        return !later.empty() && std::all_of(later.begin(), later.end(), [](Uint8 b) { return b == 0; });
    };
    p.shared.live_volume.store(0);
    EXPECT_TRUE(silentFromNow());

    p.shared.live_volume.store(128);
    p.shared.send(PlayerCommand::PauseRequested);
    ASSERT_TRUE(waitUntil([&] { return p.shared.current() == PlayerCommand::Paused; }, 2s));
    EXPECT_TRUE(silentFromNow());
}

TEST_F(PlaybackTest, RefusedChannelCountsFallBackInOrderAndAudioStillPlays) {
    const fs::path wav = file("six.wav");
    ASSERT_TRUE(ffmpeg({"-f", "lavfi", "-i", "sine=frequency=300:sample_rate=48000:duration=2", "-af",
                        "pan=5.1|c0=c0|c1=c0|c2=c0|c3=c0|c4=c0|c5=c0", "-c:a", "pcm_s16le", wav.string()}));
    NullAudioDevice device([](int channels, int) { return channels <= 1; });
    RunningPlayer p(wav, 0, &device);
    ASSERT_TRUE(waitUntil([&] { return p.position() > 0.3; }, 5s));
    using V = std::vector<std::pair<int, int>>;
    EXPECT_EQ(device.attempts(), (V{{6, 48000}, {4, 48000}, {2, 48000}, {1, 48000}}));
}

// Real files of every kind the dialog may be handed, including broken ones: each is
// played briefly and closed; nothing may crash, hang or leak.
TEST_F(PlaybackTest, CorpusFilesPlayOrFailQuietlyAndCloseQuickly) {
    if (!testsupport::haveMediaCorpus()) {
        GTEST_SKIP() << "media corpus not available";
    }
    const fs::path bmp = file("bmp.avi");  // BGR24 pictures: a table format without YUV
    ASSERT_TRUE(ffmpeg({"-f", "lavfi", "-i", "testsrc2=size=160x120:rate=25:duration=1", "-c:v", "bmp",
                        "-pix_fmt", "bgr24", bmp.string()}));
    const std::vector<fs::path> files{
        testsupport::mediaFile("mp4_h264_aac_1080x720_reference.mp4"),
        testsupport::mediaFile("mkv_h264_ac3_pgs_bitmap_subtitle.mkv"),
        testsupport::mediaFile("mkv_h264_ac3_vobsub_subtitle.mkv"),
        testsupport::mediaFile("mp4_audio_only_aac.mp4"),
        testsupport::mediaFile("webm_vp9_alpha_transparent.webm"),
        testsupport::mediaFile("mp4_hevc10_hlg_hdr.mp4"),
        testsupport::mediaFile("flac_with_png_cover.flac"),
        testsupport::mediaFile("mp4_anamorphic_sar_2x1.mp4"),
        testsupport::mediaFile("wav_extensible_float32_5.1.wav"),
        testsupport::mediaFile("mp4_vvc_h266_unsupported_codec.mp4"),
        testsupport::mediaFile("mp4_corrupt_malformed_free_box_no_moov.mp4"),
        testsupport::mediaFile("mp4_no_streams_262_bytes.mp4"),
        testsupport::mediaFile("mp3_zero_bytes.mp3"),
        testsupport::mediaFile("mp4_truncated_2000_bytes.mp4"),
        bmp,
    };
    for (const fs::path& f : files) {
        SCOPED_TRACE(f.filename().string());
        RunningPlayer p(f);
        std::this_thread::sleep_for(400ms);
        EXPECT_FALSE(p.finished());
        EXPECT_LT(p.quit(), kCloseLimitS);
        EXPECT_EQ(p.result(), 0);
    }
}
