// What the window reports of a run of the queue (percentage, the task's and the run's
// time left, the summary at its end), the batches of paths from drops and the command line, and the
// clean-up of a stopped job's cut-off output.

#include "app/language.h"
#include "convert/convert_task.h"
#include "mainframe/path_batch.h"
#include "mainframe/queue_run.h"
#include "mainframe/task_lists.h"
#include "test_support.h"

#include <gtest/gtest.h>

namespace {

namespace fs = std::filesystem;
using convert::ConvertMode;
using convert::ConvertTask;
using convert::TaskState;
using mainframe::QueueRun;

void setState(ConvertTask& task, TaskState state) {
    task.state.store(state);
}

TEST(QueueRun, PercentCountsFinishedTasksInFullAndEndsOnceNothingWaits) {
    ConvertTask a("/x/a.mp4", ConvertMode::Video), b("/x/b.mp4", ConvertMode::Video),
        c("/x/c.mp4", ConvertMode::Video);
    QueueRun run;
    EXPECT_EQ(run.percent(), -1);
    EXPECT_FALSE(run.finishIfIdle());
    const auto t0 = QueueRun::Clock::now();
    for (ConvertTask* t : {&a, &b, &c}) {
        setState(*t, TaskState::Queued);
        run.queued(t, t0);
    }
    EXPECT_EQ(run.percent(), 0);
    EXPECT_FALSE(run.secondsLeft(t0));
    setState(a, TaskState::Running);
    run.progress(&a, 60);
    run.progress(nullptr, 99);  // not of this run
    EXPECT_EQ(run.percent(), 20);
    setState(a, TaskState::Done);
    setState(b, TaskState::Failed);
    EXPECT_EQ(run.percent(), 66);
    EXPECT_FALSE(run.finishIfIdle()) << "c still waits";
    setState(c, TaskState::Stopped);
    auto summary = run.finishIfIdle();
    ASSERT_TRUE(summary);
    EXPECT_EQ(summary->succeeded, 1);
    EXPECT_EQ(summary->failed, 1);
    EXPECT_EQ(summary->stopped, 1);
    EXPECT_FALSE(run.active());
    EXPECT_FALSE(run.finishIfIdle()) << "a run ends once";

    // A retried task starts again from zero in the next run.
    setState(a, TaskState::Queued);
    run.queued(&a);
    run.progress(&a, 150);
    setState(a, TaskState::Running);
    EXPECT_EQ(run.percent(), 100) << "readings are clamped";
}

TEST(QueueRun, TimeLeftOfTheConvertingTaskAndOfTheQueueOnceThePaceIsKnown) {
    app::setCurrentLanguage(app::LanguageId::English);
    ConvertTask a("/x/a.mp4", ConvertMode::Video), b("/x/b.mp4", ConvertMode::Video);
    a.duration = a.clip_end = 100;
    b.duration = 200;
    b.clip_start = 20, b.clip_end = 70;  // a clip: 50 s of media
    QueueRun run;
    const auto t0 = QueueRun::Clock::now();
    for (ConvertTask* t : {&a, &b}) {
        setState(*t, TaskState::Queued);
        run.queued(t, t0);
    }
    setState(a, TaskState::Running);
    run.progress(&a, 10, t0);
    run.progress(&a, 20, t0 + std::chrono::seconds(2));
    EXPECT_FALSE(run.taskSecondsLeft(&a, t0 + std::chrono::seconds(2))) << "too early to say";
    EXPECT_FALSE(run.secondsLeft(t0 + std::chrono::seconds(2)));
    EXPECT_EQ(run.statusText(t0 + std::chrono::seconds(2)), "10%");
    run.progress(&a, 30, t0 + std::chrono::seconds(4));
    const auto t4 = t0 + std::chrono::seconds(4);
    EXPECT_EQ(run.taskSecondsLeft(&a, t4), 14);  // 5 %/s, 70 % to go
    EXPECT_FALSE(run.taskSecondsLeft(&b, t4)) << "not converting";
    // 5 % of 100 s is 5 s of media a second: b's 50 s take 10 s more.
    EXPECT_EQ(run.secondsLeft(t4), 24);
    EXPECT_EQ(run.statusText(t4), "15% · 0:24 left");

    mainframe::RowModel row(&a);
    mainframe::showRowTimeLeft(row, run.taskSecondsLeft(&a, t4));
    EXPECT_TRUE(row.visible("label_time_left"));
    EXPECT_EQ(row.text("label_time_left"), "0:14 left");
    setState(a, TaskState::Stopped);
    mainframe::showRowTimeLeft(row, run.taskSecondsLeft(&a, t4));
    EXPECT_FALSE(row.visible("label_time_left"));
}

TEST(QueueRun, TheQueuesTimeLeftKeepsThePaceOfTheWholeRunAcrossTasks) {
    ConvertTask a("/x/a.mp4", ConvertMode::Video), b("/x/b.mp4", ConvertMode::Video),
        c("/x/c.mp4", ConvertMode::Video);
    a.duration = a.clip_end = b.duration = b.clip_end = 10;  // c is not probed yet: weighs 10 too
    QueueRun run;
    const auto t0 = QueueRun::Clock::now();
    const auto at = [t0](int s) { return t0 + std::chrono::seconds(s); };
    for (ConvertTask* t : {&a, &b, &c}) {
        setState(*t, TaskState::Queued);
        run.queued(t, t0);
    }
    setState(a, TaskState::Running);
    run.progress(&a, 20, at(0));
    run.progress(&a, 100, at(4));  // 8 of 30 media seconds in 4 s, 20 to go
    setState(a, TaskState::Done);
    EXPECT_EQ(run.secondsLeft(at(4)), 10);
    // The next task's first readings keep the run's pace known.
    setState(b, TaskState::Running);
    run.progress(&b, 0, at(6));
    EXPECT_EQ(run.secondsLeft(at(6)), 15);
    EXPECT_FALSE(run.taskSecondsLeft(&b, at(6)));
    // A failed task is finished work.
    setState(b, TaskState::Failed);
    setState(c, TaskState::Running);
    run.progress(&c, 50, at(8));  // 23 media seconds in 8 s, 5 to go
    EXPECT_EQ(run.secondsLeft(at(8)), 2);
    setState(c, TaskState::Done);
    ASSERT_TRUE(run.finishIfIdle());
    // The next run starts without a pace.
    setState(a, TaskState::Queued);
    run.queued(&a, at(9));
    run.progress(&a, 50, at(20));
    EXPECT_FALSE(run.secondsLeft(at(20)));
}

TEST(PartialOutput, OnlyAnUnfinishedTasksOwnFileIsRemoved) {
    testsupport::TempDir dir;
    ConvertTask task((dir / "src.mp4").string(), ConvertMode::Video);
    EXPECT_FALSE(mainframe::removePartialOutput(task)) << "no output chosen yet";
    task.output_path = (dir / "out.mp4").string();
    testsupport::writeFile(task.output_path, "half");
    setState(task, TaskState::Done);
    EXPECT_FALSE(mainframe::removePartialOutput(task));
    EXPECT_TRUE(fs::exists(task.output_path));
    setState(task, TaskState::Stopped);
    EXPECT_TRUE(mainframe::removePartialOutput(task));
    EXPECT_FALSE(fs::exists(task.output_path));
}

class PathBatchTest : public ::testing::Test {
protected:
    testsupport::IsolatedHome home_;
    testsupport::TempDir dir_;
    std::string video_ = mainframe::fileFilter(ConvertMode::Video).patterns;
};

TEST_F(PathBatchTest, FoldersGiveTheirSupportedFilesByNameAndRefusalsAreCounted) {
    fs::create_directories(dir_ / "clips" / "deeper");
    for (const char* name : {"b.MKV", "a.mp4", "notes.txt", "c.webm"})
        testsupport::writeFile(dir_ / "clips" / name, "x");
    testsupport::writeFile(dir_ / "clips" / "deeper" / "d.mp4", "x");
    fs::create_directories(dir_ / "empty");
    testsupport::writeFile(dir_ / "z.mov", "x");

    const mainframe::PathBatch batch = mainframe::sortPaths(
        {(dir_ / "z.mov").string(), (dir_ / "clips").string(), (dir_ / "song.flac").string(),
         (dir_ / "empty").string(), (dir_ / "noext").string()},
        video_);
    const std::string clips = (dir_ / "clips").string();
    EXPECT_EQ(batch.accepted, (std::vector<std::string>{(dir_ / "z.mov").string(), clips + "/a.mp4",
                                                        clips + "/b.MKV", clips + "/c.webm"}));
    // notes.txt, song.flac, the empty folder and the file without extension.
    EXPECT_EQ(batch.refused, 4);
    const auto message = mainframe::refusedMessage(batch);
    EXPECT_EQ(message.key, "NoSupportCount");
    EXPECT_EQ(message.count, 4);
}

TEST_F(PathBatchTest, AllRefusedOrNothingGivenSaysNoSupportAndAllTakenSaysNothing) {
    EXPECT_EQ(mainframe::refusedMessage(mainframe::sortPaths({"/x/a.flac"}, video_)).key, "NoSupport");
    EXPECT_EQ(mainframe::refusedMessage(mainframe::sortPaths({}, video_)).key, "NoSupport");
    const std::string audio = mainframe::fileFilter(ConvertMode::Audio2).patterns;
    const auto batch = mainframe::sortPaths({"/x/a.flac", "/x/b.MP4"}, audio);
    EXPECT_EQ(batch.accepted.size(), 2u);
    EXPECT_TRUE(mainframe::refusedMessage(batch).key.empty());
}

}  // namespace
