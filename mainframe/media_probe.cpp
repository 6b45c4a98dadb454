#include "mainframe/media_probe.h"

#include "convert/ffmpeg_tool.h"
#include "platform/folders.h"
#include "platform/process.h"
#include "platform/time.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/display.h>
}

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <vector>

namespace mainframe {

namespace {

using convert::ConvertTask;

// Clockwise rotation in degrees, 0..359: the legacy "rotate" tag when a demuxer still
// sets it, else the display matrix (counter-clockwise in FFmpeg's convention).
int rotationOf(const AVStream* st) {
    if (const AVDictionaryEntry* tag = av_dict_get(st->metadata, "rotate", nullptr, 0))
        return std::atoi(tag->value);
    size_t size = 0;
    const uint8_t* matrix = av_stream_get_side_data(st, AV_PKT_DATA_DISPLAYMATRIX, &size);
    if (!matrix || size < 9 * sizeof(int32_t))
        return 0;
    double ccw = av_display_rotation_get(reinterpret_cast<const int32_t*>(matrix));
    if (std::isnan(ccw))
        return 0;
    long degrees = std::lround(-ccw) % 360;
    return static_cast<int>(degrees < 0 ? degrees + 360 : degrees);
}

// A stream the libraries have a decoder for (a track whose codec is unknown, as in a
// file without its sample descriptions, cannot be converted).
bool decodable(const AVStream* st) {
    return st->codecpar->codec_id != AV_CODEC_ID_NONE && avcodec_find_decoder(st->codecpar->codec_id);
}

bool isPicture(const AVStream* st) {
    return (st->disposition & AV_DISPOSITION_ATTACHED_PIC) != 0;
}

// The video stream a player would show: a thumbnail or preview track must not lend
// the file its size, rate or rotation. The default stream, else the libraries' best
// pick; embedded pictures only when there is nothing else. -1 without video.
int mainVideoStream(AVFormatContext* ctx) {
    bool moving = false;
    for (unsigned i = 0; i < ctx->nb_streams; ++i) {
        const AVStream* st = ctx->streams[i];
        moving = moving || (st->codecpar->codec_type == AVMEDIA_TYPE_VIDEO && !isPicture(st));
    }
    auto candidate = [&](int i) {
        const AVStream* st = ctx->streams[i];
        return st->codecpar->codec_type == AVMEDIA_TYPE_VIDEO && !(moving && isPicture(st)) && decodable(st);
    };
    auto isDefault = [&](int i) { return (ctx->streams[i]->disposition & AV_DISPOSITION_DEFAULT) != 0; };
    const int count = static_cast<int>(ctx->nb_streams);
    bool any_default = false;
    for (int i = 0; i < count; ++i)
        any_default = any_default || (candidate(i) && isDefault(i));
    const int best = av_find_best_stream(ctx, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
    if (best >= 0 && candidate(best) && (isDefault(best) || !any_default))
        return best;
    for (int i = 0; i < count; ++i)
        if (candidate(i) && (isDefault(i) || !any_default))
            return i;
    return -1;
}

struct InputCloser {
    AVFormatContext* ctx;
    ~InputCloser() {
        if (ctx)
            avformat_close_input(&ctx);
    }
};

}  // namespace

bool ProbeMedia(ConvertTask& task) {
    if (task.isStopped())
        return false;
    AVFormatContext* ctx = avformat_alloc_context();
    if (!ctx)
        return false;
    if (avformat_open_input(&ctx, task.source_path.c_str(), nullptr, nullptr) < 0)
        return false;  // frees ctx
    InputCloser closer{ctx};
    if (avformat_find_stream_info(ctx, nullptr) < 0)
        return false;

    const bool special = task.source_kind != static_cast<int>(convert::SourceKind::Ordinary);
    task.bit_rate = ctx->bit_rate;
    // A file without a container duration (a browser recording, a cut-off capture) is
    // still read stream by stream, so its facts show; it is not reported as probed.
    const bool no_duration = ctx->duration == AV_NOPTS_VALUE;
    if (!no_duration)
        task.takeDuration(ctx->duration);

    const int main_video = mainVideoStream(ctx);
    std::vector<std::int32_t> audio;
    std::int32_t main_audio = -1;
    for (unsigned i = 0; i < ctx->nb_streams; ++i) {
        const AVCodecParameters* par = ctx->streams[i]->codecpar;
        switch (par->codec_type) {
            case AVMEDIA_TYPE_AUDIO:
                task.channels = par->ch_layout.nb_channels;
                task.source_audio_bitrate = std::to_string(par->bit_rate / 1000);
                if (decodable(ctx->streams[i])) {
                    audio.push_back(static_cast<std::int32_t>(i));
                    if (main_audio < 0 && (ctx->streams[i]->disposition & AV_DISPOSITION_DEFAULT))
                        main_audio = static_cast<std::int32_t>(i);
                }
                break;
            case AVMEDIA_TYPE_DATA:
                task.has_data_stream = 1;
                break;
            default:
                break;
        }
    }
    task.streams_read = true;
    task.main_audio_stream = main_audio >= 0 ? main_audio : audio.empty() ? -1 : audio.front();
    task.audio_streams = std::move(audio);
    const bool has_video = main_video >= 0;
    if (has_video) {
        const AVStream* st = ctx->streams[main_video];
        const AVCodecParameters* par = st->codecpar;
        task.main_video_stream = main_video;
        if (st->avg_frame_rate.num != 0 && st->avg_frame_rate.den != 0)
            task.fps =
                static_cast<float>(st->avg_frame_rate.num) / static_cast<float>(st->avg_frame_rate.den);
        task.rotation = rotationOf(st);
        task.attached_picture = isPicture(st);
        task.takePictureSize(par->width, par->height);
    }
    if (special)
        return true;
    if (!has_video)
        task.no_video = 1;
    return has_video && !no_duration;
}

bool MakeCover(ConvertTask& task) {
    namespace fs = std::filesystem;
    std::error_code ec;
    if (!task.cover_path.empty() && fs::exists(task.cover_path, ec))
        return true;
    if (task.isStopped())
        return false;
    fs::path folder = platform::coverDir();
    char name[64];
    std::snprintf(name, sizeof name, "_%lld.png", static_cast<long long>(platform::nowMicros()));
    task.cover_path = (folder / (task.name + name)).string();

    // An embedded picture has one frame at the start: seeking would skip it.
    const bool seek = task.cover_seek > 0 && !task.attached_picture;
    platform::CommandLine cmd(convert::ffmpegProgram());
    cmd.arg("-i").arg(task.source_path).args({"-y", "-f", "image2", "-t", "0.01"});
    if (seek)
        cmd.args({"-ss", "00:00:05"});
    cmd.args({"-s", "1194x768"}).arg(task.cover_path);
    cmd.setDisplay(std::string(convert::kFfmpegDisplayName) + " -i \"" + task.source_path +
                   "\" -y -f image2 -t 0.01 " + (seek ? "-ss 00:00:05 " : "") + " -s 1194x768 \"" +
                   task.cover_path + "\"");
    std::shared_ptr<platform::Process> child;
    {
        std::lock_guard lock(task.cover_mutex);
        if (task.isStopped())
            return false;
        child = platform::Process::start(cmd, {});
        task.cover_process = child;
    }
    if (child) {
        child->wait();
        std::lock_guard lock(task.cover_mutex);
        task.cover_process.reset();
    }
    return fs::exists(task.cover_path, ec);
}

void silenceLibraryLogs() {
    av_log_set_level(AV_LOG_QUIET);
}

}  // namespace mainframe
