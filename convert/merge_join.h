#pragma once
// The join of a merge: writes the concat list of the prepared parts, runs ffmpeg's
// concat demuxer into the merged file and reports to the merge dialog with
// WM_MERGE_JOIN_PROGRESS, then exactly one of WM_MERGE_JOIN_DONE and
// WM_MERGE_JOIN_FAILED (platform/window_messages.h). The dialog's window comes with
// the GUI; tests and the CLI hand in a platform::MessageQueue.
//
// After Stop() begins nothing more is posted. The list file and the progress file stay
// on disk; a merged file that failed, or was stopped before it plays, is removed.

#include "convert/child_job.h"
#include "platform/message_target.h"

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

namespace convert {

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
    // Ends ffmpeg and waits for both threads. Safe to call more than once.
    void Stop();

    const std::filesystem::path& listPath() const { return list_path_; }
    const std::filesystem::path& mergedPath() const { return merged_path_; }
    const std::filesystem::path& progressPath() const { return progress_path_; }
    std::string commandText() const;
    // Why the join failed (empty text when it did not, or not yet).
    JobFailure failure() const { return child_.failure(); }

private:
    std::string outputFolder() const;  // ends in '/'
    void claimNames();
    void runnerMain();
    void monitorMain();

    const MergeRequest request_;
    platform::MessageTarget* const dialog_;
    const MergeOptions options_;
    std::filesystem::path list_path_, merged_path_, progress_path_, error_path_;

    mutable std::mutex mutex_;  // guards command_text_
    std::string command_text_;
    bool created_merged_ = false;  // the merged file was claimed by this join
    std::atomic<int> end_{-1};     // 1 success, 0 failure, -1 undecided (read by Stop)

    ChildJob child_;
};

}  // namespace convert
