#include "convert/child_job.h"

#include "platform/folders.h"

#include <chrono>
#include <cmath>
#include <cstdio>
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

std::string lengthText(double seconds) {
    if (!(seconds > 0))
        seconds = 0;
    const auto whole = static_cast<long long>(seconds + 0.5);
    char text[48];
    if (whole >= 3600)
        std::snprintf(text, sizeof text, "%lld:%02lld:%02lld", whole / 3600, (whole / 60) % 60, whole % 60);
    else
        std::snprintf(text, sizeof text, "%lld:%02lld", whole / 60, whole % 60);
    return text;
}

JobFailure ffmpegFailure(const std::string& line, double at_seconds) {
    auto said = [&](const char* key, const char* text, std::vector<std::string> args = {}) {
        std::string english = text;
        if (!args.empty()) {
            const std::size_t at = english.find("%s");
            if (at != std::string::npos)
                english.replace(at, 2, args.front());
        }
        return JobFailure{english, line, key, std::move(args)};
    };
    if (line.empty())
        return said("FailUnfinished", "the conversion ended before the output was finished");
    if (contains(line, "No space left on device") || contains(line, "Error writing trailer") ||
        contains(line, "Error closing file") || contains(line, "Disk quota exceeded"))
        return said("FailDiskFull", "the output could not be written completely: the disk is full");
    if (contains(line, "Permission denied") || contains(line, "Read-only file system"))
        return said("FailPermission", "a file or folder cannot be read or written (permission denied)");
    if (contains(line, "File name too long"))
        return said("FailNameTooLong", "the output file name is too long");
    if (contains(line, "No such file or directory"))
        return said("FailMissing", "a file or folder that the conversion needs does not exist");
    if (contains(line, "Unknown encoder") || contains(line, "Encoder not found"))
        return said("FailNoEncoder", "this ffmpeg has no encoder for the target format");
    if (contains(line, "matches no streams") || contains(line, "does not contain any stream") ||
        contains(line, "Output file is empty"))
        return said("FailNoStream", "the file has no track that this format can take");
    // Damage part-way through: the decoders' complaints, the demuxer's "invalid data".
    const bool damage = contains(line, "Invalid data found") || contains(line, "error while decoding") ||
                        contains(line, "corrupt") || contains(line, "Error while decoding") ||
                        contains(line, "Invalid NAL") || contains(line, "moov atom not found") ||
                        contains(line, "Error marking filters as finished") ||
                        contains(line, "Error while filtering") ||
                        contains(line, "Error initializing filter") ||
                        contains(line, "Error while processing the decoded data");
    if (damage && at_seconds >= 1)
        return said("FailDamagedAt", "the file is damaged at %s", {lengthText(at_seconds)});
    if (damage)
        return said("FailDamaged", "the file is damaged or is not a media file that can be read");
    return said("FailOther", "the conversion failed (ffmpeg's own words are in the log)");
}

std::string ffmpegFailureText(const std::string& line) {
    return ffmpegFailure(line).text;
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
    std::shared_ptr<platform::Process> child;
    ChildGrace grace;
    {
        std::lock_guard lock(mutex_);
        child = child_;
        grace = child_grace_;
    }
    if (child) {
        std::error_code ec;
        if (grace.grace_ms > 0 && !grace.begun.empty() && fs::file_size(grace.begun, ec) > 0 && !ec) {
            child->interrupt();
            child->waitFor(grace.grace_ms);
        }
        child->terminate();
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

ChildJob::Run ChildJob::run(const platform::CommandLine& command, const fs::path& output_file,
                            ChildGrace grace) {
    platform::StartOptions start;
    start.working_dir = scratch_dir_;
    start.output_file = output_file;
    start.die_with_parent = true;  // this thread waits for the child
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
        child_grace_ = std::move(grace);
    }
    if (!child) {
        const std::string name = fs::path(command.program()).filename().string();
        fail({"cannot start " + name, error, "FailStart", {name}});
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
        const ProgressScan scan = readProgressFile(progress_path).value_or(ProgressScan{});
        fail(ffmpegFailure(last, static_cast<double>(scan.hundredths) / 100.0));
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
