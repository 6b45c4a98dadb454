#include "mainframe/row_model.h"

#include "mainframe/media_probe.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <filesystem>

namespace mainframe {

using convert::ConvertMode;
using convert::TaskState;

RowPart& RowModel::part(std::string_view name) {
    auto it = parts_.find(name);
    if (it == parts_.end())
        it = parts_.emplace(std::string(name), RowPart{}).first;
    return it->second;
}

std::string RowModel::text(std::string_view name) const {
    auto it = parts_.find(name);
    return it == parts_.end() ? std::string() : it->second.text;
}

bool RowModel::visible(std::string_view name) const {
    auto it = parts_.find(name);
    return it == parts_.end() || it->second.visible;
}

bool RowModel::enabled(std::string_view name) const {
    auto it = parts_.find(name);
    return it == parts_.end() || it->second.enabled;
}

std::string progressImage(int percent) {
    const int k = percent / 5;
    if (k <= 0)
        return "file='../default/images/pic_recode_progress.png' source='0,0,44,44'";
    char buf[128];
    std::snprintf(buf, sizeof buf, "file='../default/images/pic_recode_progress.png' source='%d,0,%d,44'",
                  44 * k - 44, 44 * k);
    return buf;
}

void setRowProgress(RowModel& row, int percent) {
    RowPart& pic = row.part("pic_recode_progress");
    pic.text = std::to_string(percent) + "%\n";
    pic.bkimage = progressImage(percent);
}

void applyRowLook(RowModel& row, bool idle, ConvertMode current_mode) {
    const convert::ConvertTask& task = *row.task();
    const TaskState state = task.state.load(std::memory_order_acquire);
    const bool merge = task.convertMode() == ConvertMode::Merge;
    const bool done = state == TaskState::Done;
    const bool failed = state == TaskState::Failed;
    row.show("btn_play_video", done);
    row.show("btn_video_rename", idle && !merge && !done);
    row.show("layResultVideo1", done || failed);
    row.show("layResultVideo2", done || failed);
    row.show("recode_success", done);
    row.show("btn_recode_fail", failed);
    row.show("layRecodeVideo1", !(idle && merge));
    row.show("layRecodeVideo2", !(idle && merge));
    row.show("btn_re_recode", idle && !merge);
    row.show("pic_recode_progress", !idle);
    setRowProgress(row, 0);
    row.show("btn_open_video_folder", idle && !merge && done);
    for (const char* name : {"layUpVideo1", "layUpVideo2", "layDownVideo1", "layDownVideo2"})
        row.show(name, idle && merge);
    // Rotated sources are converted without clip and crop. The rotation is the probe's
    // to write until the task is ready; the probe's refresh hides the buttons later.
    const bool rotated = task.ready.load(std::memory_order_acquire) && task.rotation != 0;
    const bool clip =
        idle && !done && task.source_kind == 0 && current_mode != ConvertMode::Compress && !rotated;
    row.show("layClipVideo1", clip);
    row.show("layClipVideo2", clip);
    row.show("layDelVideo1", true);
    row.show("layDelVideo2", true);
    row.show("btn_del_video", idle);
    row.show("btn_stop_recode", !idle);
    const bool compress = task.convertMode() == ConvertMode::Compress;
    row.show("layNewSize", compress);
    if (compress && !task.output_path.empty()) {
        std::error_code ec;
        auto size = std::filesystem::file_size(task.output_path, ec);
        if (!ec)
            row.setText("video_size_new", FormatSize(static_cast<std::uint64_t>(size)));
    }
}

void toggleRename(RowModel& row) {
    RowPart& edit = row.part("edit_new_video_name");
    edit.enabled = !edit.enabled;
}

void commitRename(RowModel& row) {
    RowPart& edit = row.part("edit_new_video_name");
    edit.enabled = false;
    if (!edit.text.empty()) {
        row.task()->output_name = edit.text;
    } else {
        edit.text = row.task()->output_name;
    }
}

void showSourceFacts(RowModel& row) {
    const convert::ConvertTask& task = *row.task();
    row.setText("video_duration", task.duration_text);
    row.setText("video_duration_new", task.duration_text);
    row.show("layVideo", task.no_video == 0);
    row.show("layAudio", task.no_video != 0);
    if (task.no_video) {
        row.setText("audio_bitrate", task.source_audio_bitrate + " kbps");
    } else {
        row.setText("video_resolution", task.source_resolution);
    }
    row.setText("video_size", task.size_text);
    if (!task.cover_path.empty() && std::filesystem::exists(task.cover_path)) {
        row.part("video_cover").bkimage = "file = '" + task.cover_path + "' restype='fullpath'";
        row.show("load_cover", false);
    }
    if (task.rotation != 0) {
        row.show("layClipVideo1", false);
        row.show("layClipVideo2", false);
    }
}

}  // namespace mainframe
