#pragma once
// The six lists of the main window as a model: tasks and their rows per ConvertMode,
// adding (file dialog, drop), removing, clearing, the merge order, and the output
// folder. Runs on the window's thread; the probe and the conversion queue are reached
// through the hooks, so the lists never free a task another thread may hold: every
// task lives until the TaskLists object is destroyed (after both threads stopped).

#include "convert/convert_task.h"
#include "mainframe/row_model.h"
#include "mainframe/target_selection.h"

#include <array>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace mainframe {

// The file filter of a mode: "audio" in mode Audio2, "video" in all others, each text
// replaced by its cd.dat value when that is present and non-empty.
struct FileFilter {
    std::string description;  // "(MP4/MKV/...)"
    std::string patterns;     // "*.mp4;*.mkv;...;"
};
FileFilter fileFilter(convert::ConvertMode mode);

// The filter string of the open-file dialog: text + description, NUL, patterns, two NULs.
std::string fileDialogFilter(convert::ConvertMode mode, const TextLookup& texts);

// A dropped path is accepted when "*" + its lower-cased extension + ";" occurs in the
// pattern list. Paths without an extension are refused.
bool dropAccepted(std::string_view path, std::string_view patterns);

class TaskLists {
public:
    struct Hooks {
        std::function<void(const std::vector<convert::ConvertTask*>&)> add_probe_batch;  // AddProbeBatch
        std::function<void()> skip_probe_batch;                                          // SkipProbeBatch
        std::function<void(convert::ConvertTask*)> remove_task;  // ConvertWorker::Remove
    };

    // `selection` is not owned and must outlive the lists.
    TaskLists(TargetSelection& selection, Hooks hooks);
    ~TaskLists();
    TaskLists(const TaskLists&) = delete;
    TaskLists& operator=(const TaskLists&) = delete;

    convert::ConvertMode mode() const { return mode_; }
    // The mode switch: the buttons take the new mode's selection.
    void setMode(convert::ConvertMode mode);

    std::vector<RowModel*> rows(convert::ConvertMode mode) const;
    std::vector<RowModel*> rows() const { return rows(mode_); }
    static RowModel* rowOf(const convert::ConvertTask* task) { return static_cast<RowModel*>(task->row); }
    // "empty_frame" shows while the current list is empty, "no_empty_frame" otherwise.
    bool emptyFrameVisible() const { return rows(mode_).empty(); }

    // Creates a task and a row per path in the current mode and hands the new tasks to
    // the probe as one batch. Special sources (qsv, kux, qlv) are dropped silently in
    // modes Audio2, Audio and Merge. Returns the tasks added. `prepare`, when given,
    // sees each new task (with the index of its path) before its row is made and may
    // set its fields and return the row's target instead of the mode's choice.
    using Prepare =
        std::function<std::optional<convert::TargetChoice>(std::size_t index, convert::ConvertTask& task)>;
    std::vector<convert::ConvertTask*> AddPaths(const std::vector<std::string>& paths,
                                                const Prepare& prepare = {});

    // Drop on the window: adds the accepted paths. `no_support` when none was accepted
    // (the window then shows "NoSupport").
    struct DropResult {
        std::vector<convert::ConvertTask*> added;
        bool no_support = false;
    };
    DropResult drop(const std::vector<std::string>& paths);

    // Removes the task's row (after the user agreed): the task goes to the conversion
    // queue's removed list and keeps living. False when it has no row.
    bool remove(convert::ConvertTask* task);
    // Clears the current list: the pending probe batch is skipped, every task removed,
    // and every cover picture deleted (those of the other lists too).
    void clear();
    // The merge order: one place up or down; false when not possible.
    bool moveUp(convert::ConvertTask* task);
    bool moveDown(convert::ConvertTask* task);

    // The output folder: path.ini, else documents/QuorinVideoConverter/; created. Its
    // text is the "edit_output_path" edit, ending in '/'.
    std::string initOutputFolder();
    const std::string& outputFolder() const { return output_folder_; }
    // The folder browser's choice: stored in path.ini and shown. False when path.ini
    // could not be written (the folder is shown all the same).
    bool chooseOutputFolder(const std::string& folder);
    // Start and retry read the edit and create the folder; the text ends in '/'.
    std::string prepareOutputFolder();

    // Every task the lists made (in a list or removed).
    std::vector<convert::ConvertTask*> allTasks() const;

    // The lists' invariant against the conversion queue: every task is in exactly one
    // list (whose mode it has, linked both ways with its row) or, with no row, in the
    // removed list; removed tasks are Stopped and out of the queue; Queued and Running
    // tasks are in the queue. Returns the first fault found, empty when consistent.
    std::string checkConsistency(const std::vector<convert::ConvertTask*>& queue,
                                 const std::vector<convert::ConvertTask*>& removed) const;

private:
    using RowList = std::vector<std::unique_ptr<RowModel>>;
    RowList& list(convert::ConvertMode mode) { return lists_[static_cast<std::size_t>(mode)]; }
    bool move(convert::ConvertTask* task, int delta);

    TargetSelection& selection_;
    Hooks hooks_;
    convert::ConvertMode mode_ = convert::ConvertMode::Video;
    std::array<RowList, 6> lists_;
    std::vector<std::unique_ptr<convert::ConvertTask>> tasks_;
    std::string output_folder_;
};

}  // namespace mainframe
