// The kux, qlv and qsv jobs with stand-in companion tools (tests/convert/standins) in a
// temporary program folder's plugin/.

#include "convert/util_transform_special.h"
#include "message_pump.h"
#include "platform/folders.h"
#include "platform/message_target.h"
#include "platform/strings.h"
#include "platform/window_messages.h"
#include "test_support.h"

#include <gtest/gtest.h>
#include <signal.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <thread>
#include <vector>

namespace {

namespace fs = std::filesystem;
using convert::ConvertMode;
using convert::ConvertTask;
using platform::Message;

const fs::path kStandins = fs::path(QUORIN_TEST_SOURCE_DIR) / "tests/convert/standins";

using Outcome = testsupport::JobOutcome;

Outcome pump(platform::MessageQueue& queue, int timeout_ms = 30000) {
    return testsupport::runToEnd(queue, testsupport::JobWindow::Main, timeout_ms);
}

// Probes with the real ffprobe: enough for the job to measure the ffmpeg phase.
convert::SourceProbe ffprobeProbe(int* probes) {
    convert::SourceProbe probe;
    probe.probe_media = [probes](ConvertTask& t) {
        ++*probes;
        auto r = testsupport::runTool({"ffprobe", "-v", "error", "-show_entries", "format=duration", "-of",
                                       "default=nw=1:nk=1", t.source_path});
        if (r.exit_code != 0)
            return false;
        t.duration = t.clip_end = static_cast<int>(std::atof(r.output.c_str()));
        return t.duration > 0;
    };
    probe.make_cover = [](ConvertTask&) { return true; };
    return probe;
}

class SpecialSourceTest : public ::testing::Test {
protected:
    void SetUp() override {
        fs::create_directories(program.path() / "plugin" / "kux");
        fs::create_directories(dir / "out");
        options.success_delay_ms = 0;
        options.poll_interval_ms = 200;
        special.probe = ffprobeProbe(&probes);
        special.pause_bound_ms = 50;
    }

    void install(const std::string& standin, const std::string& as) {
        fs::copy_file(kStandins / standin, program.path() / "plugin" / as,
                      fs::copy_options::overwrite_existing);
    }

    // A source of `kind` made from a real clip: the stand-ins read it with ffmpeg.
    std::unique_ptr<ConvertTask> source(const std::string& ext, double seconds = 1.0) {
        fs::path clip = dir / ("src." + ext);
        EXPECT_TRUE(testsupport::makeClip(clip, seconds, true, true, {"-s", "160x120", "-f", "mp4"}));
        auto t = std::make_unique<ConvertTask>(clip.string(), ConvertMode::Video);
        t->target_ext = "mp4";
        t->output_folder = (dir / "out").string() + "/";
        t->width = 160;
        t->height = 120;
        // A crop the user set before: a special source is converted without it.
        t->crop_x = 8;
        t->crop_y = 8;
        t->crop_width = 100;
        t->crop_height = 80;
        t->duration = t->clip_end = static_cast<int>(seconds);
        t->ready.store(true);
        return t;
    }

    // Installs `standin` as the tool `as`, runs a Job on a fresh source of `ext` to its
    // end and asserts that it succeeded; task, job and out stay for the test to read.
    template <class Job>
    void runToSuccess(const std::string& standin, const std::string& as, const std::string& ext) {
        install(standin, as);
        task = source(ext);
        job = std::make_unique<Job>(task.get(), &queue, options, special);
        job->Start();
        out = pump(queue);
        ASSERT_TRUE(out.success) << job->failure().text;
    }

    // The task's intermediate file W + U + suffix.
    std::string workFile(const std::string& suffix) const {
        return (platform::workDir() / (task->unique_id + suffix)).string();
    }

    std::vector<std::string> workFilesOf(const ConvertTask& t) const {
        std::vector<std::string> names;
        for (const auto& e : fs::directory_iterator(platform::workDir())) {
            std::string name = e.path().filename().string();
            if (name.rfind(t.unique_id, 0) == 0)
                names.push_back(name);
        }
        return names;
    }

    testsupport::IsolatedHome home;
    testsupport::TempDir dir;
    testsupport::TempDir program;
    testsupport::ScopedEnv program_env{"QUORIN_PROGRAM_DIR", program.path().string()};
    platform::MessageQueue queue;
    convert::JobOptions options;
    convert::SpecialSourceOptions special;
    int probes = 0;
    std::unique_ptr<ConvertTask> task;
    std::unique_ptr<convert::CUtilTransformSpecial> job;  // after the task: it ends first
    Outcome out;
};

TEST_F(SpecialSourceTest, KuxToolOutputBecomesTheSourceAndNoCropIsApplied) {
    ASSERT_NO_FATAL_FAILURE(runToSuccess<convert::CUtilTransform_Kux>("kux_ffmpeg", "kux/ffmpeg", "kux"));
    EXPECT_EQ(task->source_path, workFile(".mp4"));
    EXPECT_TRUE(fs::exists(task->output_path));
    EXPECT_EQ(job->commandText().find("crop"), std::string::npos) << job->commandText();
    ASSERT_EQ(job->toolCommands().size(), 1u);
    EXPECT_EQ(job->toolCommands()[0], "\"" + (program.path() / "plugin/kux/ffmpeg").string() + "\" -y -i \"" +
                                          (dir / "src.kux").string() + "\" -c copy \"" + task->source_path +
                                          "\"");
    EXPECT_EQ(probes, 1);
    EXPECT_TRUE(out.info_ready);
    // Made-up progress counts up from 0 while the tool runs; the job ends at 100.
    ASSERT_FALSE(out.progress.empty());
    EXPECT_TRUE(out.progress.front() == 0 || out.progress.front() == 10) << out.progress.front();
    EXPECT_EQ(out.progress.back(), 100);
    for (int p : out.progress) {
        EXPECT_GE(p, 0);
        EXPECT_LE(p, 100);
    }
}

TEST_F(SpecialSourceTest, QlvLeavesOnlyTheTsOfTheTaskInTheWorkFolder) {
    ASSERT_NO_FATAL_FAILURE(runToSuccess<convert::CUtilTransform_Qlv>("qlvconvert", "qlvconvert", "qlv"));
    EXPECT_EQ(workFilesOf(*task), std::vector<std::string>{task->unique_id + ".ts"});
    EXPECT_EQ(task->source_path, workFile(".ts"));
    ASSERT_EQ(job->toolCommands().size(), 2u);
    EXPECT_EQ(job->toolCommands()[1].rfind("ffmpeg -hide_banner -y -i \"", 0), 0u) << job->toolCommands()[1];
}

TEST_F(SpecialSourceTest, QsvTinyFlvFallsBackToTheMp4AndShowsItsSize) {
    ASSERT_NO_FATAL_FAILURE(
        runToSuccess<convert::CUtilTransform_Qsv>("qsvconvert_tiny_flv", "qsvconvert", "qsv"));
    const fs::path flv = platform::workDir() / (task->unique_id + ".flv");
    EXPECT_EQ(task->source_path, flv.string() + ".mp4");
    EXPECT_FALSE(fs::exists(flv));
    EXPECT_EQ(task->size_text,
              platform::FormatSize(static_cast<std::uint64_t>(fs::file_size(task->source_path))));
}

TEST_F(SpecialSourceTest, QsvLargeEnoughFlvIsKept) {
    ASSERT_NO_FATAL_FAILURE(runToSuccess<convert::CUtilTransform_Qsv>("qsvconvert", "qsvconvert", "qsv"));
    EXPECT_EQ(task->source_path, workFile(".flv"));
}

TEST_F(SpecialSourceTest, MissingOrFailingToolGivesStartFailedAndNoConversion) {
    // No plugin folder at all for the first three; a tool that writes nothing for the last.
    fs::remove_all(program.path() / "plugin");
    auto kux = source("kux");
    auto qlv = source("qlv");
    auto qsv = source("qsv");
    auto failing = source("qsv");
    std::vector<std::unique_ptr<convert::CUtilTransform>> jobs;  // after the tasks: they die first
    jobs.push_back(std::make_unique<convert::CUtilTransform_Kux>(kux.get(), &queue, options, special));
    jobs.push_back(std::make_unique<convert::CUtilTransform_Qlv>(qlv.get(), &queue, options, special));
    jobs.push_back(std::make_unique<convert::CUtilTransform_Qsv>(qsv.get(), &queue, options, special));
    fs::create_directories(program.path() / "plugin");
    install("tool_fails", "qsvconvert");
    jobs.push_back(std::make_unique<convert::CUtilTransform_Qsv>(failing.get(), &queue, options, special));
    // Started one after the other: each must end in START_FAILED then FAILED.
    for (auto& job : jobs) {
        job->Start();
        Outcome out = pump(queue);
        EXPECT_TRUE(out.start_failed);
        EXPECT_TRUE(out.failed);
        EXPECT_FALSE(out.success);
        EXPECT_TRUE(job->commandText().empty()) << "ffmpeg ran: " << job->commandText();
    }
    EXPECT_EQ(probes, 0);
}

TEST_F(SpecialSourceTest, StoppingDuringTheToolEndsItAndPostsNothingMore) {
    install("tool_hangs", "kux/ffmpeg");
    const fs::path pidfile = dir / "pid";
    testsupport::ScopedEnv pid_env("QUORIN_STANDIN_PIDFILE", pidfile.string());
    auto t = source("kux");
    auto job = std::make_unique<convert::CUtilTransform_Kux>(t.get(), &queue, options, special);
    job->Start();
    for (int i = 0; i < 100 && !fs::exists(pidfile); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    ASSERT_TRUE(fs::exists(pidfile));
    const pid_t pid = std::atoi(testsupport::readFile(pidfile).c_str());
    job.reset();
    queue.dispatch([](const Message&) { return 0; });  // what was posted before the stop
    EXPECT_NE(::kill(pid, 0), 0) << "the tool still runs";
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_EQ(queue.dispatch([](const Message&) { return 0; }), 0);
}

}  // namespace
