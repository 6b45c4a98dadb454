#include "mainframe/target_resolution.h"

#include <cstdio>

namespace mainframe {

using convert::FormatFamily;
using convert::PresetKind;

std::string TargetResolution(int f, int p, int w, int h) {
    const convert::TargetFormat* format = convert::formatById(f);
    const convert::TargetPreset* preset = convert::presetById(p);
    const bool gif = format && format->family == FormatFamily::Gif;
    const bool origin = !preset || preset->kind == PresetKind::Origin;
    if (!(w != 0 && h != 0) && (gif || (preset && origin)))
        return {};
    int W = w, H = h;
    int gif_height = 0;  // a GIF preset may fix only the height
    if (!(format && format->isAudio())) {
        if (preset && preset->kind == PresetKind::Size) {
            if (gif && preset->gif_height > 0) {
                gif_height = preset->gif_height;
            } else {
                W = preset->width;
                H = preset->height;
            }
        } else if (gif && h > 720) {
            gif_height = 720;
        }
    }
    if (gif_height > 0 && h != 0) {
        // The width follows the source's shape, even.
        float ratio = static_cast<float>(h) / static_cast<float>(gif_height);
        W = static_cast<int>(static_cast<float>(w) / ratio);
        if (W % 2 != 0)
            ++W;
        H = gif_height;
    }
    char text[32];
    std::snprintf(text, sizeof text, "%dx%d", W, H);
    return text;
}

ResolvedTarget resolveTarget(const convert::TargetChoice& choice, const std::string& source_ext, int width,
                             int height) {
    ResolvedTarget target;
    const convert::TargetFormat* format = convert::formatById(choice.format);
    if (!format)
        return target;
    target.ext = format->family == FormatFamily::SameContainer ? source_ext : std::string(format->token);
    target.audio = format->isAudio();
    if (target.audio) {
        const convert::TargetPreset* preset = convert::presetById(choice.preset);
        if (preset && preset->kind == PresetKind::Bitrate)
            target.audio_kbps = preset->kbps;
    } else {
        target.resolution = TargetResolution(choice.format, choice.preset, width, height);
    }
    return target;
}

void applySelection(convert::ConvertTask& task, const convert::TargetChoice& choice, int compress_level,
                    bool probed) {
    using convert::ConvertMode;
    const ConvertMode mode = task.convertMode();
    const ResolvedTarget target =
        resolveTarget(choice, task.source_ext, probed ? task.width : 0, probed ? task.height : 0);
    // A queued task's job may be naming its output from the extension already: it is
    // written only when it changes, which it does not once the task is queued.
    if (!target.ext.empty() && task.target_ext != target.ext)
        task.target_ext = target.ext;
    task.preset_index = choice.preset;
    if (mode == ConvertMode::Compress)
        task.compress_level = compress_level;
    if (!target.audio) {
        if (mode != ConvertMode::Audio && !target.resolution.empty())
            task.target_resolution = target.resolution;
    } else if (mode == ConvertMode::Audio2 || mode == ConvertMode::Audio) {
        if (target.audio_kbps > 0) {
            task.target_audio_bitrate = std::to_string(target.audio_kbps);
        } else if (probed && !task.source_audio_bitrate.empty()) {
            task.target_audio_bitrate = task.source_audio_bitrate;
        }
    }
}

}  // namespace mainframe
