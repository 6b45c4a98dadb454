#include "mainframe/row_model.h"

#include <filesystem>

namespace mainframe {

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
