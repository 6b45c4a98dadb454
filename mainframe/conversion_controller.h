#pragma once
// What the main window does with the conversion list, without drawing it: start,
// retry and stop, the messages of the jobs and of the conversion thread, the merge
// completion with its MergeRequest, active_count and power-off. The window (or the
// CLI) dispatches its messages to handleMessage() on its own thread; the dialogs are
// answered through Prompts, so tests drive it like a user.

#include "convert/convert_task.h"
#include "convert/merge_join.h"
#include "mainframe/convert_worker.h"
#include "mainframe/target_selection.h"
#include "mainframe/task_lists.h"
#include "platform/message_target.h"

#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace mainframe {

struct Prompts {
    // A Yes/No question by language key ("ConfirmStop", "TransformSuccess",
    // "ConfirmClose"); `arg` fills its "%s". Empty: the answer is Yes.
    std::function<bool(std::string_view key, const std::string& arg)> ask;
    // A message by language key ("MergeNeed2Video", "CannotRecode", "MergeError2",
    // "WaitForConver").
    std::function<void(std::string_view key, const std::string& arg)> show;
    // The merge dialog, modal: joins the request and returns its result (1 success,
    // 0 failure, stop or close).
    std::function<int(const convert::MergeRequest& request)> run_merge;
    // Opens the output folder after a successful merge when the user says Yes.
    std::function<void(const std::string& folder)> open_folder;
    // A conversion ended: success or failure with the task's source and target
    // extensions (the usage summary).
    std::function<void(bool success, const std::string& source_ext, const std::string& target_ext)> record;
    // The run log ("[视频合并]..." lines).
    std::function<void(const std::string& line)> log;
};

class ConversionController {
public:
    // None of the objects is owned; `self` is the window's own message target (posts
    // WM_MERGE_CHECK to itself), normally the one the worker's jobs post to.
    ConversionController(TaskLists& lists, TargetSelection& selection, ConvertWorker& worker,
                         platform::MessageTarget* self, Prompts prompts);

    // "btn_transform": queues the current list's waiting tasks.
    void start();
    // "btn_re_recode": queues the task again (first in the next batch).
    void retry(convert::ConvertTask* task);
    // "btn_stop_recode": after "ConfirmStop", stops the task. False when not stopped.
    bool stop(convert::ConvertTask* task);
    // A format or compression menu item of the current mode (the merge guard shows
    // "WaitForConver").
    void chooseMenuItem(std::string_view item);
    // "btn_del_video": after "RemoveVideo" (with the task's name), removes the row.
    bool removeTask(convert::ConvertTask* task);
    // "btn_clear_list": after "ClearVideo", clears the current list.
    bool clearList();
    // The language key of "btn_transform" in `mode`.
    static std::string_view startButtonKey(convert::ConvertMode mode);
    // "btnClose": true when the window may close (asks "ConfirmClose" while a row of
    // any list converts).
    bool confirmClose();

    // Handles the main window's messages of the conversion list (9024 to 9028, 9031);
    // false for any other.
    bool handleMessage(const platform::Message& message);

    // The request of the merge list when every part is Done; nothing otherwise.
    std::optional<convert::MergeRequest> buildMergeRequest() const;

    void setPowerOff(bool on) { power_off_ = on; }
    int activeCount() const { return active_count_; }
    bool mergeDialogOpen() const { return merge_dialog_open_; }
    // Runs the lists' consistency check against the worker's queue and removed list.
    std::string checkConsistency() const;

private:
    void queueTask(RowModel& row, const std::string& folder);
    void onProgress(convert::ConvertTask* task, int percent);
    void onFailure(convert::ConvertTask* task, bool start_failed);
    void onMergeFailed();
    void onMergeCheck();
    bool ask(std::string_view key, const std::string& arg = {}) const;
    void show(std::string_view key, const std::string& arg = {}) const;

    TaskLists& lists_;
    TargetSelection& selection_;
    ConvertWorker& worker_;
    platform::MessageTarget* const self_;
    Prompts prompts_;
    int active_count_ = 0;
    bool power_off_ = false;
    bool merge_dialog_open_ = false;
};

}  // namespace mainframe
