#include "mainframe/convert_worker.h"

#include "mainframe/media_probe.h"
#include "platform/process.h"
#include "platform/window_messages.h"

#include <algorithm>
#include <chrono>
#include <filesystem>

namespace mainframe {

using convert::ConvertMode;
using convert::ConvertTask;
using convert::TaskState;

convert::SourceProbe listProbe() {
    return {[](ConvertTask& task) { return ProbeMedia(task); },
            [](ConvertTask& task) { return MakeCover(task); }};
}

JobFactory makeJobFactory(convert::JobOptions options, convert::SpecialSourceOptions special) {
    return [options = std::move(options), special = std::move(special)](ConvertTask* task,
                                                                        platform::MessageTarget* window) {
        return convert::makeJob(task, window, options, special);
    };
}

namespace {

// After the runner has ended: a part whose ffmpeg wrote no "progress=end", or whose
// output holds nothing that plays, failed, even when it left a file behind (the window hears of it a moment
// later from the monitor, too late to keep the next parts from running).
bool partSucceeded(const convert::CUtilTransform& job, const ConvertTask& task) {
    if (auto scan = convert::readProgressFile(job.progressPath()))
        return scan->end && job.outputPlays();
    // The window has handled the job already and its progress file is gone.
    return task.state.load(std::memory_order_acquire) == TaskState::Done;
}

}  // namespace

ConvertWorker::ConvertWorker(platform::MessageTarget* owner, JobFactory factory)
    : owner_(owner), factory_(factory ? std::move(factory) : makeJobFactory()) {
    thread_ = std::thread([this] { threadMain(); });
}

ConvertWorker::~ConvertWorker() {
    Shutdown();
}

void ConvertWorker::Enqueue(ConvertTask* task) {
    std::lock_guard lock(mutex_);
    removed_.erase(std::remove(removed_.begin(), removed_.end(), task), removed_.end());
    queue_.erase(std::remove(queue_.begin(), queue_.end(), task), queue_.end());
    queue_.push_back(task);
}

void ConvertWorker::Remove(ConvertTask* task) {
    {
        std::lock_guard lock(mutex_);
        if (std::find(removed_.begin(), removed_.end(), task) == removed_.end())
            removed_.push_back(task);
    }
    task->state.store(TaskState::Stopped, std::memory_order_release);
    // A probe may be cutting its cover right now.
    task->terminateCover();
    DestroyJob(task);
    std::lock_guard lock(mutex_);
    queue_.erase(std::remove(queue_.begin(), queue_.end(), task), queue_.end());
}

void ConvertWorker::DestroyJob(ConvertTask* task) {
    std::shared_ptr<convert::CUtilTransform> job;
    {
        std::lock_guard lock(jobs_mutex_);
        auto it = jobs_.find(task);
        if (it == jobs_.end())
            return;
        job = std::move(it->second);
        jobs_.erase(it);
    }
    // Outside the lock: stopping waits for the job's threads.
    job->Stop();
}

void ConvertWorker::Wake() {
    {
        std::lock_guard lock(mutex_);
        work_ = true;
    }
    wake_.notify_all();
}

void ConvertWorker::Shutdown() {
    std::lock_guard shutdown_lock(shutdown_mutex_);
    stop_.store(true, std::memory_order_release);
    std::vector<ConvertTask*> queued;
    {
        std::lock_guard lock(mutex_);
        queued.swap(queue_);
    }
    for (ConvertTask* task : queued) {
        // Finished tasks stay queued until removed; they keep their result, so the lists
        // saved after this still show them done (or failed).
        TaskState state = task->state.load(std::memory_order_acquire);
        while (state != TaskState::Done && state != TaskState::Failed &&
               !task->state.compare_exchange_weak(state, TaskState::Stopped, std::memory_order_acq_rel)) {
        }
        DestroyJob(task);
    }
    {
        std::lock_guard lock(mutex_);
        quit_ = true;
    }
    wake_.notify_all();
    if (thread_.joinable())
        thread_.join();
    // Jobs of tasks that were no longer queued (done, failed) but not yet destroyed.
    std::map<const ConvertTask*, std::shared_ptr<convert::CUtilTransform>> left;
    {
        std::lock_guard lock(jobs_mutex_);
        left.swap(jobs_);
    }
    for (auto& [task, job] : left)
        job->Stop();
}

bool ConvertWorker::hasJob(const ConvertTask* task) const {
    std::lock_guard lock(jobs_mutex_);
    return jobs_.count(task) != 0;
}

std::shared_ptr<convert::CUtilTransform> ConvertWorker::job(const ConvertTask* task) const {
    std::lock_guard lock(jobs_mutex_);
    auto it = jobs_.find(task);
    return it == jobs_.end() ? nullptr : it->second;
}

std::vector<ConvertTask*> ConvertWorker::queue() const {
    std::lock_guard lock(mutex_);
    return queue_;
}

std::vector<ConvertTask*> ConvertWorker::removed() const {
    std::lock_guard lock(mutex_);
    return removed_;
}

void ConvertWorker::threadMain() {
    // The jobs' threads and their ffmpeg inherit this: the window stays responsive.
    platform::lowerThreadPriority();
    while (!stop_.load(std::memory_order_acquire)) {
        std::vector<BatchEntry> batch;
        {
            std::unique_lock lock(mutex_);
            wake_.wait(lock, [&] { return work_ || quit_; });
            if (quit_)
                return;
            work_ = false;
            for (ConvertTask* task : queue_) {
                if (stop_.load(std::memory_order_acquire))
                    break;
                // Taking the task and marking it Running happen under the lock, so the
                // window never sees a batch task still Queued after it was taken.
                TaskState expected = TaskState::Queued;
                if (task->state.compare_exchange_strong(expected, TaskState::Running,
                                                        std::memory_order_acq_rel))
                    batch.push_back({task, task->requeued != 0});
            }
        }
        bool merge_failed = false;
        // Retried tasks first, then the others, each in queue order.
        for (bool retried_pass : {true, false}) {
            for (const BatchEntry& entry : batch) {
                if (stop_.load(std::memory_order_acquire))
                    break;
                if (entry.requeued != retried_pass)
                    continue;
                if (entry.task->state.load(std::memory_order_acquire) != TaskState::Running)
                    continue;
                runTask(entry.task, merge_failed);
            }
        }
        if (merge_failed && !stop_.load(std::memory_order_acquire))
            platform::postToMainWindow(*owner_, platform::MainWindowId::WM_MERGE_FAILED);
    }
}

void ConvertWorker::runTask(ConvertTask* task, bool& merge_failed) {
    const bool merge = task->convertMode() == ConvertMode::Merge;
    if (merge_failed && merge) {
        // The merge is off: its remaining parts wait for the next start.
        TaskState expected = TaskState::Running;
        task->state.compare_exchange_strong(expected, TaskState::New, std::memory_order_acq_rel);
        return;
    }
    std::shared_ptr<convert::CUtilTransform> job;
    {
        std::lock_guard lock(jobs_mutex_);
        // Stopped or removed since the batch was taken: the window already let it go.
        if (task->state.load(std::memory_order_acquire) != TaskState::Running)
            return;
        job = factory_(task, owner_);
        jobs_[task] = job;
        job->Start();
    }
    job->waitRunner();
    if (merge) {
        const TaskState state = task->state.load(std::memory_order_acquire);
        if (state == TaskState::Stopped || state == TaskState::Failed) {
            merge_failed = true;
        } else {
            std::error_code ec;
            const auto size = std::filesystem::file_size(task->output_path, ec);
            if (ec || size == 0) {
                task->state.store(TaskState::Failed, std::memory_order_release);
                merge_failed = true;
            } else if (!partSucceeded(*job, *task) || merge_failed) {
                task->state.store(TaskState::Failed, std::memory_order_release);
                merge_failed = true;
            }
        }
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

}  // namespace mainframe
