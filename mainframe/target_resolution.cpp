#include "mainframe/target_resolution.h"

#include <algorithm>
#include <cctype>
#include <cstdio>

namespace mainframe {

bool modeOffersFormat(convert::ConvertMode mode, int f) {
    using convert::ConvertMode;
    switch (mode) {
        case ConvertMode::Video:
            return f >= 0 && f <= 6;
        case ConvertMode::Audio2:
            return (f >= 8 && f <= 15) || f == 17;
        case ConvertMode::Audio:
            return f == 8 || f == 9;
        case ConvertMode::Gif:
            return f == kFormatGif;
        case ConvertMode::Merge:
            return f >= 0 && f <= 5;
        case ConvertMode::Compress:
            return f == 0 || f == kFormatCompressOrigin;
    }
    return false;
}

std::string TargetResolution(int f, int p, int w, int h) {
    const bool gif = f == kFormatGif;
    if (!(w != 0 && h != 0) && (gif || p == 0))
        return {};
    int W = w, H = h;
    int gif_height = 0;  // a GIF preset fixes only the height
    if (f != 8 && f != 9) {
        // A GIF preset fixes only the height; the width follows the source's shape.
        static constexpr int kSizes[6][3] = {{0, 0, 0},       {1920, 1080, 1080}, {1280, 720, 720},
                                             {720, 576, 720}, {640, 480, 360},    {320, 240, 200}};
        if (p >= 1 && p <= 5) {
            if (gif && p >= 3) {
                gif_height = kSizes[p][2];
            } else {
                W = kSizes[p][0];
                H = kSizes[p][1];
            }
        } else if (gif && h > 720) {
            gif_height = 720;
        }
    }
    if (gif_height > 0 && h != 0) {
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

void applySelection(convert::ConvertTask& task, int f, int p, int compress_level) {
    using convert::ConvertMode;
    const ConvertMode mode = task.convertMode();
    if (f == kFormatCompressOrigin) {
        task.target_ext = task.source_ext;
    } else if (f >= 0 && f < static_cast<int>(kFormats.size())) {
        std::string label(kFormats[static_cast<std::size_t>(f)].label);
        std::transform(label.begin(), label.end(), label.begin(),
                       [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
        task.target_ext = label;
    }
    task.preset_index = p;
    if (mode == ConvertMode::Compress)
        task.compress_level = compress_level;
    if (f < kFirstAudioFormat || f == kFormatCompressOrigin) {
        if (mode != ConvertMode::Audio) {
            std::string size = TargetResolution(f, p, task.width, task.height);
            if (!size.empty())
                task.target_resolution = size;
        }
    } else if (mode == ConvertMode::Audio2 || mode == ConvertMode::Audio) {
        if (p >= 6 && p <= 8) {
            task.target_audio_bitrate = std::string(kPresets[static_cast<std::size_t>(p)].token);
        } else if (!task.source_audio_bitrate.empty()) {
            task.target_audio_bitrate = task.source_audio_bitrate;
        }
    }
}

}  // namespace mainframe
