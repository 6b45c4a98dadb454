#include "convert/util_transform.h"

#include "convert/messages.h"
#include "platform/folders.h"
#include "platform/process.h"

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <istream>
#include <vector>

namespace convert {

namespace fs = std::filesystem;

namespace {

bool fileExists(const fs::path& path) {
    std::error_code ec;
    return fs::exists(fs::symlink_status(path, ec));
}

void removeFile(const fs::path& path) {
    std::error_code ec;
    fs::remove(path, ec);
}

std::string withSlash(std::string folder) {
    if (!folder.empty() && folder.back() != '/')
        folder += '/';
    return folder;
}

}  // namespace

ProgressScan scanProgress(std::istream& in) {
    ProgressScan scan;
    std::string line;
    while (std::getline(in, line)) {
        if (line.compare(0, 12, "out_time_ms=") == 0) {
            // Microseconds; the last two digits are dropped, as the window always did,
            // so a 13-character line keeps its one digit.
            std::string digits = line.size() > 14 ? line.substr(12, line.size() - 14) : line.substr(12);
            long long v = std::strtoll(digits.c_str(), nullptr, 10);
            if (v / 100 > scan.hundredths)
                scan.hundredths = v / 100;
        } else if (line.compare(0, 12, "progress=end") == 0) {
            scan.end = true;
        }
    }
    return scan;
}

int progressPercent(const ProgressScan& scan, double written_seconds) {
    if (scan.end)
        return 100;
    if (written_seconds <= 0)
        return 0;
    // Hold below 100 until ffmpeg says it is done: the last frames may stamp a time
    // past the whole seconds we measure against.
    double percent = std::floor(static_cast<double>(scan.hundredths) / written_seconds);
    return percent >= 99 ? 99 : static_cast<int>(percent);
}

CUtilTransform::CUtilTransform(ConvertTask* task, platform::MessageTarget* window, JobOptions options)
    : task_(task), window_(window), options_(std::move(options)) {
    work_dir_ = platform::workDir();
    scratch_dir_ = platform::scratchDir();
    plugin_dir_ = platform::pluginDir();
    progress_path_ = platform::logDir();
}

CUtilTransform::~CUtilTransform() {
    Stop();
}

void CUtilTransform::Start() {
    if (!window_ || !task_ || runner_.joinable())
        return;
    if (!chooseOutputPath(*task_, work_dir_)) {
        postToWindow(WM_CONVERT_FAILED, 0);
        return;
    }
    progress_path_ = progressPathFor(*task_);
    error_path_ = progress_path_;
    error_path_ += ".err";
    removeFile(progress_path_);
    removeFile(error_path_);
    stop_.store(false, std::memory_order_release);
    runner_running_.store(true, std::memory_order_release);
    runner_ = std::thread([this] { runnerMain(); });
    monitor_ = std::thread([this] { monitorMain(); });
}

bool CUtilTransform::chooseOutputPath(ConvertTask& task, const fs::path& work_dir) {
    const bool merge = task.convertMode() == ConvertMode::Merge;
    auto pathFor = [&] {
        std::string base = merge ? withSlash(work_dir.string()) : withSlash(task.output_folder);
        return base + task.output_name + "." + task.target_ext;
    };
    task.output_path = pathFor();
    if (merge) {
        // Merge parts live in our own work folder: an old part is simply replaced.
        removeFile(task.output_path);
    } else {
        for (int i = 0; i < 3 && fileExists(task.output_path); ++i) {
            task.output_name += "_" + std::to_string(i) + "_" + task.unique_id;
            task.output_path = pathFor();
        }
    }
    return !fileExists(task.output_path);
}

fs::path CUtilTransform::progressPathFor(const ConvertTask& task) {
    return platform::logDir() / (task.output_name + "_" + task.target_ext);
}

void CUtilTransform::Stop() {
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
    if (!error_path_.empty()) {
        removeFile(progress_path_);
        removeFile(error_path_);
    }
    if (task_ && task_->job == this)
        task_->job = nullptr;
}

void CUtilTransform::waitRunner() {
    std::unique_lock lock(wake_mutex_);
    wake_.wait(lock, [&] { return !runner_running_.load(std::memory_order_acquire); });
}

std::string CUtilTransform::commandText() const {
    std::lock_guard lock(mutex_);
    return command_text_;
}

std::string CUtilTransform::failureText() const {
    std::lock_guard lock(mutex_);
    return failure_text_;
}

int CUtilTransform::PrepareSource() {
    return window_ && task_ && !stopping() ? 1 : 0;
}

int CUtilTransform::PrepareProgress() {
    return 0;
}

bool CUtilTransform::postToWindow(std::uint32_t id, platform::LParam lparam) {
    std::lock_guard lock(wake_mutex_);
    if (stop_.load(std::memory_order_acquire) || !window_)
        return false;
    return window_->post(id, reinterpret_cast<platform::WParam>(task_), lparam);
}

bool CUtilTransform::sleepInterruptibly(int timeout_ms) {
    std::unique_lock lock(wake_mutex_);
    return wake_.wait_for(lock, std::chrono::milliseconds(timeout_ms),
                          [&] { return stop_.load(std::memory_order_acquire); });
}

void CUtilTransform::runnerMain() {
    if (window_ && task_) {
        while (!stopping()) {
            if (task_->ready.load(std::memory_order_acquire)) {
                if (PrepareSource() == 1)
                    BuildAndRun();
                break;
            }
            sleepInterruptibly(options_.ready_poll_ms);
        }
    }
    {
        std::lock_guard lock(wake_mutex_);
        runner_running_.store(false, std::memory_order_release);
    }
    wake_.notify_all();
}

bool CUtilTransform::BuildAndRun() {
    if (!window_ || !task_ || stopping())
        return false;
    written_seconds_.store(writtenSeconds(*task_), std::memory_order_release);
    platform::CommandLine command = buildCommand(*task_, progress_path_.string(), options_.build);
    if (options_.log)
        options_.log(command.display());
    platform::StartOptions start;
    start.working_dir = scratch_dir_;
    start.output_file = error_path_;
    std::string error;
    std::shared_ptr<platform::Process> child;
    {
        std::lock_guard lock(mutex_);
        command_text_ = command.display();
        if (stopping())
            return false;
        child = platform::Process::start(command, start, &error);
        child_ = child;
        if (!child)
            failure_text_ = error;
    }
    if (!child) {
        start_failed_.store(true, std::memory_order_release);
        postToWindow(WM_CONVERT_START_FAILED, 0);
        return false;
    }
    int code = child->wait();
    exit_code_.store(code, std::memory_order_release);
    std::lock_guard lock(mutex_);
    child_.reset();
    return true;
}

CUtilTransform::Reading CUtilTransform::ReadProgress() const {
    Reading reading;
    std::ifstream in(progress_path_);
    if (!in)
        return reading;
    ProgressScan scan = scanProgress(in);
    reading.end = scan.end;
    reading.percent = progressPercent(scan, written_seconds_.load(std::memory_order_acquire));
    return reading;
}

bool CUtilTransform::childFailed() const {
    if (start_failed_.load(std::memory_order_acquire))
        return true;
    if (exit_code_.load(std::memory_order_acquire) != 0)
        return true;
    // ffmpeg 5.1 may report "progress=end" and exit 0 although the output could not be
    // completed (a full disk shows only when the file is closed).
    std::ifstream in(error_path_);
    std::string line;
    while (std::getline(in, line)) {
        if (line.rfind("Error closing file", 0) == 0 || line.rfind("Error writing trailer", 0) == 0)
            return true;
    }
    return false;
}

std::string CUtilTransform::readFailureText() const {
    // The last line ffmpeg printed that is not its progress status line.
    std::ifstream in(error_path_);
    std::string line, last;
    while (std::getline(in, line, '\n')) {
        std::size_t cr = line.find_last_of('\r');
        if (cr != std::string::npos)
            line = line.substr(cr + 1);
        while (!line.empty() && (line.back() == ' ' || line.back() == '\r'))
            line.pop_back();
        if (line.empty() || line.rfind("frame=", 0) == 0 || line.rfind("size=", 0) == 0 ||
            line.rfind("video:", 0) == 0 || line.rfind("  ", 0) == 0 ||
            line.rfind("Stream mapping", 0) == 0 || line.rfind("Press [q]", 0) == 0 ||
            line.rfind("To ignore this", 0) == 0 || line == "Conversion failed!")
            continue;
        last = line;
    }
    return last;
}

void CUtilTransform::monitorMain() {
    const int base = PrepareProgress();
    if (!window_ || stopping())
        return;
    if (options_.log && task_) {
        options_.log("size:" + std::to_string(task_->file_size) +
                     "\tsec:" + std::to_string(static_cast<int>(written_seconds_.load())));
    }
    auto fail = [&] {
        std::string why = readFailureText();
        {
            std::lock_guard lock(mutex_);
            if (failure_text_.empty())
                failure_text_ = why.empty() ? "ffmpeg did not finish" : why;
        }
        postToWindow(WM_CONVERT_FAILED, 0);
    };
    while (!stopping()) {
        bool runner_done;
        {
            // Wakes at once on stop or when the child has ended.
            std::unique_lock lock(wake_mutex_);
            wake_.wait_for(lock, std::chrono::milliseconds(options_.poll_interval_ms), [&] {
                return stop_.load(std::memory_order_acquire) ||
                       !runner_running_.load(std::memory_order_acquire);
            });
            runner_done = !runner_running_.load(std::memory_order_acquire);
        }
        if (stopping())
            break;
        // runner_done was taken before reading: a reading without end after the child
        // has ended is final.
        Reading reading = ReadProgress();
        if (reading.end) {
            auto deadline =
                std::chrono::steady_clock::now() + std::chrono::milliseconds(options_.success_delay_ms);
            auto child_deadline = deadline + std::chrono::seconds(10);
            std::unique_lock lock(wake_mutex_);
            wake_.wait_until(lock, deadline, [&] { return stop_.load(std::memory_order_acquire); });
            // The child exits right after its last block; its status decides too.
            wake_.wait_until(lock, child_deadline, [&] {
                return stop_.load(std::memory_order_acquire) ||
                       !runner_running_.load(std::memory_order_acquire);
            });
            lock.unlock();
            if (stopping())
                break;
            if (!runnerRunning() && childFailed()) {
                fail();
            } else {
                postToWindow(WM_CONVERT_PROGRESS, 100);
            }
            break;
        }
        if (runner_done) {
            fail();
            break;
        }
        if (reading.percent > 0) {
            // The ffmpeg phase fills the part of the bar above what the pre-step used.
            const float from = base > 0 ? static_cast<float>(base) : 0.0f;
            const float scale = (100.0f - from) / -100.0f;
            postToWindow(
                WM_CONVERT_PROGRESS,
                static_cast<int>(from) - static_cast<int>(scale * static_cast<float>(reading.percent)));
        }
    }
}

}  // namespace convert
