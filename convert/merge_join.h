#pragma once
// The join of a merge: writes the concat list of the prepared parts, runs ffmpeg's
// concat demuxer into the merged file and reports to the merge dialog with
// WM_MERGE_JOIN_PROGRESS / _DONE / _FAILED (wParam as below, lParam 0). The dialog's
// window comes with the GUI; tests and the CLI hand in a platform::MessageQueue.
//
// After Stop() begins nothing more is posted. The list file, the progress file and a
// partial merged file stay on disk.

#include "platform/message_target.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace platform {
class Process;
}

namespace convert {

// wParam: percent 1..99.
inline constexpr std::uint32_t WM_MERGE_JOIN_PROGRESS = 9029;
// wParam 0: the merged file is complete.
inline constexpr std::uint32_t WM_MERGE_JOIN_DONE = 9030;
// wParam 0: the join failed (list not writable, ffmpeg not startable or no result).
inline constexpr std::uint32_t WM_MERGE_JOIN_FAILED = 9031;

// What the main window hands to the merge dialog.
struct MergeRequest {
    std::vector<std::string> inputs;  // prepared parts, in list order
    std::string target_ext;           // extension of the merged file, no dot
    std::string output_folder;        // where the merged file goes
    std::int32_t total_duration = 0;  // seconds; denominator of the percentage
};

struct MergeOptions {
    // Base of the merged file's name: the language text "MergeFileName".
    std::string merge_file_name = "Merged";  // the English text until a language file says otherwise
    int poll_interval_ms = 1000;
    // Done is reported this long after "progress=end" (the dialog waits 5 s).
    int success_delay_ms = 5000;
    // Optional log of the command line.
    std::function<void(const std::string&)> log;
    // ffmpeg to run; empty: ffmpegProgram().
    std::string program;
};

class MergeJoin {
public:
    // `request` is copied. `dialog` is not owned and must outlive the join; with no
    // dialog the join does nothing.
    MergeJoin(MergeRequest request, platform::MessageTarget* dialog, MergeOptions options = {});
    ~MergeJoin();  // stops
    MergeJoin(const MergeJoin&) = delete;
    MergeJoin& operator=(const MergeJoin&) = delete;

    // Starts the runner and the monitor. Once.
    void Start();
    // Terminates ffmpeg and waits for both threads. Safe to call more than once.
    void Stop();

    const std::filesystem::path& listPath() const { return list_path_; }
    const std::filesystem::path& mergedPath() const { return merged_path_; }
    const std::filesystem::path& progressPath() const { return progress_path_; }
    std::string commandText() const;

private:
    void runnerMain();
    void monitorMain();
    bool post(std::uint32_t id, platform::WParam wparam);
    bool stopping() const { return stop_.load(std::memory_order_acquire); }
    bool sleepInterruptibly(int timeout_ms);

    const MergeRequest request_;
    platform::MessageTarget* const dialog_;
    const MergeOptions options_;
    std::filesystem::path work_dir_, scratch_dir_;
    std::filesystem::path list_path_, merged_path_, progress_path_;

    // wake_mutex_ guards the order of stop_ against posts; wake_ signals stop and the
    // runner's end.
    mutable std::mutex wake_mutex_;
    std::condition_variable wake_;
    std::atomic<bool> stop_{false};
    std::atomic<bool> runner_running_{false};
    std::atomic<int> exit_code_{0};

    mutable std::mutex mutex_;  // guards child_, command_text_
    std::shared_ptr<platform::Process> child_;
    std::string command_text_;

    std::mutex stop_mutex_;  // serialises Stop()
    std::thread runner_, monitor_;
};

}  // namespace convert
