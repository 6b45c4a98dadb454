#pragma once
// What every job of this module is made of: a runner thread that does the job's work,
// running child processes hidden and one at a time in the scratch folder, and a
// monitor thread that follows the -progress file of the last child and reports.
//
// Guarantees the jobs build on:
//  - once stop() has begun, postUnlessStopping() posts nothing, so nothing reaches a
//    window after a stop;
//  - stop() ends the running child (whatever runs: ffmpeg, a companion tool, a remux):
//    at once, or after a short grace in which a writing ffmpeg closes its file (Grace),
//    and returns when both threads have ended;
//  - follow() decides the job's end exactly once: success, failure or stopped.
// The owner must call stop() before anything its thread bodies use is destroyed.

#include "platform/process.h"

#include <atomic>
#include <condition_variable>
#include <filesystem>
#include <functional>
#include <istream>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace convert {

// Why a job failed: a sentence for the user and the tool's own words for the log.
// `key` names the sentence's language text (section "Text"; its "%s" filled with
// `args` in order), so a front end can say it in the user's language; `text` is the
// English, for a front end without language files.
struct JobFailure {
    std::string text;
    std::string detail;  // e.g. ffmpeg's last meaningful line; may be empty
    std::string key;
    std::vector<std::string> args;
};

// A sentence about a job that succeeded with a reservation (an output shorter than
// asked, a video target from a file without picture); same fields as a failure's.
struct JobWarning {
    std::string text;
    std::string key;
    std::vector<std::string> args;
    bool empty() const { return text.empty(); }
};

// "0:12", "1:02:03": a length in seconds for the user's sentences.
std::string lengthText(double seconds);

// What a progress file says so far: the largest "out_time_ms=" value in hundredths
// of a second, and whether a "progress=end" line was seen. Any text is accepted.
struct ProgressScan {
    long long hundredths = 0;
    bool end = false;
};
ProgressScan scanProgress(std::istream& in);
// The scan of a file; nothing when it cannot be opened.
std::optional<ProgressScan> readProgressFile(const std::filesystem::path& path);

// The reading of a scan for an output of `written_seconds`: 100 once "progress=end" was
// seen, else the share written, held at 99 at most; 0 when the length is unknown (0,
// negative or not a number).
int progressPercent(const ProgressScan& scan, double written_seconds);

// The last line of ffmpeg's messages that says something (not its status lines).
std::string lastFfmpegLine(std::istream& messages);
// What ffmpeg's last line means for the user (empty line: it ended unfinished), with
// the line itself as the detail. `at_seconds` is how far the output had come, for a
// file damaged part-way (negative: unknown).
JobFailure ffmpegFailure(const std::string& last_line, double at_seconds = -1);
// The English sentence of ffmpegFailure.
std::string ffmpegFailureText(const std::string& last_line);

// How a stop ends a child that writes a file: once `begun` is not empty (ffmpeg's
// progress file: it is writing), SIGINT first, so that it closes its output as
// Ctrl-C lets it, then the kill after `grace_ms`. Before that, or without a grace,
// the kill at once.
struct ChildGrace {
    std::filesystem::path begun;
    int grace_ms = 0;
};

class ChildJob {
public:
    struct Timings {
        // Longest wait between two readings of the progress file; the monitor also
        // wakes at once when the runner ends or the job stops.
        int poll_interval_ms = 1000;
        // Success is reported this long after "progress=end" was first seen.
        int success_delay_ms = 5000;
    };

    explicit ChildJob(Timings timings);
    ~ChildJob();  // stop()
    ChildJob(const ChildJob&) = delete;
    ChildJob& operator=(const ChildJob&) = delete;

    // Runs `work` on the runner thread and `monitor` on the monitor thread. Once;
    // later calls do nothing.
    void start(std::function<void()> work, std::function<void()> monitor);
    bool started() const { return runner_.joinable(); }
    // Sets the stop flag, ends the running child and waits for both threads. Safe to
    // call more than once and from any thread but the job's own.
    void stop();

    bool stopping() const { return stop_.load(std::memory_order_acquire); }
    // Waits up to timeout_ms or until the job stops; true when it stops.
    bool sleepInterruptibly(int timeout_ms);
    // True from start() until the runner's work has returned.
    bool runnerRunning() const { return runner_running_.load(std::memory_order_acquire); }
    void waitRunner();

    // Calls `post` unless the job is stopping; a stop never overtakes a post that
    // began. False when not posted.
    bool postUnlessStopping(const std::function<bool()>& post);

    struct Run {
        bool started = false;
        int exit_code = -1;  // 1 after a stop
    };
    // Runner: runs `command` hidden in the scratch folder, its output into
    // `output_file` (empty: discarded), and waits for it. Not started when the job is
    // stopping or the program cannot start; the failure then says why. The child dies
    // with the thread that runs it, so nothing outlives a killed program.
    Run run(const platform::CommandLine& command, const std::filesystem::path& output_file = {},
            ChildGrace grace = {});

    enum class End { Success, Failure, Stopped };
    // Monitor: follows `progress_path` of the runner's last child until the end is
    // known, calling `report` with each reading 1..99 (of `written_seconds()`).
    // Success: "progress=end", then the success delay, and the child did not fail
    // (exit status, or a write error among its `messages_path`). Failure: the runner
    // ended without "progress=end" (the failure is filled in from the messages when
    // nothing set it before).
    End follow(const std::filesystem::path& progress_path, const std::filesystem::path& messages_path,
               const std::function<double()>& written_seconds, const std::function<void(int)>& report);

    // Records why the job failed; the first reason stays.
    void fail(JobFailure failure);
    JobFailure failure() const;

private:
    void runnerMain(const std::function<void()>& work);
    bool lastChildFailed(const std::filesystem::path& messages_path) const;

    const Timings timings_;
    const std::filesystem::path scratch_dir_;

    // stop_ is written under wake_mutex_, and posts check it under the same lock.
    mutable std::mutex wake_mutex_;
    std::condition_variable wake_;  // stop, runner end
    std::atomic<bool> stop_{false};
    std::atomic<bool> runner_running_{false};

    mutable std::mutex mutex_;  // guards child_, last_run_, failure_
    std::shared_ptr<platform::Process> child_;
    ChildGrace child_grace_;
    Run last_run_;
    JobFailure failure_;

    std::mutex stop_mutex_;  // serialises stop()
    std::thread runner_, monitor_;
};

}  // namespace convert
