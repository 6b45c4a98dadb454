#include "mainframe/task_lists.h"

#include "app/cd_dat.h"
#include "app/path_ini.h"
#include "convert/target_formats.h"
#include "mainframe/row_look.h"
#include "platform/files.h"
#include "platform/folders.h"
#include "platform/strings.h"

#include <algorithm>
#include <set>

namespace mainframe {

using convert::ConvertMode;
using convert::ConvertTask;
using convert::TaskState;

namespace {

std::string configured(int key, const std::string& builtin) {
    std::string value = app::cddat::supportFormat(key);
    if (value.size() > 259)
        value.resize(259);
    return value.empty() ? builtin : value;
}

}  // namespace

FileFilter fileFilter(ConvertMode mode) {
    // cd.dat keys 1 and 2 replace the video filter's texts, 3 and 4 the audio filter's.
    const int first_key = convert::modeInfo(mode).audio_sources ? 3 : 1;
    std::string description, patterns;
    for (std::string_view ext : convert::sourceExtensions(mode)) {
        description += (description.empty() ? "" : "/") + platform::upper(ext);
        patterns += "*." + std::string(ext) + ";";
    }
    return {configured(first_key, "(" + description + ")"), configured(first_key + 1, patterns)};
}

std::string fileDialogFilter(ConvertMode mode, const TextLookup& texts) {
    const FileFilter filter = fileFilter(mode);
    std::string text =
        texts ? texts(mode == ConvertMode::Audio2 ? "FilterAudio" : "FilterVideo", "Text") : "";
    std::string out = text + filter.description;
    out += '\0';
    out += filter.patterns;
    out += '\0';
    out += '\0';
    return out;
}

bool dropAccepted(std::string_view path, std::string_view patterns) {
    const std::size_t slash = path.find_last_of('/');
    const std::string_view file = slash == std::string_view::npos ? path : path.substr(slash + 1);
    const std::size_t dot = file.find_last_of('.');
    if (dot == std::string_view::npos)
        return false;
    const std::string ext = platform::lower(file.substr(dot));
    return patterns.find("*" + ext + ";") != std::string_view::npos;
}

TaskLists::TaskLists(TargetSelection& selection, Hooks hooks)
    : selection_(selection), hooks_(std::move(hooks)) {}

TaskLists::~TaskLists() = default;

void TaskLists::setMode(ConvertMode mode) {
    mode_ = mode;
    selection_.rebuildButtons(mode);
}

std::vector<RowModel*> TaskLists::rows(ConvertMode mode) const {
    std::vector<RowModel*> out;
    for (const auto& row : lists_[static_cast<std::size_t>(mode)])
        out.push_back(row.get());
    return out;
}

std::vector<ConvertTask*> TaskLists::AddPaths(const std::vector<std::string>& paths, const Prepare& prepare) {
    std::vector<ConvertTask*> added;
    const bool refuse_special = !convert::modeInfo(mode_).takes_special_sources;
    for (std::size_t i = 0; i < paths.size(); ++i) {
        auto task = std::make_unique<ConvertTask>(paths[i], mode_, selection_.compressLevel());
        if (refuse_special && task->source_kind != 0)
            continue;  // nobody else has seen it: freed here
        // New tasks take the mode's current preset, which their rows show.
        task->preset_index = selection_.preset(mode_);
        const std::optional<convert::TargetChoice> target = prepare ? prepare(i, *task) : std::nullopt;
        auto row = std::make_unique<RowModel>(task.get());
        row->added_clip = {task->clip_start, task->clip_end,   task->crop_x,
                           task->crop_y,     task->crop_width, task->crop_height};
        selection_.fillNewRow(*row, mode_);
        if (target) {
            row->target = *target;
            selection_.renderTarget(*row, false);
        }
        applyRowLook(*row, true, mode_);
        task->row = row.get();
        list(mode_).push_back(std::move(row));
        added.push_back(task.get());
        tasks_.push_back(std::move(task));
    }
    if (!added.empty() && hooks_.add_probe_batch)
        hooks_.add_probe_batch(added);
    return added;
}

TaskLists::DropResult TaskLists::drop(const std::vector<std::string>& paths) {
    const FileFilter filter = fileFilter(mode_);
    std::vector<std::string> accepted;
    for (const std::string& path : paths) {
        if (path.size() <= 259 * 4 && dropAccepted(path, filter.patterns))
            accepted.push_back(path);
    }
    DropResult result;
    if (accepted.empty()) {
        result.no_support = true;
        return result;
    }
    result.added = AddPaths(accepted);
    return result;
}

bool TaskLists::remove(ConvertTask* task) {
    RowModel* row = rowOf(task);
    if (!row)
        return false;
    if (hooks_.remove_task)
        hooks_.remove_task(task);
    task->row = nullptr;
    RowList& rows = list(task->convertMode());
    rows.erase(std::remove_if(rows.begin(), rows.end(), [&](const auto& r) { return r.get() == row; }),
               rows.end());
    return true;
}

void TaskLists::clear() {
    if (hooks_.skip_probe_batch)
        hooks_.skip_probe_batch();
    RowList& rows = list(mode_);
    for (auto& row : rows) {
        if (hooks_.remove_task)
            hooks_.remove_task(row->task());
        row->task()->row = nullptr;
    }
    rows.clear();
    platform::deleteFilesIn(platform::coverDir());
}

bool TaskLists::move(ConvertTask* task, int delta) {
    RowModel* row = rowOf(task);
    if (!row || task->convertMode() != ConvertMode::Merge)
        return false;
    RowList& rows = list(ConvertMode::Merge);
    auto it = std::find_if(rows.begin(), rows.end(), [&](const auto& r) { return r.get() == row; });
    const auto at = it - rows.begin();
    const auto to = at + delta;
    if (to < 0 || to >= static_cast<std::ptrdiff_t>(rows.size()))
        return false;
    std::swap(rows[static_cast<std::size_t>(at)], rows[static_cast<std::size_t>(to)]);
    return true;
}

bool TaskLists::moveUp(ConvertTask* task) {
    return move(task, -1);
}
bool TaskLists::moveDown(ConvertTask* task) {
    return move(task, 1);
}

std::string TaskLists::initOutputFolder() {
    output_folder_ = platform::withSlash(app::readOutputPath().string());
    platform::ensureDir(output_folder_);
    return output_folder_;
}

bool TaskLists::chooseOutputFolder(const std::string& folder) {
    output_folder_ = platform::withSlash(folder);
    return app::writeOutputPath(output_folder_);
}

std::string TaskLists::prepareOutputFolder() {
    if (output_folder_.empty())
        return initOutputFolder();
    platform::ensureDir(output_folder_);
    return output_folder_;
}

std::vector<ConvertTask*> TaskLists::allTasks() const {
    std::vector<ConvertTask*> out;
    for (const auto& task : tasks_)
        out.push_back(task.get());
    return out;
}

std::string TaskLists::checkConsistency(const std::vector<ConvertTask*>& queue,
                                        const std::vector<ConvertTask*>& removed) const {
    std::set<const ConvertTask*> listed, removed_set(removed.begin(), removed.end()),
        queued(queue.begin(), queue.end());
    if (queued.size() != queue.size())
        return "a task is in the queue twice";
    if (removed_set.size() != removed.size())
        return "a task is in the removed list twice";
    for (std::size_t m = 0; m < lists_.size(); ++m) {
        for (const auto& row : lists_[m]) {
            const ConvertTask* task = row->task();
            if (!listed.insert(task).second)
                return "task " + task->unique_id + " is in two lists";
            if (static_cast<std::size_t>(task->mode) != m)
                return "task " + task->unique_id + " is in another mode's list";
            if (task->row != row.get())
                return "task " + task->unique_id + " does not point at its row";
            if (removed_set.count(task))
                return "task " + task->unique_id + " is listed and removed";
        }
    }
    for (const auto& owned : tasks_) {
        const ConvertTask* task = owned.get();
        const TaskState state = task->state.load(std::memory_order_acquire);
        const bool in_list = listed.count(task) != 0;
        const bool in_removed = removed_set.count(task) != 0;
        if (in_list == in_removed)
            return "task " + task->unique_id + " is in no list and not removed";
        if (in_removed) {
            if (task->row)
                return "removed task " + task->unique_id + " still has a row";
            if (state != TaskState::Stopped)
                return "removed task " + task->unique_id + " is not Stopped";
            if (queued.count(task))
                return "removed task " + task->unique_id + " is still queued";
        }
        if ((state == TaskState::Queued || state == TaskState::Running) && !queued.count(task))
            return "task " + task->unique_id + " is Queued/Running but not in the queue";
    }
    for (const ConvertTask* task : queue) {
        if (std::none_of(tasks_.begin(), tasks_.end(), [&](const auto& t) { return t.get() == task; }))
            return "the queue holds a task the lists never made";
    }
    return {};
}

}  // namespace mainframe
