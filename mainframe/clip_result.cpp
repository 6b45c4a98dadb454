#include "mainframe/clip_result.h"

#include <cstdio>

namespace mainframe {

player::ClipSource clipSourceOf(const convert::ConvertTask& task) {
    return {task.source_path, task.no_video != 0, task.duration, task.width, task.height};
}

player::ClipSettings clipSettingsOf(const convert::ConvertTask& task) {
    player::ClipSettings s;
    player::copyClipAndCrop(task, s);
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
    player::copyClipAndCrop(s, task);
    // Encoders want even picture sizes. A size raised past the picture's edge takes
    // its extra pixel from the other side, or ffmpeg would refuse the crop.
    auto even = [](std::int32_t& offset, std::int32_t& size, std::int32_t limit) {
        if (size % 2 == 0)
            return;
        ++size;
        if (limit > 0 && offset + size > limit && offset > 0)
            --offset;
    };
    even(task.crop_x, task.crop_width, task.width);
    even(task.crop_y, task.crop_height, task.height);
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
