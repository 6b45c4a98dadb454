#include "convert/child_job.h"

#include "platform/folders.h"

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <fstream>

namespace convert {

namespace fs = std::filesystem;

namespace {

bool startsWith(const std::string& text, const char* prefix) {
    return text.rfind(prefix, 0) == 0;
}

bool contains(const std::string& text, const char* part) {
    return text.find(part) != std::string::npos;
}

}  // namespace

ProgressScan scanProgress(std::istream& in) {
    ProgressScan scan;
    std::string line;
    while (std::getline(in, line)) {
        // A file written with CRLF line ends must read as the same values.
        while (!line.empty() && (line.back() == '\r' || line.back() == '\n'))
            line.pop_back();
        if (startsWith(line, "out_time_ms=")) {
            // Microseconds, despite the key's name. Leading blanks and a sign are taken,
            // digits up to the first other character; no digits give 0. strtoll
            // saturates, so no text overflows.
            const long long us = std::strtoll(line.c_str() + 12, nullptr, 10);
            if (us / 10000 > scan.hundredths)
                scan.hundredths = us / 10000;
        } else if (startsWith(line, "progress=end")) {
            scan.end = true;
        }
    }
    return scan;
}

std::optional<ProgressScan> readProgressFile(const fs::path& path) {
    std::ifstream in(path);
    if (!in)
        return std::nullopt;
    return scanProgress(in);
}

int progressPercent(const ProgressScan& scan, double written_seconds) {
    if (scan.end)
        return 100;
    if (!(written_seconds > 0) || !std::isfinite(written_seconds))
        return 0;
    // Held below 100 until ffmpeg says it is done: the last frames may stamp a time
    // past the whole seconds we measure against.
    const double percent = std::floor(static_cast<double>(scan.hundredths) / written_seconds);
    return percent >= 99 ? 99 : static_cast<int>(percent);
}

std::string lastFfmpegLine(std::istream& messages) {
    std::string line, last;
    while (std::getline(messages, line, '\n')) {
        while (!line.empty() && (line.back() == ' ' || line.back() == '\r'))
            line.pop_back();
        // Status lines are rewritten in place with carriage returns: the last one counts.
        const std::size_t cr = line.find_last_of('\r');
        if (cr != std::string::npos)
            line = line.substr(cr + 1);
        if (line.empty() || startsWith(line, "frame=") || startsWith(line, "size=") ||
            startsWith(line, "video:") || startsWith(line, "  ") || startsWith(line, "Stream mapping") ||
            startsWith(line, "Press [q]") || startsWith(line, "To ignore this") ||
            line == "Conversion failed!")
            continue;
        last = line;
    }
    return last;
}

std::string ffmpegFailureText(const std::string& line) {
    if (line.empty())
        return "ffmpeg ended without finishing the output";
    if (contains(line, "Invalid data found when processing input"))
        return "the file is damaged or is not a media file that can be read";
    if (contains(line, "No such file or directory"))
        return "a file or folder that the conversion needs does not exist";
    if (contains(line, "Permission denied"))
        return "a file or folder cannot be read or written (permission denied)";
    if (contains(line, "No space left on device") || contains(line, "Error writing trailer") ||
        contains(line, "Error closing file"))
        return "the output could not be written completely (is the disk full?)";
    if (contains(line, "File name too long"))
        return "the output file name is too long";
    if (contains(line, "does not contain any stream") || contains(line, "matches no streams"))
        return "the file has no stream that this target can take";
    if (contains(line, "Unknown encoder") || contains(line, "Encoder not found"))
        return "this ffmpeg has no encoder for the target";
    return "ffmpeg stopped with an error: " + line;
}

ChildJob::ChildJob(Timings timings) : timings_(timings), scratch_dir_(platform::scratchDir()) {}

ChildJob::~ChildJob() {
    stop();
}

void ChildJob::start(std::function<void()> work, std::function<void()> monitor) {
    if (runner_.joinable() || stopping())
        return;
    runner_running_.store(true, std::memory_order_release);
    runner_ = std::thread([this, work = std::move(work)] { runnerMain(work); });
    monitor_ = std::thread(std::move(monitor));
}

void ChildJob::runnerMain(const std::function<void()>& work) {
    work();
    {
        std::lock_guard lock(wake_mutex_);
        runner_running_.store(false, std::memory_order_release);
    }
    wake_.notify_all();
}

void ChildJob::stop() {
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

bool ChildJob::sleepInterruptibly(int timeout_ms) {
    std::unique_lock lock(wake_mutex_);
    return wake_.wait_for(lock, std::chrono::milliseconds(timeout_ms),
                          [&] { return stop_.load(std::memory_order_acquire); });
}

void ChildJob::waitRunner() {
    std::unique_lock lock(wake_mutex_);
    wake_.wait(lock, [&] { return !runner_running_.load(std::memory_order_acquire); });
}

bool ChildJob::postUnlessStopping(const std::function<bool()>& post) {
    std::lock_guard lock(wake_mutex_);
    if (stop_.load(std::memory_order_acquire))
        return false;
    return post();
}

ChildJob::Run ChildJob::run(const platform::CommandLine& command, const fs::path& output_file) {
    platform::StartOptions start;
    start.working_dir = scratch_dir_;
    start.output_file = output_file;
    std::string error;
    std::shared_ptr<platform::Process> child;
    {
        // Registered under the lock that stop() takes: a stop either comes first (no
        // start) or finds the child and ends it.
        std::lock_guard lock(mutex_);
        last_run_ = {};
        if (stopping())
            return last_run_;
        child = platform::Process::start(command, start, &error);
        child_ = child;
    }
    if (!child) {
        fail({"cannot start " + fs::path(command.program()).filename().string(), error});
        return {};
    }
    const int code = child->wait();
    std::lock_guard lock(mutex_);
    child_.reset();
    last_run_ = {true, code};
    return last_run_;
}

bool ChildJob::lastChildFailed(const fs::path& messages_path) const {
    {
        std::lock_guard lock(mutex_);
        if (!last_run_.started || last_run_.exit_code != 0)
            return true;
    }
    // ffmpeg 5.1 may report "progress=end" and exit 0 although the output could not be
    // completed (a full disk shows only when the file is closed).
    std::ifstream in(messages_path);
    std::string line;
    while (std::getline(in, line)) {
        if (startsWith(line, "Error closing file") || startsWith(line, "Error writing trailer"))
            return true;
    }
    return false;
}

void ChildJob::fail(JobFailure failure) {
    std::lock_guard lock(mutex_);
    if (failure_.text.empty())
        failure_ = std::move(failure);
}

JobFailure ChildJob::failure() const {
    std::lock_guard lock(mutex_);
    return failure_;
}

ChildJob::End ChildJob::follow(const fs::path& progress_path, const fs::path& messages_path,
                               const std::function<double()>& written_seconds,
                               const std::function<void(int)>& report) {
    auto failed = [&] {
        std::ifstream in(messages_path);
        const std::string last = lastFfmpegLine(in);
        fail({ffmpegFailureText(last), last});
        return End::Failure;
    };
    while (!stopping()) {
        bool runner_done;
        {
            std::unique_lock lock(wake_mutex_);
            wake_.wait_for(lock, std::chrono::milliseconds(timings_.poll_interval_ms), [&] {
                return stop_.load(std::memory_order_acquire) ||
                       !runner_running_.load(std::memory_order_acquire);
            });
            runner_done = !runner_running_.load(std::memory_order_acquire);
        }
        if (stopping())
            break;
        // runner_done was taken before reading: a reading without end after the runner
        // has ended is final.
        const ProgressScan scan = readProgressFile(progress_path).value_or(ProgressScan{});
        if (scan.end) {
            const auto deadline =
                std::chrono::steady_clock::now() + std::chrono::milliseconds(timings_.success_delay_ms);
            std::unique_lock lock(wake_mutex_);
            wake_.wait_until(lock, deadline, [&] { return stop_.load(std::memory_order_acquire); });
            // The child exits right after its last block; its status decides too.
            wake_.wait_until(lock, deadline + std::chrono::seconds(10), [&] {
                return stop_.load(std::memory_order_acquire) ||
                       !runner_running_.load(std::memory_order_acquire);
            });
            lock.unlock();
            if (stopping())
                break;
            if (!runnerRunning() && lastChildFailed(messages_path))
                return failed();
            return End::Success;
        }
        if (runner_done)
            return failed();
        const int percent = progressPercent(scan, written_seconds());
        if (percent > 0)
            report(percent);
    }
    return End::Stopped;
}

}  // namespace convert
