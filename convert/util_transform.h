#pragma once
// One conversion job: runs ffmpeg for one ConvertTask and reports to a window.
//
// A runner thread waits for the task's probe (`ready`), readies the source
// (PrepareSource), builds the command and waits for the child. A monitor thread reads
// the child's -progress file about once a second and posts WM_CONVERT_PROGRESS; the
// last message of a job is exactly one of WM_CONVERT_PROGRESS with 100 (success),
// WM_CONVERT_FAILED or (with a WM_CONVERT_FAILED after it) WM_CONVERT_START_FAILED,
// unless the job was stopped first: after Stop() begins nothing is posted and nothing
// of the job or the task is touched by its threads. Stop() ends whatever child runs
// (ffmpeg, a companion tool, a remux): at once, or, when ffmpeg is writing, after it
// has closed its output on SIGINT (at most a few seconds, then the kill).
// Threads, children and posts are a ChildJob's (child_job.h).
//
// Special-source jobs derive from this class, override PrepareSource/PrepareProgress
// and must call Stop() first thing in their destructor (their members die before ours).

#include "convert/child_job.h"
#include "convert/command_builder.h"
#include "convert/convert_task.h"
#include "convert/output_check.h"
#include "platform/message_target.h"
#include "platform/window_messages.h"

#include <atomic>
#include <filesystem>
#include <functional>
#include <mutex>
#include <string>

namespace convert {

struct JobOptions {
    BuildSettings build;
    // Success is reported this long after "progress=end" was first seen (the window
    // waits 5 s so that the output is complete on slow disks; a CLI need not).
    int success_delay_ms = 5000;
    // Longest wait between two readings of the progress file. The monitor also wakes
    // at once when the child ends or the job is stopped.
    int poll_interval_ms = 1000;
    // How often the runner looks at the task's `ready` flag.
    int ready_poll_ms = 100;
    // Optional log of the command line and the job's size/duration line.
    std::function<void(const std::string&)> log;
};

class CUtilTransform {
public:
    // Neither pointer is owned; both must outlive the job. The work, scratch and log
    // folders are created here.
    CUtilTransform(ConvertTask* task, platform::MessageTarget* window, JobOptions options = {});
    virtual ~CUtilTransform();
    CUtilTransform(const CUtilTransform&) = delete;
    CUtilTransform& operator=(const CUtilTransform&) = delete;

    // Fixes the output path (renaming the output name while a file of that name exists,
    // at most three times) and the progress path, then starts the runner and the
    // monitor. Posts WM_CONVERT_FAILED and starts nothing when no free name was found.
    // Call once, from the thread that owns the job.
    void Start();

    // Stops the job: asks a writing ffmpeg to close its file (a short grace, then the
    // kill; a child still waiting for its input is killed at once), waits for both
    // threads, deletes the progress file and clears the task's `job`. An output this
    // job created stays only when the job succeeded or, stopped, when what was written
    // plays; a failed job's output is already gone. Safe to call more than once; the
    // destructor calls it. Not from the job's own threads.
    void Stop();

    // The output path rule of Start: output folder (the work folder in mode Merge, where
    // an old part is deleted) + output name + "." + target extension; while a file of
    // that name exists the name becomes name_i_uniqueid (i = 0, 1, 2). Sets
    // task.output_name and task.output_path; false when the path is still taken.
    // With `claim` the name is taken by creating the file empty in one step, so that
    // jobs of other processes choosing at the same moment never get the same name;
    // `claimed` then tells whether this call created it (a folder that cannot be
    // written is left to ffmpeg to report).
    static bool chooseOutputPath(ConvertTask& task, const std::filesystem::path& work_dir, bool claim = false,
                                 bool* claimed = nullptr);
    // The progress file of a task whose output name is fixed: log folder + name_ext. A
    // job takes another name (job_<pid>_<unique id>_ext) when that file already exists,
    // another job's, so that no two jobs share one.
    static std::filesystem::path progressPathFor(const ConvertTask& task);

    // What the output must hold for the task's target.
    static OutputNeeds outputNeeds(const ConvertTask& task);

    // True while the runner thread works (before Start and after it ended: false).
    bool runnerRunning() const { return child_.runnerRunning(); }
    // Blocks until the runner has ended (immediately when it never started).
    void waitRunner();

    // The displayed command line of the ffmpeg phase (empty until the runner built it).
    std::string commandText() const;
    // Why the job failed (empty text when it did not, or not yet).
    JobFailure failure() const { return child_.failure(); }
    // A reservation about a success (empty otherwise); set before the success is posted.
    JobWarning warning() const;
    // Once the runner has ended: false when ffmpeg finished but its output holds
    // nothing that plays (read back as the runner's last step), else true.
    bool outputPlays() const { return output_checked_.load(std::memory_order_acquire) != 0; }
    const std::filesystem::path& progressPath() const { return progress_path_; }
    ConvertTask* task() const { return task_; }

protected:
    // Runner, once the task is ready: 1 when the ffmpeg phase may run.
    virtual int PrepareSource();
    // Monitor, first: the percentage at which the ffmpeg phase begins, or -1.
    virtual int PrepareProgress();

    // Runner: builds and runs the command. True when the child started and ended.
    bool BuildAndRun();

    // Post to the window unless the job is stopping; false when not posted.
    bool postToWindow(platform::MainWindowId id);
    bool postProgress(int percent);
    bool stopping() const { return child_.stopping(); }
    // Waits up to timeout_ms or until the job stops; true when it stops.
    bool sleepInterruptibly(int timeout_ms) { return child_.sleepInterruptibly(timeout_ms); }
    // Runs the children of the job (special sources run their tools through it).
    ChildJob& child() { return child_; }

    const std::filesystem::path& workDir() const { return work_dir_; }
    const std::filesystem::path& pluginDir() const { return plugin_dir_; }

private:
    void runnerMain();
    void monitorMain();
    // Monitor, after "progress=end": the output read back. False (with the failure
    // recorded) when it holds nothing that plays.
    bool checkResult();
    void removeCreatedOutput();

    ConvertTask* const task_;
    platform::MessageTarget* const window_;
    const JobOptions options_;
    std::filesystem::path work_dir_, plugin_dir_;
    std::filesystem::path progress_path_;  // fixed by Start, read-only afterwards
    std::filesystem::path error_path_;     // ffmpeg's own messages, beside the progress file

    // Seconds of output the child writes: the percentage's denominator (runner writes,
    // monitor reads).
    std::atomic<double> written_seconds_{0};

    mutable std::mutex mutex_;  // guards command_text_, warning_
    std::string command_text_;
    JobWarning warning_;
    bool created_output_ = false;  // Start claimed the output name (created the file)
    // How the monitor ended (ChildJob::End), -1 while undecided; read by Stop.
    std::atomic<int> end_{-1};
    // The output read back after ffmpeg said it finished: 1 plays, 0 does not, -1 not read.
    std::atomic<int> output_checked_{-1};

    ChildJob child_;
};

}  // namespace convert
