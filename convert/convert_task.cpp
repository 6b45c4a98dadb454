#include "convert/convert_task.h"

#include "platform/process.h"
#include "platform/strings.h"
#include "platform/time.h"

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

void ConvertTask::terminateCover() {
    std::lock_guard lock(cover_mutex);
    if (cover_process)
        cover_process->terminate();
}

}  // namespace convert
