#include "convert/convert_task.h"

#include "platform/process.h"
#include "platform/strings.h"
#include "platform/time.h"

#include <climits>
#include <cstdio>
#include <filesystem>

namespace convert {

namespace {

std::atomic<int> g_task_counter{0};  // process-wide: unique ids must differ across lists

}  // namespace

std::string makeUniqueId() {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%d_%lld", g_task_counter.fetch_add(1) + 1,
                  static_cast<long long>(platform::nowMicros()));
    return buf;
}

ConvertTask::ConvertTask(std::string path, ConvertMode task_mode, std::int32_t level)
    : source_path(path),
      added_path(std::move(path)),
      mode(static_cast<std::int32_t>(task_mode)),
      compress_level(level) {
    std::size_t slash = source_path.find_last_of('/');
    std::string file = slash == std::string::npos ? source_path : source_path.substr(slash + 1);
    std::size_t dot = file.find_last_of('.');
    name = dot == std::string::npos ? file : file.substr(0, dot);
    source_ext = dot == std::string::npos ? std::string() : platform::lower(file.substr(dot + 1));
    output_name = name;
    if (source_ext == "qsv")
        source_kind = static_cast<std::int32_t>(SourceKind::Qsv);
    if (source_ext == "kux")
        source_kind = static_cast<std::int32_t>(SourceKind::Kux);
    if (source_ext == "qlv")
        source_kind = static_cast<std::int32_t>(SourceKind::Qlv);
    std::error_code ec;
    if (const auto bytes = std::filesystem::file_size(source_path, ec); !ec) {
        file_size = static_cast<std::int64_t>(bytes);
        size_text = platform::FormatSize(static_cast<std::uint64_t>(file_size));
    }
    unique_id = makeUniqueId();
}

ConvertTask::~ConvertTask() {
    terminateCover();
}

void ConvertTask::takeDuration(std::int64_t micros) {
    duration = static_cast<std::int32_t>(micros / 1000000);
    if (clip_end <= 0 || clip_end > duration) {
        clip_start = 0;
        clip_end = duration;
    }
    const long long rounded = (micros <= INT64_MAX - 5000 ? micros + 5000 : micros) / 1000000;
    cover_seek = rounded >= 6 ? 5 : 0;
    char text[64];
    std::snprintf(text, sizeof text, "%02lld:%02lld:%02lld", rounded / 3600, (rounded / 60) % 60,
                  rounded % 60);
    duration_text = text;
}

void ConvertTask::takePictureSize(std::int32_t picture_width, std::int32_t picture_height) {
    if (picture_width != 0 && picture_height != 0) {
        width = picture_width;
        height = picture_height;
    }
    if (crop_width <= 0 || crop_x + crop_width > width || crop_height <= 0 || crop_y + crop_height > height) {
        crop_x = crop_y = 0;
        crop_width = width;
        crop_height = height;
    }
    source_resolution = std::to_string(width) + "x" + std::to_string(height);
}

void ConvertTask::terminateCover() {
    std::lock_guard lock(cover_mutex);
    if (cover_process)
        cover_process->terminate();
}

}  // namespace convert
