#include "convert/util_transform.h"

#include "platform/folders.h"
#include "platform/process.h"

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
    if (!chooseOutputPath(*task_, work_dir_)) {
        child_.fail({"no free output name beside " + task_->output_path, {}});
        postToWindow(platform::MainWindowId::WM_CONVERT_FAILED);
        return;
    }
    progress_path_ = progressPathFor(*task_);
    error_path_ = progress_path_;
    error_path_ += ".err";
    removeFile(progress_path_);
    removeFile(error_path_);
    child_.start([this] { runnerMain(); }, [this] { monitorMain(); });
}

bool CUtilTransform::chooseOutputPath(ConvertTask& task, const fs::path& work_dir) {
    const bool merge = task.convertMode() == ConvertMode::Merge;
    auto pathFor = [&] {
        std::string base = merge ? withSlash(work_dir.string()) : withSlash(task.output_folder);
        return base + task.output_name + "." + task.target_ext;
    };
    // A rename adds to the name; a name that no file system takes would fail in ffmpeg.
    task.output_name = fitName(task.output_name, "", task.target_ext);
    task.output_path = pathFor();
    if (merge) {
        // Merge parts live in our own work folder: an old part is simply replaced.
        removeFile(task.output_path);
    } else {
        for (int i = 0; i < 3 && fileExists(task.output_path); ++i) {
            task.output_name =
                fitName(task.output_name, "_" + std::to_string(i) + "_" + task.unique_id, task.target_ext);
            task.output_path = pathFor();
        }
    }
    return !fileExists(task.output_path);
}

fs::path CUtilTransform::progressPathFor(const ConvertTask& task) {
    return platform::logDir() / (task.output_name + "_" + task.target_ext);
}

void CUtilTransform::Stop() {
    child_.stop();
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
    written_seconds_.store(writtenSeconds(*task_), std::memory_order_release);
    platform::CommandLine command = buildCommand(*task_, progress_path_.string(), options_.build);
    if (options_.log)
        options_.log(command.display());
    {
        std::lock_guard lock(mutex_);
        command_text_ = command.display();
    }
    const ChildJob::Run run = child_.run(command, error_path_);
    if (!run.started) {
        postToWindow(platform::MainWindowId::WM_CONVERT_START_FAILED);
        return false;
    }
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
    if (end == ChildJob::End::Success)
        postProgress(100);
    else if (end == ChildJob::End::Failure)
        postToWindow(platform::MainWindowId::WM_CONVERT_FAILED);
}

}  // namespace convert
