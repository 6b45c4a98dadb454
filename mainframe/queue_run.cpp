#include "mainframe/queue_run.h"

#include <filesystem>
#include <span>

#include "app/language.h"
#include "convert/command_builder.h"

namespace mainframe {

using convert::TaskState;

namespace {

bool waiting(TaskState state) {
    return state == TaskState::Queued || state == TaskState::Running;
}

// The media a task converts: its clip, else the whole source.
int mediaSeconds(const convert::ConvertTask& task) {
    return convert::isClipped(task) ? task.clip_end - task.clip_start : task.duration;
}

}  // namespace

void QueueRun::queued(const convert::ConvertTask* task, Clock::time_point) {
    if (tasks_.empty())
        eta_.reset();
    tasks_[task] = Entry{};
}

void QueueRun::progress(const convert::ConvertTask* task, int percent, Clock::time_point now) {
    auto it = tasks_.find(task);
    if (it == tasks_.end())
        return;
    it->second.percent = percent < 0 ? 0 : percent > 100 ? 100 : percent;
    it->second.eta.update(it->second.percent, now);
    eta_.update(mediaPercent(), now);
}

double QueueRun::mediaPercent() const {
    // A task of unknown length (not probed yet) weighs as much as the known ones on average.
    double known = 0;
    int known_count = 0;
    for (const auto& [task, entry] : tasks_) {
        if (const int seconds = mediaSeconds(*task); seconds > 0) {
            known += seconds;
            ++known_count;
        }
    }
    const double unknown_weight = known_count ? known / known_count : 1;
    double total = 0, done = 0;
    for (const auto& [task, entry] : tasks_) {
        const int seconds = mediaSeconds(*task);
        const double weight = seconds > 0 ? seconds : unknown_weight;
        total += weight;
        done += waiting(task->state.load(std::memory_order_acquire)) ? weight * entry.percent / 100 : weight;
    }
    return total > 0 ? 100 * done / total : 0;
}

int QueueRun::percent() const {
    if (tasks_.empty())
        return -1;
    long sum = 0;
    for (const auto& [task, entry] : tasks_)
        sum += waiting(task->state.load(std::memory_order_acquire)) ? entry.percent : 100;
    return static_cast<int>(sum / static_cast<long>(tasks_.size()));
}

std::optional<int> QueueRun::taskSecondsLeft(const convert::ConvertTask* task, Clock::time_point now) const {
    auto it = tasks_.find(task);
    if (it == tasks_.end() || task->state.load(std::memory_order_acquire) != TaskState::Running)
        return std::nullopt;
    return it->second.eta.secondsLeft(now);
}

std::optional<int> QueueRun::secondsLeft(Clock::time_point now) const {
    if (tasks_.empty())
        return std::nullopt;
    return eta_.secondsLeft(now);
}

std::string QueueRun::statusText(Clock::time_point now) const {
    const int p = percent();
    if (p < 0)
        return {};
    std::string text = std::to_string(p) + "%";
    if (std::optional<int> left = secondsLeft(now)) {
        const std::string clock = clockText(*left);
        text += " · " +
                app::fillTextFormat(app::getText("TitleTimeLeft"), std::span<const std::string>(&clock, 1));
    }
    return text;
}

void showRowTimeLeft(RowModel& row, std::optional<int> seconds) {
    RowPart& label = row.part("label_time_left");
    label.visible = seconds.has_value();
    if (seconds) {
        const std::string clock = clockText(*seconds);
        label.text = app::fillTextFormat(app::getText("TimeLeft"), std::span<const std::string>(&clock, 1));
    }
}

std::optional<QueueRun::Summary> QueueRun::finishIfIdle() {
    if (tasks_.empty())
        return std::nullopt;
    Summary summary;
    for (const auto& [task, percent] : tasks_) {
        const TaskState state = task->state.load(std::memory_order_acquire);
        if (waiting(state))
            return std::nullopt;
        if (state == TaskState::Done)
            ++summary.succeeded;
        else if (state == TaskState::Failed)
            ++summary.failed;
        else
            ++summary.stopped;
    }
    tasks_.clear();
    return summary;
}

bool removePartialOutput(const convert::ConvertTask& task) {
    if (task.output_path.empty() || task.state.load(std::memory_order_acquire) == TaskState::Done)
        return false;
    std::error_code ec;
    return std::filesystem::remove(task.output_path, ec);
}

}  // namespace mainframe
