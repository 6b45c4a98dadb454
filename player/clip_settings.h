#pragma once
// What the clip dialog reads from a task and gives back to it, and what it needs to
// know of the source. Plain data, so the list can fill and read it without the dialog.

#include <cstdint>
#include <string>

namespace player {

struct ClipSettings {
    std::int32_t clip_start = 0;                                           // whole seconds
    std::int32_t clip_end = 0;                                             // whole seconds
    std::int32_t crop_x = 0, crop_y = 0, crop_width = 0, crop_height = 0;  // video pixels
    bool keep_ratio = true;
    float speed = 1.0f;   // in tenths
    float volume = 1.0f;  // in tenths
    bool operator==(const ClipSettings&) const = default;
};

struct ClipSource {
    std::string path;
    bool no_video = false;
    std::int32_t duration = 0;  // whole seconds
    std::int32_t width = 0;
    std::int32_t height = 0;
};

}  // namespace player
