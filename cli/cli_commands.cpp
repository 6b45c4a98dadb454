#include "cli/cli_commands.h"

#include "app/language.h"
#include "app/path_ini.h"
#include "app/settings_store.h"
#include "convert/ffmpeg_tool.h"
#include "convert/job_factory.h"
#include "convert/merge_join.h"
#include "convert/merge_list.h"
#include "convert/target_formats.h"
#include "mainframe/job_text.h"
#include "mainframe/media_probe.h"
#include "mainframe/target_resolution.h"
#include "platform/console.h"
#include "platform/files.h"
#include "platform/folders.h"
#include "platform/message_target.h"
#include "platform/process.h"
#include "platform/window_messages.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>

namespace cli {

namespace {

namespace fs = std::filesystem;
using convert::ConvertMode;
using convert::ConvertTask;

void printError(const std::string& text) {
    std::fprintf(stderr, "quorin-convert: %s\n", text.c_str());
}

std::string absolutePath(const std::string& file) {
    std::error_code ec;
    fs::path p = fs::absolute(file, ec);
    return ec ? file : p.lexically_normal().string();
}

// The options' target, the mode's initial choice where they name none.
convert::TargetChoice targetChoice(const CliOptions& o) {
    const convert::ModeInfo& mode = convert::modeInfo(o.mode);
    return {o.format.value_or(mode.initial_format), o.preset.value_or(mode.initial_preset)};
}

// Builds the task of `file` as the window does: created, probed, then given the mode's
// selection and the clip, crop, speed, volume, folder and name. Nothing on an error
// that belongs to this file (`error` says why).
std::unique_ptr<ConvertTask> buildTask(const CliOptions& o, const std::string& file, const fs::path& out_dir,
                                       std::string& error) {
    auto task = std::make_unique<ConvertTask>(absolutePath(file), o.mode, o.level);
    const ConvertMode mode = o.mode;
    if (task->source_kind != 0 && !convert::modeInfo(mode).takes_special_sources) {
        error = file + ": this mode does not take ." + task->source_ext + " sources";
        return nullptr;
    }
    mainframe::ProbeMedia(*task);
    task->ready.store(true, std::memory_order_release);

    mainframe::applySelection(*task, targetChoice(o), o.level);
    if (o.clip) {
        if (task->duration > 0 && o.clip->first >= task->duration) {
            error = file + ": the clip starts after the end (" + task->duration_text + ")";
            return nullptr;
        }
        task->clip_start = o.clip->first;
        task->clip_end = task->duration > 0 ? std::min(o.clip->second, task->duration) : o.clip->second;
    }
    if (o.crop) {
        const auto& r = *o.crop;
        if (task->width > 0 && task->height > 0 &&
            (r[0] + r[2] > task->width || r[1] + r[3] > task->height)) {
            error = file + ": the crop lies outside the " + task->source_resolution + " frame";
            return nullptr;
        }
        task->crop_x = r[0];
        task->crop_y = r[1];
        task->crop_width = r[2];
        task->crop_height = r[3];
    }
    task->speed = o.speed;
    task->volume = o.volume;
    task->output_folder = out_dir.empty() ? "/" : platform::withSlash(out_dir.string());
    if (mode == ConvertMode::Merge) {
        task->output_name = "merge_" + task->unique_id;
    } else if (!o.name.empty()) {
        task->output_name = o.name;
    }
    return task;
}

fs::path outputFolder(const CliOptions& o) {
    fs::path dir = o.output_dir.empty() ? app::readOutputPath() : fs::path(absolutePath(o.output_dir));
    return dir;
}

convert::BuildSettings settingsFrom(app::SettingsStore& store) {
    convert::BuildSettings s;
    s.muxing_queue_size = [&store] { return store.muxingQueueSize(); };
    s.take_bitrate_override = [&store] { return store.takeCustomBitrate(); };
    s.take_frame_rate_override = [&store] { return store.takeCustomFrameRate(); };
    return s;
}

std::string jsonString(const std::string& text) {
    std::string out = "\"";
    for (unsigned char c : text) {
        switch (c) {
            case '"':
                out += "\\\"";
                break;
            case '\\':
                out += "\\\\";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            case '\t':
                out += "\\t";
                break;
            default:
                if (c < 0x20) {
                    char buf[8];
                    std::snprintf(buf, sizeof buf, "\\u%04x", c);
                    out += buf;
                } else {
                    out += static_cast<char>(c);
                }
        }
    }
    return out + "\"";
}

// Progress of one file: a bar on a terminal, plain lines otherwise, or with --json
// {"event":"progress","file":...,"percent":N} lines on standard output.
class ProgressView {
public:
    ProgressView(std::string name, std::string file, bool json, bool bar)
        : name_(std::move(name)),
          file_(std::move(file)),
          json_(json),
          tty_(bar && !json && platform::standardErrorIsTerminal()) {}
    void show(int percent) {
        if (percent == last_)
            return;
        last_ = percent;
        if (json_) {
            std::printf("{\"event\":\"progress\",\"file\":%s,\"percent\":%d}\n", jsonString(file_).c_str(),
                        percent);
            std::fflush(stdout);
            return;
        }
        if (tty_) {
            const int filled = percent / 4;
            std::fprintf(
                stderr, "\r[%s%s] %3d%%  %s", std::string(static_cast<std::size_t>(filled), '#').c_str(),
                std::string(static_cast<std::size_t>(25 - filled), ' ').c_str(), percent, name_.c_str());
        } else {
            std::fprintf(stderr, "%s: %d%%\n", name_.c_str(), percent);
        }
        std::fflush(stderr);
    }
    void end() {
        if (tty_ && last_ >= 0)
            std::fputc('\n', stderr);
        last_ = -1;
    }

private:
    std::string name_;
    std::string file_;
    bool json_;
    bool tty_;
    int last_ = -1;
};

enum class JobEnd { Done, Failed, Interrupted };

double secondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// Hands the queue's messages to `handle` until it names an end (the messages after it
// are not handed on) or Ctrl-C is pressed.
JobEnd waitForEnd(platform::MessageQueue& queue,
                  const std::function<std::optional<JobEnd>(const platform::Message&)>& handle) {
    std::optional<JobEnd> end;
    while (!end) {
        queue.waitAndDispatch(
            [&](const platform::Message& raw) -> platform::LParam {
                if (!end)
                    end = handle(raw);
                return 0;
            },
            100);
        if (!end && platform::takeInterrupt())
            end = JobEnd::Interrupted;
    }
    return *end;
}

// The special sources are probed again after their rewrite; no pictures in a terminal.
convert::SpecialSourceOptions specialOptions() {
    convert::SpecialSourceOptions special;
    special.probe.probe_media = [](ConvertTask& t) { return mainframe::ProbeMedia(t); };
    special.probe.make_cover = [](ConvertTask&) { return false; };
    return special;
}

// The user's text of a failure; the tool's own words go to the log (QUORIN_DEBUG=1),
// and with a failure the engine cannot name, beside the text.
std::string failureText(const convert::JobFailure& failure, const convert::JobOptions& options) {
    std::string text = failure.text.empty() ? "no result" : mainframe::failureSentence(failure);
    if (options.log && !failure.detail.empty())
        options.log("ffmpeg: " + failure.detail);
    else if (failure.key == "FailOther" && !failure.detail.empty())
        text += "\n  ffmpeg: " + failure.detail;
    return text;
}

// One file's conversion while it runs.
struct RunningJob {
    std::string given;  // the file as the command line names it
    std::unique_ptr<ConvertTask> task;
    std::unique_ptr<convert::CUtilTransform> job;
    ProgressView view;
    std::chrono::steady_clock::time_point started = std::chrono::steady_clock::now();
    std::optional<JobEnd> end;  // set by the message that ends it
    std::string why;            // the user's text of a failure
    std::string warning;        // of a success that is not all that was asked
};

std::unique_ptr<RunningJob> startJob(std::string given, std::unique_ptr<ConvertTask> task,
                                     platform::MessageQueue& queue, const convert::JobOptions& options,
                                     const CliOptions& cli) {
    const std::string name = fs::path(task->source_path).filename().string();
    const std::string file = task->added_path;
    auto run = std::make_unique<RunningJob>(RunningJob{std::move(given), std::move(task), nullptr,
                                                       ProgressView(name, file, cli.json, cli.jobs == 1)});
    run->job = convert::makeJob(run->task.get(), &queue, options, specialOptions());
    run->task->job = run->job.get();
    run->task->state.store(convert::TaskState::Running);
    run->job->Start();
    return run;
}

// A message of the job's task: progress shown; the end when it names one.
std::optional<JobEnd> handleJobMessage(RunningJob& run, const platform::MainWindowMessage& m,
                                       const CliOptions& cli) {
    ConvertTask& task = *run.task;
    if (m.id() == platform::MainWindowId::WM_TASK_INFO_READY) {
        // A special source was rewritten and probed again: the selection follows the
        // new facts, as in the window.
        mainframe::applySelection(task, targetChoice(cli), cli.level);
    } else if (m.id() == platform::MainWindowId::WM_CONVERT_PROGRESS) {
        const int percent = platform::progressPercent(m);
        run.view.show(percent);
        if (percent >= 100)
            return JobEnd::Done;
    } else if (m.id() == platform::MainWindowId::WM_CONVERT_FAILED) {
        return JobEnd::Failed;
    }
    return std::nullopt;
}

void finishJob(RunningJob& run, JobEnd end, const convert::JobOptions& options) {
    run.view.end();
    if (end == JobEnd::Failed)
        run.why = failureText(run.job->failure(), options);
    if (const convert::JobWarning w = run.job->warning(); end == JobEnd::Done && !w.empty())
        run.warning = mainframe::warningSentence(w);
    // On Ctrl-C: ffmpeg closes what it wrote; an output that does not play is removed.
    run.job->Stop();
    run.task->state.store(end == JobEnd::Done     ? convert::TaskState::Done
                          : end == JobEnd::Failed ? convert::TaskState::Failed
                                                  : convert::TaskState::Stopped);
}

JobEnd runJob(std::unique_ptr<ConvertTask>& task, platform::MessageQueue& queue,
              const convert::JobOptions& options, const CliOptions& cli, std::string& why) {
    const std::string given = task->added_path;
    std::unique_ptr<RunningJob> run = startJob(given, std::move(task), queue, options, cli);
    const JobEnd end = waitForEnd(queue, [&](const platform::Message& raw) -> std::optional<JobEnd> {
        const platform::MainWindowMessage m(raw);
        return platform::taskOf(m) == run->task.get() ? handleJobMessage(*run, m, cli) : std::nullopt;
    });
    finishJob(*run, end, options);
    why = run->why;
    task = std::move(run->task);
    return end;
}

// With --json, the end of one file: {"event":"finished","file":...,"state":...,
// "output":...,"error":...,"warning":...,"seconds":...}.
void printFinished(const std::string& file, JobEnd end, const std::string& output, const std::string& error,
                   const std::string& warning, double seconds) {
    static const char* const states[] = {"done", "failed", "stopped"};
    std::error_code ec;
    const bool kept = end != JobEnd::Failed && !output.empty() && fs::exists(output, ec);
    std::printf(
        "{\"event\":\"finished\",\"file\":%s,\"state\":\"%s\",\"output\":%s,\"error\":%s,"
        "\"warning\":%s,\"seconds\":%.2f}\n",
        jsonString(file).c_str(), states[static_cast<int>(end)], jsonString(kept ? output : "").c_str(),
        jsonString(error).c_str(), jsonString(warning).c_str(), seconds);
    std::fflush(stdout);
}

}  // namespace

std::string probeJson(const std::string& file) {
    ConvertTask task(absolutePath(file), ConvertMode::Video);
    const bool ok = mainframe::ProbeMedia(task);
    char fps[32];
    std::snprintf(fps, sizeof fps, "%.6g", static_cast<double>(task.fps));
    std::string j = "{\"file\": " + jsonString(file) + ", \"ok\": " + (ok ? "true" : "false");
    j += ", \"duration\": " + std::to_string(task.duration);
    j += ", \"duration_text\": " + jsonString(task.duration_text);
    j += ", \"width\": " + std::to_string(task.width);
    j += ", \"height\": " + std::to_string(task.height);
    j += ", \"fps\": " + std::string(fps);
    j += ", \"rotation\": " + std::to_string(task.rotation);
    j += ", \"channels\": " + std::to_string(task.channels);
    j += ", \"source_audio_bitrate\": " + jsonString(task.source_audio_bitrate);
    j += ", \"source_resolution\": " + jsonString(task.source_resolution);
    j += ", \"bit_rate\": " + std::to_string(task.bit_rate);
    j += ", \"has_data_stream\": " + std::to_string(task.has_data_stream);
    j += ", \"no_video\": " + std::to_string(task.no_video);
    j += ", \"cover_seek\": " + std::to_string(task.cover_seek);
    j += ", \"file_size\": " + std::to_string(task.file_size);
    j += ", \"size_text\": " + jsonString(task.size_text) + "}";
    return j;
}

int runProbe(const CliOptions& options) {
    // "ok" tells what the probe made of each file; only a missing file is an error.
    mainframe::silenceLibraryLogs();
    int status = 0;
    for (const auto& file : options.files) {
        std::string line = probeJson(file) + "\n";
        std::fputs(line.c_str(), stdout);
        std::error_code ec;
        if (!fs::exists(file, ec))
            status = 1;
    }
    return status;
}

int runShowCommand(const CliOptions& options) {
    mainframe::silenceLibraryLogs();
    const fs::path out_dir = outputFolder(options);
    std::string error;
    auto task = buildTask(options, options.files.front(), out_dir, error);
    if (!task) {
        printError(error);
        return 1;
    }
    if (task->convertMode() == ConvertMode::Merge) {
        // A merge part goes to the work folder; its unique name never clashes, and
        // showing the command must not delete anything.
        task->output_path =
            platform::withSlash(platform::workDir().string()) + task->output_name + "." + task->target_ext;
    } else if (!convert::CUtilTransform::chooseOutputPath(*task, platform::workDir())) {
        printError(options.files.front() + ": no free output name beside " + task->output_path);
        return 1;
    }
    app::SettingsStore store;
    store.load();
    store.setCustomBitrate(options.bitrate_override_bps);
    store.setCustomFrameRate(options.fps_override);
    auto cmd = convert::buildCommand(*task, convert::CUtilTransform::progressPathFor(*task).string(),
                                     settingsFrom(store));
    std::printf("%s\n", cmd.display().c_str());
    return 0;
}

// Prepares every file as a merge part in the work folder, then joins the parts into
// the output folder. The parts are deleted afterwards.
int runMerge(const CliOptions& options, const fs::path& out_dir, platform::MessageQueue& queue,
             const convert::JobOptions& job_options) {
    // The parts are named in ffmpeg's concat list, which cannot hold a line break.
    if (const std::string work = platform::workDir().string(); !convert::concatListAccepts(work)) {
        printError("the work folder " + work +
                   " holds a line break, which a merge list cannot name; nothing was merged");
        return 1;
    }
    std::vector<std::unique_ptr<ConvertTask>> parts;
    auto removeParts = [&] {
        std::error_code ec;
        for (const auto& part : parts)
            fs::remove(part->output_path, ec);
    };
    // Every part is probed first: a part without picture is refused before anything is
    // prepared (a picture-only part gets silence, so the sound runs the whole length).
    std::vector<std::unique_ptr<ConvertTask>> tasks;
    for (const auto& file : options.files) {
        std::string error;
        auto task = buildTask(options, file, out_dir, error);
        if (!task) {
            printError(error + "; nothing was merged");
            return 1;
        }
        if (task->no_video) {
            printError(
                file + ": " +
                mainframe::localizedSentence(
                    "MergeNoPicture", {}, "this file has no picture, and every part of a merge needs one") +
                "; nothing was merged");
            return 1;
        }
        tasks.push_back(std::move(task));
    }
    double total_seconds = 0;
    for (std::size_t i = 0; i < tasks.size(); ++i) {
        const std::string& file = options.files[i];
        auto task = std::move(tasks[i]);
        std::string why;
        JobEnd end = runJob(task, queue, job_options, options, why);
        parts.push_back(std::move(task));
        if (end == JobEnd::Interrupted) {
            printError("stopped while preparing " + file);
            removeParts();
            return 130;
        }
        if (end == JobEnd::Failed) {
            printError(file + ": preparing the part failed: " + why + "; nothing was merged");
            removeParts();
            return 1;
        }
        total_seconds += convert::writtenSeconds(*parts.back());
    }
    convert::MergeRequest request;
    for (const auto& part : parts)
        request.inputs.push_back(part->output_path);
    request.target_ext = parts.front()->target_ext;
    request.output_folder = parts.front()->output_folder;
    request.total_duration = static_cast<std::int32_t>(total_seconds);
    convert::MergeOptions merge_options;
    merge_options.success_delay_ms = 0;
    // The merged file is named by the language text; without a language file, in English.
    if (std::string name = app::getText("MergeFileName"); !name.empty())
        merge_options.merge_file_name = name;
    merge_options.poll_interval_ms = job_options.poll_interval_ms;
    merge_options.log = job_options.log;
    convert::MergeJoin join(request, &queue, merge_options);
    ProgressView view("merge", "merge", options.json, true);
    const auto started = std::chrono::steady_clock::now();
    join.Start();
    const JobEnd end = waitForEnd(queue, [&](const platform::Message& raw) -> std::optional<JobEnd> {
        const platform::MergeDialogMessage m(raw);
        if (m.id() == platform::MergeDialogId::WM_MERGE_JOIN_PROGRESS)
            view.show(platform::progressPercent(m));
        if (m.id() == platform::MergeDialogId::WM_MERGE_JOIN_DONE)
            return JobEnd::Done;
        if (m.id() == platform::MergeDialogId::WM_MERGE_JOIN_FAILED)
            return JobEnd::Failed;
        return std::nullopt;
    });
    join.Stop();
    view.end();
    removeParts();
    std::error_code ec;
    fs::remove(join.listPath(), ec);
    const std::string why = end == JobEnd::Failed ? failureText(join.failure(), job_options) : std::string();
    if (options.json) {
        printFinished("merge", end, join.mergedPath().string(), why, "", secondsSince(started));
        return end == JobEnd::Done ? 0 : end == JobEnd::Failed ? 1 : 130;
    }
    if (end == JobEnd::Interrupted) {
        printError(fs::exists(join.mergedPath(), ec)
                       ? "stopped; the merged file up to the stop is at " + join.mergedPath().string()
                       : "stopped; nothing playable was written, so no merged file was kept");
        return 130;
    }
    if (end == JobEnd::Failed) {
        printError("joining the parts failed: " + why);
        return 1;
    }
    std::printf("%s\n", join.mergedPath().c_str());
    return 0;
}

int runConvert(const CliOptions& options) {
    mainframe::silenceLibraryLogs();
    const fs::path out_dir = outputFolder(options);
    if (!platform::ensureDir(out_dir)) {
        printError("cannot create the output folder " + out_dir.string());
        return 1;
    }
    // Ctrl-C and SIGTERM are taken between messages (blocked before any thread starts,
    // so every thread inherits the mask; children get the default handling back).
    platform::holdInterrupts();

    app::SettingsStore store;
    store.load();
    store.setCustomBitrate(options.bitrate_override_bps);
    store.setCustomFrameRate(options.fps_override);
    convert::JobOptions job_options;
    job_options.build = settingsFrom(store);
    job_options.success_delay_ms = 0;  // the child's exit settles success at once
    job_options.poll_interval_ms = 250;
    if (const char* debug = std::getenv("QUORIN_DEBUG"); debug && std::string(debug) == "1")
        job_options.log = [](const std::string& line) { std::fprintf(stderr, "%s\n", line.c_str()); };

    platform::MessageQueue queue;
    if (options.mode == ConvertMode::Merge)
        return runMerge(options, out_dir, queue, job_options);
    // Up to --jobs files at once; each job's messages name its task.
    int failed = 0;
    std::size_t next = 0;
    std::vector<std::unique_ptr<RunningJob>> running;
    const auto handle = [&](const platform::Message& raw) -> platform::LParam {
        const platform::MainWindowMessage m(raw);
        for (auto& run : running) {
            if (!run->end && platform::taskOf(m) == run->task.get())
                run->end = handleJobMessage(*run, m, options);
        }
        return 0;
    };
    // The end of one file: its output on standard output, a failure or a warning on
    // standard error; with --json one line for all of it.
    const auto finish = [&](RunningJob& run, JobEnd end) {
        finishJob(run, end, job_options);
        failed += end == JobEnd::Failed;
        const std::string& output = run.task->output_path;
        if (options.json) {
            printFinished(run.task->added_path, end, output, run.why, run.warning, secondsSince(run.started));
        } else if (end == JobEnd::Interrupted) {
            std::error_code ec;
            printError(fs::exists(output, ec)
                           ? "stopped; the output up to the stop is at " + output
                           : "stopped; nothing playable was written, so no output was kept");
        } else if (end == JobEnd::Failed) {
            printError(run.given + ": conversion failed: " + run.why);
        } else {
            if (!run.warning.empty())
                printError("warning: " + run.given + ": " + run.warning);
            std::printf("%s\n", output.c_str());
            std::fflush(stdout);
        }
    };
    while (next < options.files.size() || !running.empty()) {
        while (running.size() < static_cast<std::size_t>(options.jobs) && next < options.files.size()) {
            const std::string& file = options.files[next++];
            std::string error;
            if (auto task = buildTask(options, file, out_dir, error)) {
                running.push_back(startJob(file, std::move(task), queue, job_options, options));
                continue;
            }
            ++failed;
            if (options.json)
                printFinished(absolutePath(file), JobEnd::Failed, "", error, "", 0);
            else
                printError(error);
        }
        if (running.empty())
            break;
        queue.waitAndDispatch(handle, 100);
        if (platform::takeInterrupt()) {
            for (auto& run : running)
                finish(*run, JobEnd::Interrupted);
            return 130;
        }
        bool ended = false;
        for (auto& run : running) {
            if (run->end) {
                finish(*run, *run->end);
                ended = true;
            }
        }
        if (ended) {
            // A stopped job posts nothing more; what it posted before is read now, while
            // its task is still alive, so no later task at the same address takes it.
            queue.dispatch(handle);
            std::erase_if(running,
                          [](const auto& run) { return run->task->state != convert::TaskState::Running; });
        }
    }
    return failed == 0 ? 0 : 1;
}

int runDemo() {
    const char* tmp = std::getenv("TMPDIR");
    std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/quorin-demo-XXXXXX";
    if (!::mkdtemp(pattern.data())) {
        printError("cannot make a temporary folder in " + pattern);
        return 1;
    }
    const fs::path dir = pattern;
    const fs::path sample = dir / "sample.mp4";
    platform::CommandLine make(convert::ffmpegProgram());
    make.args({"-nostdin",  "-hide_banner", "-loglevel", "error",
               "-f",        "lavfi",        "-i",        "testsrc2=size=320x240:rate=25:duration=2",
               "-f",        "lavfi",        "-i",        "sine=frequency=440:sample_rate=44100:duration=2",
               "-shortest", "-c:v",         "libx264",   "-pix_fmt",
               "yuv420p",   "-c:a",         "aac",       sample.string()});
    std::string error;
    auto child = platform::Process::start(make, {}, &error);
    if (!child || child->wait() != 0 || !fs::exists(sample)) {
        printError("ffmpeg could not make the sample clip" + (error.empty() ? "" : ": " + error));
        return 1;
    }
    std::fprintf(stderr, "sample: %s\n", sample.c_str());
    CliOptions options;
    options.command = Command::Convert;
    options.format = convert::formatByToken("mkv")->id;  // MKV at the source size
    options.output_dir = (dir / "out").string();
    options.files = {sample.string()};
    return runConvert(options);
}

}  // namespace cli
