#include "convert/command_builder.h"

#include "convert/ffmpeg_tool.h"
#include "convert/target_formats.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace convert {

namespace {

constexpr const char* kDefaultMuxingQueueSize = "34500";
constexpr int kMergeDefaultKbps = 512;  // merge parts of presets without a rate of their own

// Collects the display text fragment by fragment and, beside it, the argument vector:
// a fragment's words become arguments, a path is always one argument.
class CommandText {
public:
    void add(const std::string& fragment) {
        display_ += fragment;
        std::size_t i = 0;
        while (i < fragment.size()) {
            while (i < fragment.size() && fragment[i] == ' ')
                ++i;
            std::size_t start = i;
            while (i < fragment.size() && fragment[i] != ' ')
                ++i;
            if (i > start)
                args_.push_back(fragment.substr(start, i - start));
        }
    }
    void addPath(const std::string& path) {
        display_ += " \"" + path + "\"";
        // A relative name starting with '-' would read as an option.
        args_.push_back(!path.empty() && path[0] == '-' ? "./" + path : path);
    }
    platform::CommandLine finish(const std::string& program) {
        platform::CommandLine cmd(program);
        for (auto& a : args_)
            cmd.arg(std::move(a));
        cmd.setDisplay(std::move(display_));
        return cmd;
    }
    std::string display_;

private:
    std::vector<std::string> args_;
};

std::string format(const char* fmt, auto... values) {
    char buf[1024];
    std::snprintf(buf, sizeof buf, fmt, values...);
    return buf;
}

bool differsFromOne(float value) {
    return std::fabs(value - 1.0f) > 0.00001f;
}

bool tempoFilterApplies(const ConvertTask& task) {
    return task.convertMode() == ConvertMode::Audio2 &&
           (differsFromOne(task.volume) || differsFromOne(task.speed));
}

// The input stream of the main picture in a filter graph: "[0:v]" while the probe
// named none.
std::string videoInput(const ConvertTask& task) {
    return task.main_video_stream >= 0 ? format("[0:%d]", task.main_video_stream) : "[0:v]";
}

// The sound tracks an output takes: all decodable ones, or the main one only.
void addAudioMaps(CommandText& cmd, const ConvertTask& task, bool one) {
    if (one) {
        if (task.main_audio_stream >= 0)
            cmd.add(format(" -map 0:%d", task.main_audio_stream));
        return;
    }
    for (const std::int32_t index : task.audio_streams)
        cmd.add(format(" -map 0:%d", index));
}

// The rate a GIF can hold: its delays are whole hundredths of a second and players
// slow delays below two down to ten, so above 50 fps the source's rate is divided.
double gifRate(double fps) {
    if (!(fps > 50))
        return 0;
    return fps / std::ceil(fps / 50);
}

// The source's own size rounded down to even sides, for a video target at the
// source size whose picture has an odd side (a 371x320 cover, a 161x121 clip): the
// encoders' 4:2:0 pictures need even sides. Empty when nothing needs rounding: even
// sides, a GIF or a merge part (sized by their own rules), or a crop (its size is
// made even where it is chosen).
std::string evenSize(const ConvertTask& task) {
    const ConvertMode mode = task.convertMode();
    if (mode == ConvertMode::Gif || mode == ConvertMode::Merge || task.width < 2 || task.height < 2)
        return {};
    const bool cropped = task.crop_width > 0 && task.crop_height > 0 &&
                         !(task.crop_x == 0 && task.crop_y == 0 && task.crop_width == task.width &&
                           task.crop_height == task.height);
    if (cropped || (task.width % 2 == 0 && task.height % 2 == 0))
        return {};
    // The picture is turned upright before it is sized.
    const bool turned = task.rotation == 90 || task.rotation == 270;
    const int w = turned ? task.height : task.width;
    const int h = turned ? task.width : task.height;
    return format("%dx%d", w / 2 * 2, h / 2 * 2);
}

// The tempo the audio filter applies: the speed with the one decimal the command prints.
double appliedTempo(const ConvertTask& task) {
    if (!tempoFilterApplies(task))
        return 1.0;
    const double tempo = std::atof(format("%.1f", static_cast<double>(task.speed)).c_str());
    return tempo > 0 ? tempo : 1.0;
}

// The clip is cut at the output, after the tempo filter: with another tempo its
// bounds are the source's seconds on the faster or slower timeline.
void addClip(CommandText& cmd, const ConvertTask& task) {
    if (!isClipped(task))
        return;
    const double tempo = appliedTempo(task);
    if (tempo == 1.0)
        cmd.add(format(" -ss %d -to %d", task.clip_start, task.clip_end));
    else
        cmd.add(format(" -ss %.3f -to %.3f", task.clip_start / tempo, task.clip_end / tempo));
}

void addAudioFamily(CommandText& cmd, const ConvertTask& task) {
    addClip(cmd, task);
    if (tempoFilterApplies(task)) {
        cmd.add(format(" -filter:a volume=%.1f,atempo=%.1f", static_cast<double>(task.volume),
                       static_cast<double>(task.speed)));
    }
    const TargetFormat& target = formatByExt(task.target_ext);
    cmd.add(std::string(target.audio_family_args));
    if (target.one_audio_stream || target.all_audio_streams) {
        if (task.streams_read)
            addAudioMaps(cmd, task, target.one_audio_stream);
        else
            cmd.add(target.one_audio_stream ? " -map 0:a:0" : " -map 0:a");
    }
    if (task.channels > 2)
        cmd.add(" -ac 2");
    cmd.add(" -ar 44100");
    if (task.target_audio_bitrate != task.source_audio_bitrate &&
        !(target.omitted_bitrate_kbps > 0 &&
          task.target_audio_bitrate == std::to_string(target.omitted_bitrate_kbps))) {
        cmd.add(" -b:a " + task.target_audio_bitrate + "k");
    }
    cmd.add(" -preset superfast");
    if (task.has_data_stream)
        cmd.add(" -dn");
    cmd.add(" -max_muxing_queue_size 34500");
    cmd.addPath(task.output_path);
}

void addMergeHead(CommandText& cmd, const ConvertTask& task) {
    int w = task.width;
    int h = task.height;
    std::size_t x = task.target_resolution.find('x');
    if (x != std::string::npos) {
        w = std::atoi(task.target_resolution.c_str());
        h = std::atoi(task.target_resolution.c_str() + x + 1);
    }
    std::string scale = format(
        "scale='trunc(min(%d,%d*dar)/2)*2':'trunc(min(%d/dar,%d)/2)*2',setsar=1:1,pad=%d:%d:trunc((%d-iw)/"
        "2):trunc((%d-ih)/"
        "2):black",
        w, h, w, h, w, h, w, h);
    if (task.rotation == 0) {
        cmd.add(format(" -filter_complex %scrop=%d:%d:%d:%d,", videoInput(task).c_str(), task.crop_width,
                       task.crop_height, task.crop_x, task.crop_y) +
                scale);
    } else {
        cmd.add(" -filter_complex " + videoInput(task) + scale);
    }
    cmd.add(" -r 30");
    cmd.add(" -ac 2");
    cmd.add(" -ar 44100");
    cmd.add(" -b:a 128k");
    const TargetFormat& target = formatByExt(task.target_ext);
    const TargetPreset* preset = presetById(task.preset_index);
    const bool at_1080 = preset && preset->token == "1080";
    cmd.add(std::string(at_1080 && !target.merge_video_codec_1080.empty() ? target.merge_video_codec_1080
                                                                          : target.merge_video_codec));
    cmd.add(format(" -b:v %dk", preset && preset->merge_kbps > 0 ? preset->merge_kbps : kMergeDefaultKbps));
}

void addVideoHead(CommandText& cmd, const ConvertTask& task) {
    // A crop of the whole picture is left out: a filter graph here makes the encoder
    // take the probe's average rate as its time base, which drops frames of
    // variable-rate files.
    const bool whole = task.crop_x == 0 && task.crop_y == 0 && task.crop_width == task.width &&
                       task.crop_height == task.height;
    if (task.rotation == 0 && task.source_kind == 0 && task.crop_width > 0 && task.crop_height > 0 &&
        !whole) {
        cmd.add(format(" -filter_complex %scrop=%d:%d:%d:%d", videoInput(task).c_str(), task.crop_width,
                       task.crop_height, task.crop_x, task.crop_y));
    }
    cmd.add(std::string(formatByExt(task.target_ext).video_codec));
    if (task.channels >= 2)
        cmd.add(" -ac 2");
}

void addCommonTail(CommandText& cmd, const ConvertTask& task, const BuildSettings& settings) {
    const ConvertMode mode = task.convertMode();
    const TargetFormat& target = formatByExt(task.target_ext);
    cmd.add(std::string(target.audio_codec));
    std::string queue_size = settings.muxing_queue_size ? settings.muxing_queue_size() : std::string();
    if (queue_size.empty())
        queue_size = kDefaultMuxingQueueSize;
    cmd.add(" -preset superfast");
    cmd.add(" -pix_fmt yuv420p");
    cmd.add(" -max_muxing_queue_size " + queue_size);
    if (mode != ConvertMode::Compress && settings.take_bitrate_override) {
        std::int64_t override_bps = settings.take_bitrate_override();
        if (override_bps > 0)
            cmd.add(format(" -b:v %dk", static_cast<std::int32_t>(override_bps / 1000)));
    }
    if (task.has_data_stream)
        cmd.add(" -dn");
    if (mode != ConvertMode::Merge) {
        // The source's own timing is kept (a rate forced from the probe's average
        // shortens variable-rate files); only the one-shot override or a GIF's limit
        // sets one.
        double fps = 0;
        if (settings.take_frame_rate_override) {
            float override_fps = settings.take_frame_rate_override();
            if (override_fps > 0.0f)
                fps = override_fps;
        }
        // An embedded cover has no rate of its own (its stream says 90000 fps, beyond
        // what the encoders' levels take): it is shown at the probe's rate.
        if (fps <= 0 && task.attached_picture && mode != ConvertMode::Gif)
            fps = task.fps > 0 && task.fps <= 120 ? task.fps : 24;
        if (mode == ConvertMode::Gif) {
            const double limit = gifRate(fps > 0 ? fps : static_cast<double>(task.fps));
            if (limit > 0)
                fps = limit;
        }
        if (fps > 0)
            cmd.add(format(" -r %f", fps));
    }
    if (!task.streams_read) {
        if (mode != ConvertMode::Gif)
            cmd.add(" -map 0:v? -map 0:a?");
    } else {
        // The main picture and the sound tracks that decode; a merge part gets one
        // sound track, or the silence of the second input.
        if (task.main_video_stream >= 0) {
            cmd.add(format(" -map 0:%d", task.main_video_stream));
            // An encoded cover is an ordinary picture track of the output (MPEG-4 takes
            // only JPEG or PNG as covers).
            if (task.attached_picture && mode != ConvertMode::Gif)
                cmd.add(" -disposition:v 0");
        }
        if (mode == ConvertMode::Merge && task.audio_streams.empty())
            cmd.add(" -map 1:a -shortest");
        else if (mode != ConvertMode::Gif)
            addAudioMaps(cmd, task, mode == ConvertMode::Merge);
    }
    // An empty size would make "-s" swallow the output path as its value.
    if (!task.target_resolution.empty() && task.target_resolution != task.source_resolution)
        cmd.add(" -s " + task.target_resolution);
    else if (const std::string even = evenSize(task); !even.empty())
        cmd.add(" -s " + even);
    addClip(cmd, task);
    if (mode == ConvertMode::Compress) {
        if (task.bit_rate <= 1000) {
            int crf = task.compress_level == 0 ? 40 : task.compress_level == 1 ? 30 : 50;
            cmd.add(format(" -crf %d ", crf));
        } else {
            double f = task.compress_level == 0 ? 0.5 : task.compress_level == 1 ? 0.7 : 0.3;
            auto scaled = static_cast<std::int64_t>(std::trunc(static_cast<double>(task.bit_rate) * f));
            auto k = static_cast<std::int32_t>(scaled / 1000);
            cmd.add(format(" -b:v %dk -maxrate:v %dk -minrate:v %dk -bufsize:v %dk ", k, k, k, k));
        }
    }
    cmd.addPath(task.output_path);
}

}  // namespace

bool isClipped(const ConvertTask& task) {
    return task.clip_start > 0 || task.clip_end != task.duration;
}

double writtenSeconds(const ConvertTask& task) {
    double seconds = isClipped(task) ? task.clip_end - task.clip_start : task.duration;
    if (seconds <= 0)
        return 0;
    return seconds / appliedTempo(task);
}

platform::CommandLine buildCommand(const ConvertTask& task, const std::string& progress_path,
                                   const BuildSettings& settings, const std::string& program) {
    CommandText cmd;
    cmd.display_ = kFfmpegDisplayName;
    cmd.add(" -hide_banner -progress");
    cmd.addPath(progress_path);
    cmd.add(" -y -i");
    cmd.addPath(task.source_path);
    // Every merge part has picture and sound, so the parts join as they are.
    if (task.convertMode() == ConvertMode::Merge && task.streams_read && task.audio_streams.empty())
        cmd.add(" -f lavfi -i anullsrc=channel_layout=stereo:sample_rate=44100");
    switch (task.convertMode()) {
        case ConvertMode::Audio2:
        case ConvertMode::Audio:
            addAudioFamily(cmd, task);
            break;
        case ConvertMode::Merge:
            addMergeHead(cmd, task);
            addCommonTail(cmd, task, settings);
            break;
        default:
            addVideoHead(cmd, task);
            addCommonTail(cmd, task, settings);
            break;
    }
    return cmd.finish(program.empty() ? ffmpegProgram() : program);
}

}  // namespace convert
