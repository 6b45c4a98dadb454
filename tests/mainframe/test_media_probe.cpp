#include "mainframe/media_probe.h"

#include "mainframe/probe_queue.h"
#include "mainframe/target_resolution.h"
#include "message_pump.h"
#include "platform/strings.h"
#include "platform/window_messages.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <vector>

namespace {

namespace fs = std::filesystem;
using convert::ConvertMode;
using convert::ConvertTask;
using testsupport::mediaFile;

TEST(MediaProbe, RealMediaAgreesWithFfprobe) {
    if (!testsupport::haveMediaCorpus())
        GTEST_SKIP() << "no media corpus";
    {
        ConvertTask t(mediaFile("mov_iphone6_portrait_rot90_mebx_gps.mov").string(), ConvertMode::Video);
        ASSERT_TRUE(mainframe::ProbeMedia(t));
        EXPECT_EQ(t.rotation, 90);
        EXPECT_EQ(t.source_resolution, "568x320");
        EXPECT_EQ(t.crop_width, 568);
        EXPECT_EQ(t.duration, 4);
        EXPECT_EQ(t.clip_end, 4);
        EXPECT_EQ(t.duration_text, "00:00:04");
        EXPECT_EQ(t.channels, 1);
        EXPECT_EQ(t.has_data_stream, 1);
        EXPECT_NEAR(t.fps, 29.988, 0.01);
        EXPECT_EQ(t.cover_seek, 0);
    }
    {
        ConvertTask t(mediaFile("mp4_android_phone_vfr_rot180_gps.mp4").string(), ConvertMode::Video);
        ASSERT_TRUE(mainframe::ProbeMedia(t));
        EXPECT_EQ(t.rotation, 180);
    }
    {
        ConvertTask t(mediaFile("mp4_h264_1080p60_aac_5.1.mp4").string(), ConvertMode::Video);
        ASSERT_TRUE(mainframe::ProbeMedia(t));
        EXPECT_EQ(t.channels, 6);
        EXPECT_EQ(t.rotation, 0);
        EXPECT_EQ(t.has_data_stream, 0);
        EXPECT_EQ(t.source_resolution, "1920x1080");
    }
    {
        ConvertTask t(mediaFile("mp4_two_audio_tracks_ac3_5.1_and_aac.mp4").string(), ConvertMode::Audio2);
        EXPECT_FALSE(mainframe::ProbeMedia(t));  // no video
        EXPECT_EQ(t.no_video, 1);
        EXPECT_EQ(t.channels, 2);  // the second audio stream wins
    }
    {
        ConvertTask t(mediaFile("mp3_id3v2_tags_jpeg_cover_1400px.mp3").string(), ConvertMode::Audio2);
        EXPECT_TRUE(mainframe::ProbeMedia(t));  // the picture counts as video
        EXPECT_EQ(t.no_video, 0);
        EXPECT_TRUE(t.attached_picture);
    }
    {
        // No container duration: not reported as probed, but the streams are read.
        ConvertTask t(mediaFile("webm_chrome_vp9_opus_no_duration.webm").string(), ConvertMode::Video);
        EXPECT_FALSE(mainframe::ProbeMedia(t));
        EXPECT_EQ(t.source_resolution, "1280x720");
        EXPECT_EQ(t.duration, 0);
        EXPECT_EQ(t.no_video, 0);
    }
}

// The facts come from the stream a player shows, not from a preview or thumbnail
// track that happens to come last, nor from an embedded picture.
TEST(MediaProbe, FactsComeFromTheMainVideoStream) {
    testsupport::TempDir dir;
    auto lavfi = [](const char* source) { return std::vector<std::string>{"-f", "lavfi", "-i", source}; };
    // 0: a 1 fps thumbnail track, 1: the 25 fps main track (default), 2: another thumbnail.
    std::vector<std::string> argv = {"ffmpeg", "-v", "error", "-y"};
    for (const char* source :
         {"testsrc2=s=32x24:r=1:d=2", "testsrc2=s=64x48:r=25:d=2", "testsrc2=s=16x16:r=2:d=2"})
        for (const auto& a : lavfi(source))
            argv.push_back(a);
    for (const char* a : {"-map", "0", "-map", "1", "-map", "2", "-c:v", "mpeg4", "-disposition:v:0", "0",
                          "-disposition:v:1", "default", "-disposition:v:2", "0"})
        argv.push_back(a);
    argv.push_back((dir / "tracks.mp4").string());
    ASSERT_EQ(testsupport::runTool(argv).exit_code, 0);
    ConvertTask t((dir / "tracks.mp4").string(), ConvertMode::Video);
    ASSERT_TRUE(mainframe::ProbeMedia(t));
    EXPECT_EQ(t.main_video_stream, 1);
    EXPECT_EQ(t.source_resolution, "64x48");
    EXPECT_EQ(t.crop_width, 64);
    EXPECT_NEAR(t.fps, 25.0, 0.01);

    // An embedded picture before the video is not the main stream.
    ASSERT_TRUE(testsupport::makeClip(dir / "pic.png", 0.04, true, false, {"-frames:v", "1", "-s", "20x10"}));
    ASSERT_TRUE(testsupport::makeClip(dir / "clip.mp4", 1, true, false, {"-s", "48x32", "-r", "10"}));
    ASSERT_EQ(
        testsupport::runTool({"ffmpeg", "-v", "error", "-y", "-i", (dir / "pic.png").string(), "-i",
                              (dir / "clip.mp4").string(), "-map", "0", "-map", "1", "-c", "copy", "-c:v:0",
                              "png", "-disposition:v:0", "attached_pic", (dir / "with_pic.mkv").string()})
            .exit_code,
        0);
    ConvertTask p((dir / "with_pic.mkv").string(), ConvertMode::Video);
    ASSERT_TRUE(mainframe::ProbeMedia(p));
    EXPECT_EQ(p.main_video_stream, 1);
    EXPECT_EQ(p.source_resolution, "48x32");
    EXPECT_FALSE(p.attached_picture);

    if (testsupport::haveMediaCorpus()) {
        // A phone's motion photo: 53 frames in 1.77 s, then a 2-frame still track.
        ConvertTask m(mediaFile("mp4_android_motionphoto_2_hevc_video_tracks_mett.mp4").string(),
                      ConvertMode::Video);
        ASSERT_TRUE(mainframe::ProbeMedia(m));
        EXPECT_EQ(m.main_video_stream, 0);
        EXPECT_EQ(m.source_resolution, "1440x1080");
        EXPECT_NEAR(m.fps, 29.88, 0.01);
        ConvertTask mp3(mediaFile("mp3_id3v2_tags_jpeg_cover_1400px.mp3").string(), ConvertMode::Audio2);
        ASSERT_TRUE(mainframe::ProbeMedia(mp3));
        EXPECT_GE(mp3.main_video_stream, 0);  // only a picture: it is the video
    }
    ConvertTask audio((dir / "clip.mp4").string(), ConvertMode::Video);
    EXPECT_EQ(audio.main_video_stream, -1);  // nothing probed yet
}

TEST(MediaProbe, UnreadableFilesLeaveTheTaskUntouched) {
    testsupport::TempDir dir;
    testsupport::writeFile(dir / "zero.mp4", "");
    testsupport::writeFile(dir / "junk.mp4", std::string(3000, '\x07'));
    for (const char* name : {"zero.mp4", "junk.mp4", "missing.mp4"}) {
        ConvertTask t((dir / name).string(), ConvertMode::Video);
        EXPECT_FALSE(mainframe::ProbeMedia(t)) << name;
        EXPECT_EQ(t.channels, 2);
        EXPECT_EQ(t.fps, 24.0f);
        EXPECT_TRUE(t.source_resolution.empty());
        EXPECT_EQ(t.no_video, 0);
    }
    ConvertTask stopped((dir / "junk.mp4").string(), ConvertMode::Video);
    stopped.state = convert::TaskState::Stopped;
    EXPECT_FALSE(mainframe::ProbeMedia(stopped));
}

TEST(MediaProbe, CoverSeeksOnlyInLongEnoughClips) {
    testsupport::IsolatedHome home;
    testsupport::TempDir dir;
    ASSERT_TRUE(testsupport::makeClip(dir / "short.mp4", 5.9, true, false, {"-s", "64x48"}));
    ConvertTask t((dir / "short.mp4").string(), ConvertMode::Video);
    ASSERT_TRUE(mainframe::ProbeMedia(t));
    EXPECT_EQ(t.cover_seek, 0);
    ASSERT_TRUE(mainframe::MakeCover(t));
    EXPECT_EQ(fs::path(t.cover_path).parent_path().filename(), "video_cover");
    EXPECT_EQ(fs::path(t.cover_path).filename().string().rfind("short_", 0), 0u);
    EXPECT_TRUE(mainframe::MakeCover(t));  // an existing cover is kept

    if (testsupport::haveMediaCorpus()) {
        ConvertTask mp3(mediaFile("mp3_id3v2_tags_jpeg_cover_1400px.mp3").string(), ConvertMode::Audio2);
        ASSERT_TRUE(mainframe::ProbeMedia(mp3));
        EXPECT_TRUE(mainframe::MakeCover(mp3));
    }
}

TEST(SizeText, OneFormatForTheSourceAndTheResult) {
    EXPECT_EQ(platform::FormatSize(1024), "1024B");
    EXPECT_EQ(platform::FormatSize(1025), "1.00KB");
    EXPECT_EQ(platform::FormatSize(1048577), "1.00MB");
    EXPECT_EQ(platform::FormatSize(1073741824ull), "1024.00MB");
    EXPECT_EQ(platform::FormatSize(5ull << 32), "20.00GB");
    char small[4];
    EXPECT_TRUE(platform::FormatSize(1048577, small, sizeof small));
    EXPECT_STREQ(small, "1.0");
    // A new task's source size reads the same way.
    testsupport::TempDir dir;
    testsupport::writeFile(dir / "a.mp4", std::string(1572864, 'x'));
    EXPECT_EQ(ConvertTask((dir / "a.mp4").string(), ConvertMode::Video).size_text, "1.50MB");
}

TEST(TargetResolution, WindowExamples) {
    using mainframe::TargetResolution;
    EXPECT_EQ(TargetResolution(7, 4, 1920, 1080), "640x360");
    EXPECT_EQ(TargetResolution(7, 0, 1920, 1080), "1280x720");
    EXPECT_EQ(TargetResolution(7, 0, 640, 480), "640x480");
    EXPECT_EQ(TargetResolution(7, 4, 1280, 720), "640x360");
    EXPECT_EQ(TargetResolution(7, 5, 568, 320), "356x200");  // 355 rounded up to even
    EXPECT_EQ(TargetResolution(0, 3, 1280, 720), "720x576");
    EXPECT_EQ(TargetResolution(0, 1, 0, 0), "1920x1080");
    EXPECT_EQ(TargetResolution(0, 0, 0, 0), "");
    EXPECT_EQ(TargetResolution(7, 2, 0, 0), "");
    EXPECT_EQ(TargetResolution(8, 2, 640, 480), "640x480");
}

TEST(TargetResolution, SelectionFillsTheTask) {
    ConvertTask t;
    t.mode = static_cast<int>(ConvertMode::Audio2);
    t.source_audio_bitrate = "192";
    mainframe::applySelection(t, {8, 0}, 0);
    EXPECT_EQ(t.target_ext, "mp3");
    EXPECT_EQ(t.target_audio_bitrate, "192");
    mainframe::applySelection(t, {17, 7}, 0);
    EXPECT_EQ(t.target_ext, "ogg");
    EXPECT_EQ(t.target_audio_bitrate, "128");

    ConvertTask c;
    c.mode = static_cast<int>(ConvertMode::Compress);
    c.source_ext = "mkv";
    c.width = 320;
    c.height = 240;
    mainframe::applySelection(c, {18, 0}, 2);
    EXPECT_EQ(c.target_ext, "mkv");
    EXPECT_EQ(c.target_resolution, "320x240");
    EXPECT_EQ(c.compress_level, 2);
    EXPECT_FALSE(convert::modeOffers(ConvertMode::Audio, *convert::formatById(10)));
    EXPECT_TRUE(convert::modeOffers(ConvertMode::Audio2, *convert::formatById(17)));
    EXPECT_FALSE(convert::modeOffers(ConvertMode::Merge, *convert::formatById(6)));
}

TEST(ProbeQueue, ProbesInOrderSendsInfoReadyThenMarksReady) {
    testsupport::IsolatedHome home;
    testsupport::TempDir dir;
    ASSERT_TRUE(testsupport::makeClip(dir / "a.mp4", 1.0, true, true, {"-s", "64x48"}));
    testsupport::writeFile(dir / "b.mp4", "not media");
    std::vector<std::unique_ptr<ConvertTask>> tasks;
    for (const char* name : {"a.mp4", "b.mp4", "a.mp4"})
        tasks.push_back(std::make_unique<ConvertTask>((dir / name).string(), ConvertMode::Video));
    platform::MessageQueue window;
    std::vector<ConvertTask*> announced;
    {
        mainframe::ProbeQueue queue(&window);
        queue.AddProbeBatch({tasks[0].get(), tasks[1].get(), tasks[2].get()});
        testsupport::dispatchUntil(
            window,
            [&](const platform::Message& raw) {
                const platform::MainWindowMessage m(raw);
                EXPECT_EQ(m.id(), platform::MainWindowId::WM_TASK_INFO_READY);
                ConvertTask* task = platform::taskOf(m);
                announced.push_back(task);
                // The window sees the facts first; the covers follow, each told again.
                if (announced.size() <= 3) {
                    EXPECT_FALSE(task->ready.load());
                } else {
                    EXPECT_TRUE(task->ready.load());
                    EXPECT_TRUE(fs::exists(task->cover_path));
                }
                return announced.size() >= 5;
            },
            20000);
        window.close();
    }
    EXPECT_EQ(announced, (std::vector<ConvertTask*>{tasks[0].get(), tasks[1].get(), tasks[2].get(),
                                                    tasks[0].get(), tasks[2].get()}));
    for (auto& t : tasks)
        EXPECT_TRUE(t->ready.load());
    EXPECT_FALSE(tasks[0]->cover_path.empty());
    EXPECT_TRUE(tasks[1]->cover_path.empty());
}

}  // namespace
