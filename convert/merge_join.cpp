#include "convert/merge_join.h"

#include "convert/merge_list.h"
#include "convert/util_transform.h"
#include "platform/folders.h"
#include "platform/process.h"
#include "platform/time.h"

#include <algorithm>
#include <chrono>
#include <fstream>

namespace convert {

namespace fs = std::filesystem;

MergeJoin::MergeJoin(MergeRequest request, platform::MessageTarget* dialog, MergeOptions options)
    : request_(std::move(request)), dialog_(dialog), options_(std::move(options)) {
    work_dir_ = platform::workDir();
    scratch_dir_ = platform::scratchDir();
    progress_path_ = platform::logDir() / ("merge_" + std::to_string(platform::nowMicros()));
    list_path_ = work_dir_ / (std::to_string(platform::nowMicros()) + ".txt");
    std::string folder = request_.output_folder;
    // Joined by concatenation; a folder typed without its separator still means the folder.
    if (!folder.empty() && folder.back() != '/')
        folder += '/';
    merged_path_ = folder + options_.merge_file_name + "_" + std::to_string(platform::nowMicros()) + "." +
                   request_.target_ext;
}

MergeJoin::~MergeJoin() {
    Stop();
}

void MergeJoin::Start() {
    if (!dialog_ || runner_.joinable())
        return;
    std::error_code ec;
    fs::remove(progress_path_, ec);
    runner_running_.store(true, std::memory_order_release);
    runner_ = std::thread([this] { runnerMain(); });
    monitor_ = std::thread([this] { monitorMain(); });
}

void MergeJoin::Stop() {
    std::lock_guard stop_lock(stop_mutex_);
    {
        std::lock_guard lock(wake_mutex_);
        stop_.store(true, std::memory_order_release);
    }
    wake_.notify_all();
    {
        std::lock_guard lock(mutex_);
        if (child_)
            child_->terminate();
    }
    if (runner_.joinable())
        runner_.join();
    if (monitor_.joinable())
        monitor_.join();
}

std::string MergeJoin::commandText() const {
    std::lock_guard lock(mutex_);
    return command_text_;
}

bool MergeJoin::post(std::uint32_t id, platform::WParam wparam) {
    std::lock_guard lock(wake_mutex_);
    if (stop_.load(std::memory_order_acquire))
        return false;
    return dialog_->post(id, wparam, 0);
}

bool MergeJoin::sleepInterruptibly(int timeout_ms) {
    std::unique_lock lock(wake_mutex_);
    return wake_.wait_for(lock, std::chrono::milliseconds(timeout_ms),
                          [&] { return stop_.load(std::memory_order_acquire); });
}

void MergeJoin::runnerMain() {
    auto finish = [&] {
        {
            std::lock_guard lock(wake_mutex_);
            runner_running_.store(false, std::memory_order_release);
        }
        wake_.notify_all();
    };
    if (stopping())
        return finish();
    // ffmpeg 5.1 treats a part it cannot open as the end of the list and reports
    // success with a shorter file; a missing part must fail the join instead.
    for (const std::string& input : request_.inputs) {
        std::error_code ec;
        if (!fs::is_regular_file(input, ec)) {
            exit_code_.store(-1, std::memory_order_release);
            return finish();  // the monitor sees no progress and reports the failure
        }
    }
    if (!writeConcatList(list_path_, request_.inputs)) {
        exit_code_.store(-1, std::memory_order_release);
        return finish();  // the monitor sees no progress and reports the failure
    }
    platform::CommandLine command = buildMergeCommand(progress_path_.string(), list_path_.string(),
                                                      merged_path_.string(), options_.program);
    if (options_.log)
        options_.log(command.display());
    platform::StartOptions start;
    start.working_dir = scratch_dir_;
    std::shared_ptr<platform::Process> child;
    {
        std::lock_guard lock(mutex_);
        command_text_ = command.display();
        if (!stopping())
            child = platform::Process::start(command, start);
        child_ = child;
    }
    if (!child) {
        exit_code_.store(-1, std::memory_order_release);
        post(WM_MERGE_JOIN_FAILED, 0);
        // The monitor must not report the same failure a second time.
        {
            std::lock_guard lock(wake_mutex_);
            stop_.store(true, std::memory_order_release);
        }
        return finish();
    }
    exit_code_.store(child->wait(), std::memory_order_release);
    {
        std::lock_guard lock(mutex_);
        child_.reset();
    }
    finish();
}

void MergeJoin::monitorMain() {
    const long long total = request_.total_duration;
    while (!stopping()) {
        bool runner_done;
        {
            std::unique_lock lock(wake_mutex_);
            wake_.wait_for(lock, std::chrono::milliseconds(options_.poll_interval_ms), [&] {
                return stop_.load(std::memory_order_acquire) ||
                       !runner_running_.load(std::memory_order_acquire);
            });
            runner_done = !runner_running_.load(std::memory_order_acquire);
        }
        if (stopping())
            return;
        ProgressScan scan;
        {
            std::ifstream in(progress_path_);
            if (in)
                scan = scanProgress(in);
        }
        if (scan.end) {
            if (sleepInterruptibly(options_.success_delay_ms))
                return;
            // ffmpeg writes its last block before it closes the file; a failed close
            // shows only in its exit status.
            std::unique_lock lock(wake_mutex_);
            wake_.wait(lock, [&] {
                return stop_.load(std::memory_order_acquire) ||
                       !runner_running_.load(std::memory_order_acquire);
            });
            lock.unlock();
            post(exit_code_.load(std::memory_order_acquire) == 0 ? WM_MERGE_JOIN_DONE : WM_MERGE_JOIN_FAILED,
                 0);
            return;
        }
        // The child has ended without "progress=end": whatever it wrote, the join failed
        // (waiting on would show the last reading for ever).
        if (runner_done) {
            post(WM_MERGE_JOIN_FAILED, 0);
            return;
        }
        // Held at 99 until ffmpeg says it is done: the parts' last frames run past the
        // whole seconds we measure against, and a wrapped percentage would jump back.
        const long long percent = total > 0 ? std::min(scan.hundredths / total, 99LL) : 0;
        if (percent > 0)
            post(WM_MERGE_JOIN_PROGRESS, static_cast<platform::WParam>(percent));
    }
}

}  // namespace convert
