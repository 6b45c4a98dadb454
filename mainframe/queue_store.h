#pragma once
// The six lists kept on disk, so they come back after a crash or a restart: one JSON
// state file in the data folder, written atomically whenever a list changes. A task
// that was queued or running when the program died comes back stopped, with the
// partial output of its job removed; a damaged or foreign state file is set aside,
// never read half.

#include "convert/convert_task.h"
#include "convert/target_formats.h"

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace mainframe {

class TaskLists;

// One task as the state file keeps it: what the user chose, not what the probe learns
// (the restored task is probed again).
struct SavedTask {
    std::string source;  // the file as the user added it
    convert::ConvertMode mode = convert::ConvertMode::Video;
    std::string output_name;
    convert::TargetChoice target;
    std::int32_t compress_level = 0;
    std::int32_t clip_start = 0, clip_end = 0;  // both 0: the whole file
    std::int32_t crop_x = 0, crop_y = 0, crop_width = 0, crop_height = 0;
    bool keep_ratio = true;
    float speed = 1.0f;
    float volume = 1.0f;
    convert::TaskState state = convert::TaskState::New;
    std::string output_path;  // set once a job started
};

struct SavedQueue {
    convert::ConvertMode current_mode = convert::ConvertMode::Video;
    std::vector<SavedTask> tasks;  // list order within each mode
};

std::string queueToJson(const SavedQueue& queue);
// Nothing when the text is not a state file of this program (`error` says why).
std::optional<SavedQueue> queueFromJson(std::string_view text, std::string* error = nullptr);

// The lists as the state file keeps them (removed tasks are not kept).
SavedQueue snapshotQueue(const TaskLists& lists);

class QueueStore {
public:
    // dataDir()/"queue.json" unless told otherwise.
    explicit QueueStore(std::filesystem::path file = {});

    const std::filesystem::path& file() const { return file_; }

    // Writes the state atomically; false when the data folder is not writable.
    bool save(const SavedQueue& queue) const;
    // The same with the state already in text (queueToJson).
    bool save(const std::string& json) const;

    struct Loaded {
        SavedQueue queue;
        // Where a damaged state file was moved; empty when there was none.
        std::filesystem::path set_aside;
        int missing_sources = 0;  // tasks dropped because their file is gone
    };
    // Reads the state left by the last run. Unfinished tasks come back New, to be
    // probed again; the output a queued or running job had begun is deleted; merge
    // parts are prepared again.
    Loaded load() const;

private:
    std::filesystem::path file_;
};

// Adds the saved tasks to the lists in their modes with their choices and states and
// hands them to the probe; the lists end in the saved current mode.
void restoreQueue(TaskLists& lists, const SavedQueue& queue);

}  // namespace mainframe
