#include "mainframe/queue_run.h"

#include <cstdio>
#include <filesystem>

namespace mainframe {

using convert::TaskState;

namespace {

bool waiting(TaskState state) {
    return state == TaskState::Queued || state == TaskState::Running;
}

}  // namespace

void QueueRun::queued(const convert::ConvertTask* task, Clock::time_point now) {
    if (tasks_.empty())
        started_ = now;
    tasks_[task] = 0;
}

void QueueRun::progress(const convert::ConvertTask* task, int percent) {
    auto it = tasks_.find(task);
    if (it != tasks_.end())
        it->second = percent < 0 ? 0 : percent > 100 ? 100 : percent;
}

int QueueRun::percent() const {
    if (tasks_.empty())
        return -1;
    long sum = 0;
    for (const auto& [task, percent] : tasks_)
        sum += waiting(task->state.load(std::memory_order_acquire)) ? percent : 100;
    return static_cast<int>(sum / static_cast<long>(tasks_.size()));
}

std::optional<int> QueueRun::secondsLeft(Clock::time_point now) const {
    const int p = percent();
    if (p <= 0)
        return std::nullopt;
    const double elapsed = std::chrono::duration<double>(now - started_).count();
    return static_cast<int>(elapsed * (100 - p) / p + 0.5);
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

std::string formatDuration(int seconds) {
    if (seconds < 0)
        seconds = 0;
    char buf[32];
    if (seconds >= 3600)
        std::snprintf(buf, sizeof buf, "%d:%02d:%02d", seconds / 3600, seconds / 60 % 60, seconds % 60);
    else
        std::snprintf(buf, sizeof buf, "%d:%02d", seconds / 60, seconds % 60);
    return buf;
}

}  // namespace mainframe
