#include "convert/command_builder.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using convert::ConvertMode;
using convert::ConvertTask;

// A probed 1920x1080 stereo 60 s source as the window leaves it after the probe.
void probed(ConvertTask& t, ConvertMode mode, const std::string& ext) {
    t.mode = static_cast<int>(mode);
    t.source_path = "/in/clip.mp4";
    t.output_path = "/out/clip." + ext;
    t.target_ext = ext;
    t.takePictureSize(1920, 1080);
    t.takeDuration(60'000'000);
    t.target_resolution = "1920x1080";
    t.channels = 2;
    t.source_audio_bitrate = "128";
    t.target_audio_bitrate = "128";
    t.bit_rate = 4000000;
}

std::string display(const ConvertTask& t, const convert::BuildSettings& s = {}) {
    return convert::buildCommand(t, "/log/clip_mp4", s, "/usr/bin/ffmpeg").display();
}

const std::string kHead = "ffmpeg -hide_banner -progress \"/log/clip_mp4\" -y -i \"/in/clip.mp4\"";

TEST(CommandBuilder, VideoExampleMatchesTheDocumentedLine) {
    ConvertTask t;
    probed(t, ConvertMode::Video, "mp4");
    t.target_resolution = "1280x720";
    // A crop of the whole picture and the probe's rate are left out: both would make
    // ffmpeg drop frames of variable-rate sources.
    EXPECT_EQ(display(t),
              kHead +
                  " -ac 2 -c:a aac -preset superfast -pix_fmt yuv420p -max_muxing_queue_size 34500 "
                  "-map 0:v? -map 0:a? -s 1280x720 \"/out/clip.mp4\"");
    t.crop_width = 1280;
    EXPECT_NE(display(t).find(" -filter_complex [0:v]crop=1280:1080:0:0 -ac 2"), std::string::npos);
}

TEST(CommandBuilder, AudioFamilyOrderAndOptions) {
    ConvertTask t;
    probed(t, ConvertMode::Audio, "mp3");
    t.channels = 6;
    t.source_audio_bitrate = "192";
    t.target_audio_bitrate = "128";
    t.volume = 1.5f;  // mode Audio never gets the filter
    EXPECT_EQ(display(t), kHead +
                              " -c:a libmp3lame -vsync 2 -ac 2 -ar 44100 -b:a 128k -preset superfast "
                              "-max_muxing_queue_size 34500 \"/out/clip.mp3\"");

    t.mode = static_cast<int>(ConvertMode::Audio2);
    t.channels = 2;
    t.target_audio_bitrate = "192";
    EXPECT_EQ(display(t), kHead +
                              " -filter:a volume=1.5,atempo=1.0 -c:a libmp3lame -vsync 2 -ar 44100 -preset "
                              "superfast -max_muxing_queue_size 34500 \"/out/clip.mp3\"");

    // A clip at another speed is cut on the sped-up timeline: source seconds 10 to 40.
    t.speed = 1.5f;
    t.clip_start = 10;
    t.clip_end = 40;
    EXPECT_NE(display(t).find(" -ss 6.667 -to 26.667 -filter:a volume=1.5,atempo=1.5 "), std::string::npos)
        << display(t);
    EXPECT_DOUBLE_EQ(convert::writtenSeconds(t), 20.0);
    t.speed = 1.0f;
    t.clip_start = 0;

    t.volume = 1.0f;
    t.target_ext = "ogg";
    t.target_audio_bitrate = "256";
    t.has_data_stream = 1;
    t.clip_end = 30;
    EXPECT_EQ(display(t), kHead +
                              " -ss 0 -to 30 -vn -map 0:a:0 -ar 44100 -preset superfast -dn "
                              "-max_muxing_queue_size 34500 \"/out/clip.mp3\"");
    t.target_audio_bitrate = "128";
    EXPECT_NE(display(t).find(" -b:a 128k"), std::string::npos);
}

TEST(CommandBuilder, AudioTargetFragments) {
    const std::pair<const char*, const char*> cases[] = {
        {"m4a", " -c:a aac -c:v copy -map 0:a -ar"}, {"wma", " -c:a wmav1 -map 0:a -ar"},
        {"aac", " -c:a aac -map 0:a:0 -ar"},         {"flac", " -c:a flac -map 0:a:0 -ar"},
        {"ac3", " -c:a ac3 -map 0:a:0 -ar"},         {"wav", "\" -map 0:a:0 -ar"},
        {"m4r", " -c:a aac -f ipod -map 0:a:0 -ar"}, {"mp3", " -c:a libmp3lame -vsync 2 -ar"},
    };
    for (auto [ext, fragment] : cases) {
        ConvertTask t;
        probed(t, ConvertMode::Audio2, ext);
        EXPECT_NE(display(t).find(fragment), std::string::npos) << ext << ": " << display(t);
    }
}

TEST(CommandBuilder, MergePreparation) {
    ConvertTask t;
    probed(t, ConvertMode::Merge, "avi");
    t.target_resolution = "1280x720";
    t.preset_index = 1;
    t.crop_x = 10;
    t.crop_width = 1900;
    EXPECT_EQ(
        display(t),
        kHead +
            " -filter_complex [0:v]crop=1900:1080:10:0,scale='trunc(min(1280,720*dar)/2)*2':'trunc(min(1280/"
            "dar,720)/2)*2',setsar=1:1,pad=1280:720:trunc((1280-iw)/2):trunc((720-ih)/2):black -r 30 -ac 2 "
            "-ar "
            "44100 -b:a 128k -c:v libxvid -b:v 3000k -c:a aac -preset superfast -pix_fmt yuv420p "
            "-max_muxing_queue_size 34500 -map 0:v? -map 0:a? -s 1280x720 \"/out/clip.avi\"");
    t.rotation = 90;
    t.preset_index = 7;
    t.target_resolution = "none";  // no "x": the source size is the box
    std::string line = display(t);
    EXPECT_NE(line.find("-filter_complex [0:v]scale='trunc(min(1920,1080*dar)"), std::string::npos) << line;
    EXPECT_NE(line.find(" -c:v msmpeg4 -b:v 512k"), std::string::npos);
    EXPECT_EQ(line.find(" -r 24"), std::string::npos);
}

TEST(CommandBuilder, VideoFamilyCropCodecsAndMaps) {
    ConvertTask t;
    probed(t, ConvertMode::Video, "webm");
    t.rotation = 90;
    std::string line = display(t);
    EXPECT_EQ(line.find("crop="), std::string::npos);
    EXPECT_NE(line.find(" -c:v libvpx-vp9 -ac 2 -c:a libopus"), std::string::npos) << line;
    EXPECT_NE(line.find(" -map 0:v? -map 0:a? \""), std::string::npos) << line;  // sound optional

    t.rotation = 0;
    t.source_kind = 1;  // a qsv source is converted from its intermediate file
    EXPECT_EQ(display(t).find("crop="), std::string::npos);

    ConvertTask g;
    probed(g, ConvertMode::Gif, "gif");
    g.channels = 1;
    g.clip_start = 2;
    g.target_resolution = "1280x720";
    EXPECT_EQ(display(g), kHead +
                              " -c:a aac -preset superfast -pix_fmt yuv420p -max_muxing_queue_size 34500 -s "
                              "1280x720 -ss 2 -to 60 \"/out/clip.gif\"");
    // GIF delays are whole hundredths: above 50 fps the rate is divided to fit.
    g.fps = 60;
    EXPECT_NE(display(g).find(" -r 30.000000 "), std::string::npos);
    g.fps = 120;
    EXPECT_NE(display(g).find(" -r 40.000000 "), std::string::npos);

    for (const char* ext : {"wmv", "avi", "flv"}) {
        probed(t, ConvertMode::Video, ext);
        EXPECT_NE(display(t).find(" -c:v libx264 -profile:v main -ac 2"), std::string::npos) << ext;
    }
}

TEST(CommandBuilder, CompressFragments) {
    ConvertTask t;
    probed(t, ConvertMode::Compress, "mpg");
    t.bit_rate = 1000;
    t.compress_level = 0;
    std::string line = display(t);
    EXPECT_NE(line.find(" -crf 40  \"/out/clip.mpg\""), std::string::npos) << line;
    EXPECT_EQ(line.find(" -c:a"), std::string::npos);
    t.bit_rate = 4000000;
    t.compress_level = 1;
    EXPECT_NE(display(t).find(" -b:v 2800k -maxrate:v 2800k -minrate:v 2800k -bufsize:v 2800k  \""),
              std::string::npos);
    t.compress_level = 2;
    EXPECT_NE(display(t).find(" -b:v 1200k -maxrate:v 1200k"), std::string::npos);
    t.bit_rate = -5;
    t.compress_level = 7;
    EXPECT_NE(display(t).find(" -crf 50 "), std::string::npos);
}

TEST(CommandBuilder, OneShotOverridesApplyToOneJobOnly) {
    std::int64_t bitrate = 2000000;
    float frame_rate = 29.97f;
    convert::BuildSettings s;
    s.take_bitrate_override = [&] { return std::exchange(bitrate, 0); };
    s.take_frame_rate_override = [&] { return std::exchange(frame_rate, 0.0f); };
    s.muxing_queue_size = [] { return std::string("9999"); };

    ConvertTask audio;
    probed(audio, ConvertMode::Audio2, "mp3");
    EXPECT_NE(display(audio, s).find("-max_muxing_queue_size 34500"), std::string::npos);
    EXPECT_EQ(bitrate, 2000000);  // the audio family does not consume the overrides

    ConvertTask t;
    probed(t, ConvertMode::Video, "mp4");
    std::string first = display(t, s);
    EXPECT_NE(first.find("-max_muxing_queue_size 9999 -b:v 2000k -r 29.969999 -map"), std::string::npos)
        << first;
    std::string second = display(t, s);
    EXPECT_EQ(second.find("-b:v"), std::string::npos);
    EXPECT_EQ(second.find(" -r "), std::string::npos);

    bitrate = 3000000;
    probed(t, ConvertMode::Compress, "mp4");
    display(t, s);
    EXPECT_EQ(bitrate, 3000000);  // compression keeps its own rate
}

TEST(CommandBuilder, ProbedStreamsAreMappedOneByOne) {
    ConvertTask t;
    probed(t, ConvertMode::Audio2, "wav");
    t.streams_read = true;
    t.main_video_stream = 2;  // a thumbnail track comes first
    t.audio_streams = {1, 3};
    t.main_audio_stream = 3;  // the default track
    EXPECT_NE(display(t).find("\" -map 0:3 -ar"), std::string::npos) << display(t);
    t.target_ext = "m4a";
    EXPECT_NE(display(t).find(" -c:v copy -map 0:1 -map 0:3 -ar"), std::string::npos) << display(t);

    t.mode = static_cast<int>(ConvertMode::Video);
    t.target_ext = "webm";
    t.crop_width = 1000;
    std::string line = display(t);
    EXPECT_NE(line.find(" -filter_complex [0:2]crop=1000:1080:0:0"), std::string::npos) << line;
    EXPECT_NE(line.find(" -map 0:2 -map 0:1 -map 0:3 \""), std::string::npos) << line;
    t.audio_streams.clear();  // no decodable sound: none mapped, none required
    t.main_audio_stream = -1;
    EXPECT_NE(display(t).find(" -map 0:2 \""), std::string::npos) << display(t);

    // A merge part without sound gets silence, so every part has both streams.
    t.mode = static_cast<int>(ConvertMode::Merge);
    t.target_ext = "mp4";
    line = display(t);
    EXPECT_NE(line.find("\"/in/clip.mp4\" -f lavfi -i anullsrc=channel_layout=stereo:sample_rate=44100 "),
              std::string::npos)
        << line;
    EXPECT_NE(line.find(" -map 0:2 -map 1:a -shortest"), std::string::npos) << line;
    t.audio_streams = {1, 3};
    t.main_audio_stream = 3;
    EXPECT_NE(display(t).find(" -map 0:2 -map 0:3 \""), std::string::npos) << display(t);

    // A cover becomes a picture track at the probe's rate; odd sides are made even.
    t.mode = static_cast<int>(ConvertMode::Video);
    t.attached_picture = true;
    t.width = t.crop_width = 371;
    t.height = t.crop_height = 320;
    t.source_resolution = t.target_resolution = "371x320";
    line = display(t);
    EXPECT_NE(line.find(" -r 24.000000 -map 0:2 -disposition:v 0 -map 0:1 -map 0:3 -s 370x320 \""),
              std::string::npos)
        << line;
}

TEST(CommandBuilder, PathsStayOneArgumentWhateverTheyHold) {
    ConvertTask t;
    probed(t, ConvertMode::Video, "mp4");
    t.source_path = "/in/a \"quoted\" -name ü.mp4";
    t.output_path = "-out put.mp4";
    auto cmd = convert::buildCommand(t, "/log/p", {}, "/usr/bin/ffmpeg");
    const auto& argv = cmd.argv();
    ASSERT_GE(argv.size(), 6u);
    EXPECT_EQ(argv[0], "/usr/bin/ffmpeg");
    EXPECT_EQ(argv[5], "-i");
    EXPECT_EQ(argv[6], t.source_path);
    EXPECT_EQ(argv.back(), "./-out put.mp4");
    EXPECT_NE(cmd.display().find("-i \"/in/a \"quoted\" -name ü.mp4\""), std::string::npos);
    EXPECT_EQ(cmd.display().substr(cmd.display().size() - 14), "\"-out put.mp4\"");
}

TEST(CommandBuilder, WrittenSecondsFollowClipAndTempo) {
    ConvertTask t;
    probed(t, ConvertMode::Audio2, "mp3");
    EXPECT_DOUBLE_EQ(convert::writtenSeconds(t), 60);
    t.clip_start = 10;
    t.clip_end = 20;
    EXPECT_DOUBLE_EQ(convert::writtenSeconds(t), 10);
    t.speed = 2.0f;
    EXPECT_DOUBLE_EQ(convert::writtenSeconds(t), 5);
    t.mode = static_cast<int>(ConvertMode::Audio);  // no tempo filter in this mode
    EXPECT_DOUBLE_EQ(convert::writtenSeconds(t), 10);
}

}  // namespace
