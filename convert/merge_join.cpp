#include "convert/merge_join.h"

#include "convert/merge_list.h"
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
    progress_path_ = platform::logDir() / ("merge_" + std::to_string(platform::nowMicros()));
    error_path_ = progress_path_;
    error_path_ += ".err";
    list_path_ = platform::workDir() / (std::to_string(platform::nowMicros()) + ".txt");
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
    if (!dialog_ || child_.started())
        return;
    std::error_code ec;
    fs::remove(progress_path_, ec);
    child_.start([this] { runnerMain(); }, [this] { monitorMain(); });
}

void MergeJoin::Stop() {
    child_.stop();
    std::error_code ec;
    fs::remove(error_path_, ec);
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
    child_.run(command, error_path_);
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
    const auto id = end == ChildJob::End::Success ? platform::MergeDialogId::WM_MERGE_JOIN_DONE
                                                  : platform::MergeDialogId::WM_MERGE_JOIN_FAILED;
    child_.postUnlessStopping([&] { return platform::postToMergeDialog(*dialog_, id); });
}

}  // namespace convert
