#include "mainframe/row_look.h"

#include "mainframe/media_probe.h"
#include "platform/strings.h"

#include <cstdio>
#include <filesystem>
#include <initializer_list>

namespace mainframe {

using convert::ConvertMode;
using convert::TaskState;

namespace {

// What a row's look depends on.
struct LookFacts {
    bool idle;
    bool done;
    bool failed;
    bool merge;     // the task's mode
    bool compress;  // the task's mode
    bool clip_ok;   // an ordinary, unrotated source while the window is not in mode Compress
};

struct LookRule {
    std::initializer_list<const char*> parts;
    bool (*visible)(const LookFacts&);
};

// Every part whose visibility follows the row's state.
const LookRule kLookRules[] = {
    {{"btn_play_video", "recode_success"}, [](const LookFacts& f) { return f.done; }},
    {{"btn_video_rename"}, [](const LookFacts& f) { return f.idle && !f.merge && !f.done; }},
    {{"layResultVideo1", "layResultVideo2"}, [](const LookFacts& f) { return f.done || f.failed; }},
    {{"btn_recode_fail"}, [](const LookFacts& f) { return f.failed; }},
    {{"layRecodeVideo1", "layRecodeVideo2"}, [](const LookFacts& f) { return !(f.idle && f.merge); }},
    {{"btn_re_recode"}, [](const LookFacts& f) { return f.idle && !f.merge; }},
    {{"pic_recode_progress", "btn_stop_recode"}, [](const LookFacts& f) { return !f.idle; }},
    {{"btn_open_video_folder"}, [](const LookFacts& f) { return f.idle && !f.merge && f.done; }},
    {{"layUpVideo1", "layUpVideo2", "layDownVideo1", "layDownVideo2"},
     [](const LookFacts& f) { return f.idle && f.merge; }},
    {{"layClipVideo1", "layClipVideo2"}, [](const LookFacts& f) { return f.idle && !f.done && f.clip_ok; }},
    {{"layDelVideo1", "layDelVideo2"}, [](const LookFacts&) { return true; }},
    {{"btn_del_video"}, [](const LookFacts& f) { return f.idle; }},
    {{"layNewSize"}, [](const LookFacts& f) { return f.compress; }},
};

}  // namespace

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
    row.setLook({state, idle});
    // Rotated sources are converted without clip and crop. The rotation is the probe's
    // to write until the task is ready; the probe's refresh hides the buttons later.
    const bool rotated = task.ready.load(std::memory_order_acquire) && task.rotation != 0;
    const LookFacts facts{idle,
                          state == TaskState::Done,
                          state == TaskState::Failed,
                          task.convertMode() == ConvertMode::Merge,
                          task.convertMode() == ConvertMode::Compress,
                          task.source_kind == 0 && current_mode != ConvertMode::Compress && !rotated};
    for (const LookRule& rule : kLookRules) {
        for (const char* name : rule.parts)
            row.show(name, rule.visible(facts));
    }
    setRowProgress(row, 0);
    if (facts.compress && !task.output_path.empty()) {
        std::error_code ec;
        auto size = std::filesystem::file_size(task.output_path, ec);
        if (!ec)
            row.setText("video_size_new", platform::FormatSize(static_cast<std::uint64_t>(size)));
    }
}

}  // namespace mainframe
