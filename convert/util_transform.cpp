#include "convert/util_transform.h"

#include "platform/files.h"
#include "platform/folders.h"
#include "platform/process.h"

#include <unistd.h>

#include <algorithm>

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

// How long a stop waits for a writing ffmpeg to close its output after SIGINT.
constexpr int kStopGraceMs = 3000;

// The longest file name the file systems take, in bytes.
constexpr std::size_t kMaxNameBytes = 255;

// `base` cut so that base + suffix + "." + ext fits a file name, and so do the job's
// own files named after it (base + suffix + "_" + ext + ".err" in the log folder), at a
// character boundary of its UTF-8.
std::string fitName(std::string base, const std::string& suffix, const std::string& ext) {
    const std::size_t rest = suffix.size() + 1 + ext.size() + 4;
    if (base.size() + rest <= kMaxNameBytes)
        return base + suffix;
    std::size_t keep = rest < kMaxNameBytes ? kMaxNameBytes - rest : 0;
    while (keep > 0 && (static_cast<unsigned char>(base[keep]) & 0xC0) == 0x80)
        --keep;
    return base.substr(0, keep) + suffix;
}

}  // namespace

CUtilTransform::CUtilTransform(ConvertTask* task, platform::MessageTarget* window, JobOptions options)
    : task_(task),
      window_(window),
      options_(std::move(options)),
      work_dir_(platform::workDir()),
      plugin_dir_(platform::pluginDir()),
      progress_path_(platform::logDir()),
      child_({options_.poll_interval_ms, options_.success_delay_ms}) {}

CUtilTransform::~CUtilTransform() {
    Stop();
}

void CUtilTransform::Start() {
    if (!window_ || !task_ || child_.started())
        return;
    if (!chooseOutputPath(*task_, work_dir_, true, &created_output_)) {
        child_.fail(
            {"no free output name beside " + task_->output_path, {}, "FailNoName", {task_->output_path}});
        postToWindow(platform::MainWindowId::WM_CONVERT_FAILED);
        return;
    }
    // The progress file is claimed like the output: another process's job converting
    // a file of the same name into another folder must not share it.
    progress_path_ = progressPathFor(*task_);
    if (!platform::createExclusive(progress_path_)) {
        progress_path_ = platform::logDir() / ("job_" + std::to_string(::getpid()) + "_" + task_->unique_id +
                                               "_" + task_->target_ext);
        removeFile(progress_path_);
    }
    error_path_ = progress_path_;
    error_path_ += ".err";
    removeFile(error_path_);
    child_.start([this] { runnerMain(); }, [this] { monitorMain(); });
}

bool CUtilTransform::chooseOutputPath(ConvertTask& task, const fs::path& work_dir, bool claim,
                                      bool* claimed) {
    if (claimed)
        *claimed = false;
    // Taken when a file exists, or (claiming) when another process created it first.
    auto taken = [&] {
        if (!claim)
            return fileExists(task.output_path);
        bool exists = false;
        if (platform::createExclusive(task.output_path, &exists)) {
            if (claimed)
                *claimed = true;
            return false;
        }
        return exists;
    };
    const bool merge = task.convertMode() == ConvertMode::Merge;
    auto pathFor = [&] {
        std::string base =
            merge ? platform::withSlash(work_dir.string()) : platform::withSlash(task.output_folder);
        return base + task.output_name + "." + task.target_ext;
    };
    // A rename adds to the name; a name that no file system takes would fail in ffmpeg.
    // The window reads the name while the job runs: it is written only when it changes.
    if (std::string fitted = fitName(task.output_name, "", task.target_ext); fitted != task.output_name)
        task.output_name = std::move(fitted);
    task.output_path = pathFor();
    if (merge) {
        // Merge parts live in our own work folder: an old part is simply replaced.
        removeFile(task.output_path);
        return !taken();
    }
    for (int i = 0; i < 3; ++i) {
        if (!taken())
            return true;
        task.output_name =
            fitName(task.output_name, "_" + std::to_string(i) + "_" + task.unique_id, task.target_ext);
        task.output_path = pathFor();
    }
    return !taken();
}

OutputNeeds CUtilTransform::outputNeeds(const ConvertTask& task) {
    switch (task.convertMode()) {
        case ConvertMode::Audio:
        case ConvertMode::Audio2:
            return {false, true};
        case ConvertMode::Gif:
            return {true, false};
        default:
            // A video target of a file with a moving picture must show it; one of a file
            // with sound only holds the sound.
            if (task.main_video_stream >= 0 && !task.attached_picture)
                return {true, false};
            if (task.no_video)
                return {false, true};
            return {};
    }
}

JobWarning CUtilTransform::warning() const {
    std::lock_guard lock(mutex_);
    return warning_;
}

void CUtilTransform::removeCreatedOutput() {
    if (created_output_ && task_)
        removeFile(task_->output_path);
}

bool CUtilTransform::checkResult() {
    const OutputNeeds needs = outputNeeds(*task_);
    const OutputCheck check = checkOutput(task_->output_path, needs);
    using V = OutputCheck::Verdict;
    if (!check.ok()) {
        JobFailure f;
        f.detail = "output check of " + task_->output_path;
        if (check.verdict == V::NoVideo)
            f = {"the output holds no picture that plays: the file's video is damaged", f.detail,
                 "FailOutputNoVideo"};
        else if (check.verdict == V::NoAudio)
            f = {"the output holds no sound that plays: the file's sound is damaged or missing", f.detail,
                 "FailOutputNoAudio"};
        else
            f = {
                "the conversion produced nothing that plays: the file is damaged or holds nothing to convert",
                f.detail, "FailOutputEmpty"};
        child_.fail(std::move(f));
        return false;
    }
    JobWarning warning;
    const double asked = written_seconds_.load(std::memory_order_acquire);
    if (asked > 0 && check.seconds < asked - std::max(2.0, asked / 10)) {
        const std::string got = lengthText(check.seconds), wanted = lengthText(asked);
        warning = {"the output lasts " + got + ", less than the " + wanted +
                       " expected: the file may be damaged or end early",
                   "WarnShorter",
                   {got, wanted}};
    } else if (needs.audio && !needs.video && task_->no_video && task_->convertMode() != ConvertMode::Audio &&
               task_->convertMode() != ConvertMode::Audio2) {
        warning = {"the file has no picture: the output holds only its sound", "WarnNoPicture", {}};
    }
    std::lock_guard lock(mutex_);
    warning_ = std::move(warning);
    return true;
}

fs::path CUtilTransform::progressPathFor(const ConvertTask& task) {
    return platform::logDir() / (task.output_name + "_" + task.target_ext);
}

void CUtilTransform::Stop() {
    child_.stop();
    // Stopped before an end was decided: what was written stays only when it plays.
    if (created_output_ && end_.load(std::memory_order_acquire) < 0 && task_) {
        if (!checkOutput(task_->output_path, outputNeeds(*task_)).ok())
            removeFile(task_->output_path);
        created_output_ = false;
    }
    if (!error_path_.empty()) {
        removeFile(progress_path_);
        removeFile(error_path_);
    }
    if (task_ && task_->job == this)
        task_->job = nullptr;
}

void CUtilTransform::waitRunner() {
    child_.waitRunner();
}

std::string CUtilTransform::commandText() const {
    std::lock_guard lock(mutex_);
    return command_text_;
}

int CUtilTransform::PrepareSource() {
    return window_ && task_ && !stopping() ? 1 : 0;
}

int CUtilTransform::PrepareProgress() {
    return 0;
}

bool CUtilTransform::postToWindow(platform::MainWindowId id) {
    return child_.postUnlessStopping(
        [&] { return window_ && platform::postToMainWindow(*window_, id, task_); });
}

bool CUtilTransform::postProgress(int percent) {
    return child_.postUnlessStopping(
        [&] { return window_ && platform::postConvertProgress(*window_, task_, percent); });
}

void CUtilTransform::runnerMain() {
    if (!window_ || !task_)
        return;
    while (!stopping()) {
        if (task_->ready.load(std::memory_order_acquire)) {
            if (PrepareSource() == 1)
                BuildAndRun();
            return;
        }
        sleepInterruptibly(options_.ready_poll_ms);
    }
}

bool CUtilTransform::BuildAndRun() {
    if (!window_ || !task_ || stopping())
        return false;
    // A file without the track the target is made of is refused in the user's words
    // (ffmpeg would say "Output file #0 does not contain any stream").
    const OutputNeeds needs = outputNeeds(*task_);
    if (task_->convertMode() == ConvertMode::Merge && task_->no_video) {
        child_.fail({"this file has no picture, and every part of a merge needs one", {}, "MergeNoPicture"});
        return false;
    }
    if (needs.video && task_->no_video) {
        child_.fail({"this file has no video track", {}, "FailNoVideo"});
        return false;
    }
    if (needs.audio && task_->streams_read && task_->audio_streams.empty()) {
        if (needs.video || task_->no_video == 0 || task_->convertMode() == ConvertMode::Audio ||
            task_->convertMode() == ConvertMode::Audio2)
            child_.fail({"this file has no sound track that can be converted", {}, "FailNoAudio"});
        else
            child_.fail({"the file has no track that this format can take", {}, "FailNoStream"});
        return false;
    }
    written_seconds_.store(writtenSeconds(*task_), std::memory_order_release);
    platform::CommandLine command = buildCommand(*task_, progress_path_.string(), options_.build);
    if (options_.log)
        options_.log(command.display());
    {
        std::lock_guard lock(mutex_);
        command_text_ = command.display();
    }
    // A stop lets a writing ffmpeg close its file, so that what it wrote plays.
    const ChildJob::Run run = child_.run(command, error_path_, {progress_path_, kStopGraceMs});
    if (!run.started) {
        postToWindow(platform::MainWindowId::WM_CONVERT_START_FAILED);
        return false;
    }
    // Read the output back before the runner ends, so that whoever waits for the runner
    // (the queue deciding on a merge part) knows whether it plays.
    const auto scan = readProgressFile(progress_path_);
    if (scan && scan->end && run.exit_code == 0 && !stopping())
        output_checked_.store(checkResult() ? 1 : 0, std::memory_order_release);
    return true;
}

void CUtilTransform::monitorMain() {
    const int base = PrepareProgress();
    if (!window_ || stopping())
        return;
    if (options_.log && task_) {
        options_.log("size:" + std::to_string(task_->file_size) +
                     "\tsec:" + std::to_string(static_cast<int>(written_seconds_.load())));
    }
    // The ffmpeg phase fills the part of the bar above what the pre-step used.
    const float from = base > 0 ? static_cast<float>(base) : 0.0f;
    const float scale = (100.0f - from) / -100.0f;
    const ChildJob::End end = child_.follow(
        progress_path_, error_path_, [&] { return written_seconds_.load(std::memory_order_acquire); },
        [&](int percent) {
            postProgress(static_cast<int>(from) - static_cast<int>(scale * static_cast<float>(percent)));
        });
    if (end == ChildJob::End::Stopped)
        return;
    const int checked = output_checked_.load(std::memory_order_acquire);
    if (end == ChildJob::End::Success && (checked >= 0 ? checked == 1 : checkResult())) {
        end_.store(static_cast<int>(end), std::memory_order_release);
        postProgress(100);
        return;
    }
    // A failed job leaves nothing behind of what it made.
    removeCreatedOutput();
    end_.store(static_cast<int>(ChildJob::End::Failure), std::memory_order_release);
    postToWindow(platform::MainWindowId::WM_CONVERT_FAILED);
}

}  // namespace convert
