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

// Copies the clip and the crop (start, end, rectangle and keep ratio; not speed or
// volume) between two records that name these fields alike: a task and the settings,
// either way, or two settings.
template <class From, class To>
void copyClipAndCrop(const From& from, To& to) {
    to.clip_start = from.clip_start;
    to.clip_end = from.clip_end;
    to.crop_x = from.crop_x;
    to.crop_y = from.crop_y;
    to.crop_width = from.crop_width;
    to.crop_height = from.crop_height;
    to.keep_ratio = from.keep_ratio;
}

struct ClipSource {
    std::string path;
    bool no_video = false;
    std::int32_t duration = 0;  // whole seconds
    std::int32_t width = 0;
    std::int32_t height = 0;
};

}  // namespace player
