#include "mainframe/conversion_controller.h"

#include "convert/command_builder.h"
#include "mainframe/row_look.h"
#include "platform/process.h"
#include "platform/window_messages.h"

#include <filesystem>

namespace mainframe {

using convert::ConvertMode;
using convert::ConvertTask;
using convert::TaskState;
using platform::MainWindowId;

ConversionController::ConversionController(TaskLists& lists, TargetSelection& selection,
                                           ConvertWorker& worker, platform::MessageTarget* self,
                                           Prompts prompts)
    : lists_(lists), selection_(selection), worker_(worker), self_(self), prompts_(std::move(prompts)) {}

bool ConversionController::ask(std::string_view key, const std::string& arg) const {
    return prompts_.ask ? prompts_.ask(key, arg) : true;
}

void ConversionController::show(std::string_view key, const std::string& arg) const {
    if (prompts_.show)
        prompts_.show(key, arg);
}

void ConversionController::queueTask(RowModel& row, const std::string& folder) {
    ConvertTask* task = row.task();
    TargetSelection::copyIntoTask(row);
    task->output_folder = folder;
    task->state.store(TaskState::Queued, std::memory_order_release);
    applyRowLook(row, false, lists_.mode());
    worker_.Enqueue(task);
    ++active_count_;
}

void ConversionController::start() {
    const std::vector<RowModel*> rows = lists_.rows();
    if (rows.empty())
        return;
    if (lists_.mode() == ConvertMode::Merge && rows.size() < 2) {
        show("MergeNeed2Video");
        return;
    }
    const std::string folder = lists_.prepareOutputFolder();
    int queued = 0;
    for (RowModel* row : rows) {
        const TaskState state = row->task()->state.load(std::memory_order_acquire);
        if (state != TaskState::New && state != TaskState::Stopped && state != TaskState::Failed)
            continue;
        queueTask(*row, folder);
        ++queued;
    }
    if (lists_.mode() == ConvertMode::Merge && queued == 0) {
        platform::postToMainWindow(*self_,
                                   MainWindowId::WM_MERGE_CHECK);  // every part is ready: the join starts
        return;
    }
    worker_.Wake();
}

void ConversionController::retry(ConvertTask* task) {
    RowModel* row = TaskLists::rowOf(task);
    if (!row)
        return;
    // The retry button shows only on idle rows; a task already waiting or converting
    // would otherwise be run twice at once.
    const TaskState state = task->state.load(std::memory_order_acquire);
    if (state == TaskState::Queued || state == TaskState::Running)
        return;
    const std::string folder = lists_.prepareOutputFolder();
    task->requeued = 1;
    queueTask(*row, folder);
    worker_.Wake();
}

bool ConversionController::stop(ConvertTask* task) {
    RowModel* row = TaskLists::rowOf(task);
    if (!row || !ask("ConfirmStop"))
        return false;
    task->state.store(TaskState::Stopped, std::memory_order_release);
    worker_.DestroyJob(task);
    applyRowLook(*row, true, lists_.mode());
    return true;
}

void ConversionController::chooseMenuItem(std::string_view item) {
    if (TargetSelection::isCompressItem(item)) {
        if (lists_.mode() == ConvertMode::Compress)
            selection_.chooseCompress(item, lists_.rows(ConvertMode::Compress));
        return;
    }
    if (!TargetSelection::isFormatItem(item))
        return;
    if (selection_.chooseFormat(lists_.mode(), item, lists_.rows()) ==
        TargetSelection::Outcome::WaitForConver)
        show("WaitForConver");
}

bool ConversionController::removeTask(ConvertTask* task) {
    if (!task || !task->row || !ask("RemoveVideo", task->name))
        return false;
    return lists_.remove(task);
}

bool ConversionController::clearList() {
    if (!ask("ClearVideo"))
        return false;
    lists_.clear();
    return true;
}

std::string_view ConversionController::startButtonKey(ConvertMode mode) {
    if (mode == ConvertMode::Audio)
        return "BtnExtractTxt";
    if (mode == ConvertMode::Merge)
        return "BtnMergeTxt";
    return "BtnConverTxt";
}

bool ConversionController::confirmClose() {
    for (ConvertMode mode : {ConvertMode::Video, ConvertMode::Audio2, ConvertMode::Audio, ConvertMode::Gif,
                             ConvertMode::Merge, ConvertMode::Compress}) {
        for (RowModel* row : lists_.rows(mode)) {
            if (row->converting())
                return ask("ConfirmClose");
        }
    }
    return true;
}

bool ConversionController::handleMessage(const platform::Message& raw) {
    const platform::MainWindowMessage message(raw);
    ConvertTask* task = platform::taskOf(message);
    switch (message.id()) {
        case MainWindowId::WM_CONVERT_PROGRESS:
            onProgress(task, platform::progressPercent(message));
            return true;
        case MainWindowId::WM_CONVERT_START_FAILED:
            onFailure(task, true);
            return true;
        case MainWindowId::WM_CONVERT_FAILED:
            onFailure(task, false);
            return true;
        case MainWindowId::WM_TASK_INFO_READY:
            if (task && task->row) {
                RowModel& row = *TaskLists::rowOf(task);
                showSourceFacts(row);
                selection_.applyProbeResult(row);
            }
            return true;
        case MainWindowId::WM_MERGE_CHECK:
            onMergeCheck();
            return true;
        case MainWindowId::WM_MERGE_FAILED:
            onMergeFailed();
            return true;
        default:  // the window's other messages (the update check) are not the list's
            return false;
    }
}

void ConversionController::onProgress(ConvertTask* task, int percent) {
    if (!task || !worker_.hasJob(task))
        return;
    if (percent > 100)
        percent %= 100;
    RowModel* row = TaskLists::rowOf(task);
    if (row)
        setRowProgress(*row, percent);
    if (percent != 100)
        return;
    task->state.store(TaskState::Done, std::memory_order_release);
    if (row)
        applyRowLook(*row, true, lists_.mode());
    worker_.DestroyJob(task);
    if (prompts_.record)
        prompts_.record(true, task->source_ext, task->target_ext);
    if (task->convertMode() == ConvertMode::Merge)
        platform::postToMainWindow(*self_, MainWindowId::WM_MERGE_CHECK);
    if (active_count_-- == 1 && power_off_)
        platform::powerOff();
}

void ConversionController::onFailure(ConvertTask* task, bool start_failed) {
    if (!task || !task->row)
        return;
    task->state.store(TaskState::Failed, std::memory_order_release);
    applyRowLook(*TaskLists::rowOf(task), true, lists_.mode());
    worker_.DestroyJob(task);
    if (prompts_.record)
        prompts_.record(false, task->source_ext, task->target_ext);
    if (start_failed)
        show("CannotRecode", task->name + "." + task->source_ext);
}

void ConversionController::onMergeFailed() {
    show("MergeError2");
    for (RowModel* row : lists_.rows(ConvertMode::Merge))
        applyRowLook(*row, true, lists_.mode());
}

std::optional<convert::MergeRequest> ConversionController::buildMergeRequest() const {
    const std::vector<RowModel*> rows = lists_.rows(ConvertMode::Merge);
    if (rows.empty())
        return std::nullopt;
    for (RowModel* row : rows) {
        if (!row->task() || row->task()->state.load(std::memory_order_acquire) != TaskState::Done)
            return std::nullopt;
    }
    convert::MergeRequest request;
    for (RowModel* row : rows) {
        const ConvertTask& task = *row->task();
        request.target_ext = task.target_ext;
        request.inputs.push_back(task.output_path);
        if (!std::filesystem::exists(task.output_path) && prompts_.log)
            prompts_.log("[视频合并]：有完成后文件不存在的视频\r\n");
        request.total_duration += convert::isClipped(task) ? task.clip_end - task.clip_start : task.duration;
    }
    request.output_folder = lists_.outputFolder();
    return request;
}

void ConversionController::onMergeCheck() {
    if (merge_dialog_open_)
        return;
    std::optional<convert::MergeRequest> request = buildMergeRequest();
    if (!request)
        return;
    merge_dialog_open_ = true;
    const int result = prompts_.run_merge ? prompts_.run_merge(*request) : 0;
    merge_dialog_open_ = false;
    if (result == 1 && ask("TransformSuccess") && prompts_.open_folder)
        prompts_.open_folder(request->output_folder);
}

std::string ConversionController::checkConsistency() const {
    return lists_.checkConsistency(worker_.queue(), worker_.removed());
}

}  // namespace mainframe
