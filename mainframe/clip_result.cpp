#include "mainframe/clip_result.h"

#include <cstdio>

namespace mainframe {

player::ClipSource clipSourceOf(const convert::ConvertTask& task) {
    return {task.source_path, task.no_video != 0, task.duration, task.width, task.height};
}

player::ClipSettings clipSettingsOf(const convert::ConvertTask& task) {
    player::ClipSettings s;
    s.clip_start = task.clip_start;
    s.clip_end = task.clip_end;
    s.crop_x = task.crop_x;
    s.crop_y = task.crop_y;
    s.crop_width = task.crop_width;
    s.crop_height = task.crop_height;
    s.keep_ratio = task.keep_ratio;
    s.speed = task.speed;
    s.volume = task.volume;
    return s;
}

std::string clipTimeText(int seconds) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%02d:%02d:%02d", seconds / 3600, seconds / 60 % 60, seconds % 60);
    return buf;
}

void applyClipResult(RowModel& row, const player::ClipSettings& s) {
    convert::ConvertTask& task = *row.task();
    task.clip_start = s.clip_start;
    task.clip_end = s.clip_end;
    // Encoders want even picture sizes. A size raised past the picture's edge takes
    // its extra pixel from the other side, or ffmpeg would refuse the crop.
    auto even = [](std::int32_t& offset, std::int32_t& size, std::int32_t limit) {
        if (size % 2 == 0)
            return;
        ++size;
        if (limit > 0 && offset + size > limit && offset > 0)
            --offset;
    };
    task.crop_x = s.crop_x;
    task.crop_y = s.crop_y;
    task.crop_width = s.crop_width;
    task.crop_height = s.crop_height;
    even(task.crop_x, task.crop_width, task.width);
    even(task.crop_y, task.crop_height, task.height);
    task.keep_ratio = s.keep_ratio;
    task.speed = s.speed;
    task.volume = s.volume;
    const int length = task.clip_end - task.clip_start;
    row.setText("video_duration_new", clipTimeText(length));
    const bool clipped = length != task.duration;
    row.show("layNewDuration1", !clipped);
    row.show("layNewDuration2", clipped);
    if (clipped)
        row.setText("video_duration_new2",
                    clipTimeText(task.clip_start) + " - " + clipTimeText(task.clip_end));
}

}  // namespace mainframe
