#include "convert/util_transform_special.h"

#include "platform/process.h"

#include <chrono>

namespace convert {

namespace fs = std::filesystem;

void removeQuietly(const fs::path& path) {
    std::error_code ec;
    fs::remove(path, ec);
}

bool pathExists(const fs::path& path) {
    std::error_code ec;
    return fs::exists(fs::status(path, ec));
}

std::int64_t fileSizeOf(const fs::path& path) {
    std::error_code ec;
    auto size = fs::file_size(path, ec);
    return ec ? 0 : static_cast<std::int64_t>(size);
}

CUtilTransformSpecial::CUtilTransformSpecial(ConvertTask* task, platform::MessageTarget* window,
                                             JobOptions options, SpecialSourceOptions special)
    : CUtilTransform(task, window, std::move(options)),
      special_(std::move(special)),
      unique_id_(task ? task->unique_id : std::string()),
      random_(static_cast<std::uint32_t>(std::chrono::system_clock::now().time_since_epoch().count())) {}

std::vector<std::string> CUtilTransformSpecial::toolCommands() const {
    std::lock_guard lock(commands_mutex_);
    return commands_;
}

fs::path CUtilTransformSpecial::intermediate(const std::string& suffix) const {
    return workDir() / (unique_id_ + suffix);
}

bool CUtilTransformSpecial::runTool(const platform::CommandLine& command) {
    if (stopping())
        return false;
    {
        std::lock_guard lock(commands_mutex_);
        commands_.push_back(command.display());
    }
    // A tool given by path that is not there: do not let PATH find some other program.
    if (command.program().find('/') != std::string::npos && !pathExists(command.program())) {
        child().fail({"the companion tool " + command.program() + " is missing", {}});
        return false;
    }
    return child().run(command).started && !stopping();
}

int CUtilTransformSpecial::failPrepare(const std::string& why) {
    child().fail({why, {}});
    postToWindow(platform::MainWindowId::WM_CONVERT_START_FAILED);
    return 0;
}

int CUtilTransformSpecial::finishPrepare(const std::string& new_source) {
    ConvertTask* t = task();
    t->source_path = new_source;
    const bool probed = special_.probe.probe_media && special_.probe.probe_media(*t);
    const bool covered = probed && special_.probe.make_cover && special_.probe.make_cover(*t);
    // Posted rather than sent: a window that destroys this job waits for the runner,
    // and a runner blocked in a send to that window would never end. The fields the
    // window reads were written before the post.
    if (probed && covered)
        postToWindow(platform::MainWindowId::WM_TASK_INFO_READY);
    return 1;
}

int CUtilTransformSpecial::madeUpProgress(const fs::path& watched, int cap, int pause_bound_ms) {
    const int bound = special_.pause_bound_ms > 0 ? special_.pause_bound_ms : pause_bound_ms;
    int i = 0;
    while (!stopping()) {
        if (pathExists(watched)) {
            postProgress(cap);
            i = cap;
            break;
        }
        const int pause = static_cast<int>((random_() & 0x7fff) % static_cast<unsigned>(bound));
        if (sleepInterruptibly(pause))
            break;
        postProgress(i);
        ++i;
        if (i > cap)
            break;
    }
    return i == cap ? cap : -1;
}

}  // namespace convert
