#include "convert/merge_join.h"

#include "convert/merge_list.h"
#include "convert/output_check.h"
#include "platform/files.h"
#include "platform/folders.h"
#include "platform/time.h"
#include "platform/window_messages.h"

namespace convert {

namespace fs = std::filesystem;

MergeJoin::MergeJoin(MergeRequest request, platform::MessageTarget* dialog, MergeOptions options)
    : request_(std::move(request)),
      dialog_(dialog),
      options_(std::move(options)),
      child_({options_.poll_interval_ms, options_.success_delay_ms}) {
    const std::string stamp = std::to_string(platform::nowMicros());
    progress_path_ = platform::logDir() / ("merge_" + stamp);
    list_path_ = platform::workDir() / (stamp + ".txt");
    merged_path_ = outputFolder() + options_.merge_file_name + "_" + stamp + "." + request_.target_ext;
    error_path_ = progress_path_;
    error_path_ += ".err";
}

std::string MergeJoin::outputFolder() const {
    // Joined by concatenation; a folder typed without its separator still means the folder.
    return platform::withSlash(request_.output_folder);
}

void MergeJoin::claimNames() {
    // Each name carries the time in microseconds; the files are claimed (created empty
    // in one step) so that joins of other processes starting in the same microsecond
    // take the next one instead of sharing a file.
    const std::string folder = outputFolder();
    const fs::path log = platform::logDir();
    const fs::path work = platform::workDir();
    const long long now = platform::nowMicros();
    bool progress = false, list = false, merged = false;
    for (long long t = now; t < now + 1000 && !(progress && list && merged); ++t) {
        const std::string stamp = std::to_string(t);
        if (!progress && (progress = platform::createExclusive(log / ("merge_" + stamp))))
            progress_path_ = log / ("merge_" + stamp);
        if (!list && (list = platform::createExclusive(work / (stamp + ".txt"))))
            list_path_ = work / (stamp + ".txt");
        if (!merged) {
            const fs::path path = folder + options_.merge_file_name + "_" + stamp + "." + request_.target_ext;
            bool exists = false;
            created_merged_ = platform::createExclusive(path, &exists);
            // A folder that cannot be written is left to ffmpeg to report.
            if ((merged = created_merged_ || !exists))
                merged_path_ = path;
        }
    }
    error_path_ = progress_path_;
    error_path_ += ".err";
}

MergeJoin::~MergeJoin() {
    Stop();
}

void MergeJoin::Start() {
    if (!dialog_ || child_.started())
        return;
    claimNames();
    child_.start([this] { runnerMain(); }, [this] { monitorMain(); });
}

void MergeJoin::Stop() {
    child_.stop();
    std::error_code ec;
    fs::remove(error_path_, ec);
    // A merged file this join created stays when it succeeded or, stopped, when what
    // was written plays; a failed join's is already gone.
    if (created_merged_ && end_.load(std::memory_order_acquire) < 0 &&
        !checkOutput(merged_path_, {true, true}).ok())
        fs::remove(merged_path_, ec);
    if (end_.load(std::memory_order_acquire) < 0)
        created_merged_ = false;
}

std::string MergeJoin::commandText() const {
    std::lock_guard lock(mutex_);
    return command_text_;
}

void MergeJoin::runnerMain() {
    if (child_.stopping())
        return;
    // ffmpeg 5.1 treats a part it cannot open as the end of the list and reports
    // success with a shorter file; a missing part must fail the join instead. The
    // monitor sees the runner end without progress and reports the failure.
    for (const std::string& input : request_.inputs) {
        std::error_code ec;
        if (!fs::is_regular_file(input, ec))
            return child_.fail({"a part of the merge is missing: " + input, {}});
    }
    if (!writeConcatList(list_path_, request_.inputs))
        return child_.fail({"cannot write the merge list " + list_path_.string(), {}});
    platform::CommandLine command = buildMergeCommand(progress_path_.string(), list_path_.string(),
                                                      merged_path_.string(), options_.program);
    if (options_.log)
        options_.log(command.display());
    {
        std::lock_guard lock(mutex_);
        command_text_ = command.display();
    }
    // A stop lets ffmpeg close the merged file, so that what it wrote plays.
    child_.run(command, error_path_, {progress_path_, 3000});
}

void MergeJoin::monitorMain() {
    const double total = request_.total_duration;
    const ChildJob::End end = child_.follow(
        progress_path_, error_path_, [total] { return total; },
        [this](int percent) {
            child_.postUnlessStopping([&] { return platform::postJoinProgress(*dialog_, percent); });
        });
    if (end == ChildJob::End::Stopped)
        return;
    bool success = end == ChildJob::End::Success;
    if (success && !checkOutput(merged_path_, {true, false}).ok()) {
        child_.fail({"the merged file holds nothing that plays", "output check of " + merged_path_.string(),
                     "FailOutputEmpty"});
        success = false;
    }
    if (!success && created_merged_) {
        std::error_code ec;
        fs::remove(merged_path_, ec);
    }
    end_.store(success ? 1 : 0, std::memory_order_release);
    const auto id =
        success ? platform::MergeDialogId::WM_MERGE_JOIN_DONE : platform::MergeDialogId::WM_MERGE_JOIN_FAILED;
    child_.postUnlessStopping([&] { return platform::postToMergeDialog(*dialog_, id); });
}

}  // namespace convert
