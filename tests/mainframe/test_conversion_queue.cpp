// The conversion queue and its controller with real ffmpeg conversions, driven like a
// user: start, start again, stop, retry, remove, merge, power-off. The lists are
// checked for consistency after every handled message and every command.

#include "convert/merge_join.h"
#include "mainframe/conversion_controller.h"
#include "mainframe/convert_worker.h"
#include "mainframe/probe_queue.h"
#include "mainframe/task_lists.h"
#include "message_pump.h"
#include "platform/folders.h"
#include "platform/window_messages.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <functional>

namespace {

namespace fs = std::filesystem;
using convert::ConvertMode;
using convert::ConvertTask;
using convert::TaskState;
using mainframe::TaskLists;
using platform::Message;

convert::JobOptions fastJobs() {
    convert::JobOptions o;
    o.success_delay_ms = 0;
    o.poll_interval_ms = 100;
    o.ready_poll_ms = 20;
    return o;
}

// Joins like the merge dialog does: runs the join and waits for its last message.
int joinModally(const convert::MergeRequest& request, fs::path* merged) {
    platform::MessageQueue dialog;
    convert::MergeOptions options;
    options.poll_interval_ms = 100;
    options.success_delay_ms = 0;
    convert::MergeJoin join(request, &dialog, options);
    join.Start();
    int result = -1;
    testsupport::dispatchUntil(
        dialog,
        [&](const Message& raw) {
            const platform::MergeDialogMessage m(raw);
            if (m.id() == platform::MergeDialogId::WM_MERGE_JOIN_DONE)
                result = 1;
            if (m.id() == platform::MergeDialogId::WM_MERGE_JOIN_FAILED)
                result = 0;
            return result >= 0;
        },
        60000);
    if (merged)
        *merged = join.mergedPath();
    return result < 0 ? 0 : result;
}

class QueueTest : public ::testing::Test {
protected:
    QueueTest() {
        fs::create_directories(dir / "out");
        lists.chooseOutputFolder((dir / "out").string());
        prompts.ask = [this](std::string_view key, const std::string&) {
            asked.emplace_back(key);
            return answer_yes;
        };
        prompts.show = [this](std::string_view key, const std::string& arg) {
            shown.push_back(std::string(key) + (arg.empty() ? "" : ":" + arg));
        };
        prompts.run_merge = [this](const convert::MergeRequest& request) {
            requests.push_back(request);
            return joinModally(request, &merged);
        };
        prompts.open_folder = [this](const std::string& folder) { opened.push_back(folder); };
        prompts.log = [this](const std::string& line) { logged.push_back(line); };
        controller =
            std::make_unique<mainframe::ConversionController>(lists, selection, worker, &window, prompts);
    }
    ~QueueTest() override {
        window.close();  // the probe's sends and the jobs' posts end here
        worker.Shutdown();
    }

    void check() { ASSERT_EQ(controller->checkConsistency(), ""); }

    // Handles the window's messages until `done` holds (or the time is up).
    bool pumpUntil(const std::function<bool()>& done, int timeout_ms = 60000) {
        auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
        while (!done()) {
            if (std::chrono::steady_clock::now() > until)
                return false;
            window.waitAndDispatch(
                [&](const Message& m) {
                    controller->handleMessage(m);
                    EXPECT_EQ(controller->checkConsistency(), "") << "after message " << m.id;
                    return 0;
                },
                50);
        }
        return true;
    }

    std::vector<ConvertTask*> add(const std::vector<std::string>& paths) {
        auto added = lists.AddPaths(paths);
        check();
        // Wait for the probe, as a user would before picking targets.
        EXPECT_TRUE(pumpUntil([&] {
            return std::all_of(added.begin(), added.end(), [](ConvertTask* t) { return t->ready.load(); });
        }));
        return added;
    }

    std::string clip(const std::string& name, double seconds, const std::string& size = "160x120",
                     const std::string& rate = "25") {
        fs::path p = dir / name;
        EXPECT_TRUE(testsupport::makeClip(p, seconds, true, true, {"-s", size, "-r", rate}));
        return p.string();
    }

    static bool isState(ConvertTask* t, TaskState s) { return t->state.load() == s; }
    static bool allIn(const std::vector<ConvertTask*>& ts, TaskState s) {
        return std::all_of(ts.begin(), ts.end(), [&](ConvertTask* t) { return isState(t, s); });
    }

    testsupport::IsolatedHome home;
    testsupport::TempDir dir;
    platform::MessageQueue window;
    mainframe::TargetSelection selection{[](std::string_view, std::string_view) { return std::string(); }};
    mainframe::ConvertWorker worker{&window, mainframe::makeJobFactory(fastJobs(), {mainframe::listProbe()})};
    mainframe::ProbeQueue probe{&window, false};
    TaskLists lists{selection,
                    {[this](const std::vector<ConvertTask*>& b) { probe.AddProbeBatch(b); },
                     [this] { probe.SkipProbeBatch(); }, [this](ConvertTask* t) { worker.Remove(t); }}};
    mainframe::Prompts prompts;
    std::unique_ptr<mainframe::ConversionController> controller;
    bool answer_yes = true;
    std::vector<std::string> asked, shown, opened, logged;
    std::vector<convert::MergeRequest> requests;
    fs::path merged;
};

TEST_F(QueueTest, StartingTwiceQueuesNothingNewAndPowerOffFollowsTheLastSuccess) {
    const fs::path flag = dir / "powered_off";
    testsupport::ScopedEnv power("QUORIN_POWEROFF_COMMAND", "touch " + flag.string());
    auto tasks = add({clip("a.mp4", 1), clip("b.mp4", 1), clip("c.mp4", 1)});
    controller->setPowerOff(true);
    controller->start();
    check();
    EXPECT_EQ(controller->activeCount(), 3);
    EXPECT_TRUE(TaskLists::rowOf(tasks[0])->converting());
    controller->start();  // all Queued or Running: nothing new
    check();
    EXPECT_EQ(controller->activeCount(), 3);
    EXPECT_EQ(worker.queue().size(), 3u);
    ASSERT_TRUE(pumpUntil([&] { return allIn(tasks, TaskState::Done); }));
    EXPECT_EQ(controller->activeCount(), 0);
    for (ConvertTask* t : tasks) {
        EXPECT_TRUE(fs::exists(t->output_path));
        EXPECT_EQ(fs::path(t->output_path).parent_path(), dir / "out");
        EXPECT_TRUE(TaskLists::rowOf(t)->finished());
        EXPECT_FALSE(worker.hasJob(t));
    }
    ASSERT_TRUE(pumpUntil([&] { return fs::exists(flag); }, 5000)) << "power-off command did not run";
    // Done tasks stay queued until removed or queued again, and stay Done when the
    // worker shuts down (the lists saved then keep the results).
    EXPECT_EQ(worker.queue().size(), 3u);
    check();
    worker.Shutdown();
    EXPECT_TRUE(allIn(tasks, TaskState::Done));
}

TEST_F(QueueTest, StopOfTheRunningTaskGoesOnWithTheNextAndBlocksPowerOff) {
    const fs::path flag = dir / "powered_off";
    testsupport::ScopedEnv power("QUORIN_POWEROFF_COMMAND", "touch " + flag.string());
    auto tasks = add({clip("long.mp4", 20, "640x480"), clip("b.mp4", 1)});
    controller->setPowerOff(true);
    controller->start();
    ASSERT_TRUE(pumpUntil([&] { return isState(tasks[0], TaskState::Running) && worker.hasJob(tasks[0]); }));
    answer_yes = false;
    EXPECT_FALSE(controller->stop(tasks[0]));  // "ConfirmStop" answered No
    EXPECT_TRUE(isState(tasks[0], TaskState::Running));
    answer_yes = true;
    EXPECT_TRUE(controller->stop(tasks[0]));
    check();
    EXPECT_TRUE(isState(tasks[0], TaskState::Stopped));
    EXPECT_FALSE(worker.hasJob(tasks[0]));
    EXPECT_FALSE(TaskLists::rowOf(tasks[0])->converting());
    ASSERT_TRUE(pumpUntil([&] { return isState(tasks[1], TaskState::Done); }));
    EXPECT_EQ(controller->activeCount(), 1);  // a stop never gives its count back
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    EXPECT_FALSE(fs::exists(flag));
    // Starting again picks the stopped task up.
    controller->start();
    EXPECT_TRUE(isState(tasks[0], TaskState::Queued) || isState(tasks[0], TaskState::Running));
    EXPECT_TRUE(isState(tasks[1], TaskState::Done));
    check();
}

TEST_F(QueueTest, RetriedTaskWaitsForTheBatchThenRunsFirst) {
    lists.setMode(ConvertMode::Gif);
    auto retried = add({clip("gif.mp4", 1)});
    lists.setMode(ConvertMode::Video);
    auto first = add({clip("long.mp4", 6, "640x480")});
    controller->start();
    ASSERT_TRUE(pumpUntil([&] { return isState(first[0], TaskState::Running); }));
    auto later = add({clip("later.mp4", 1)});
    controller->start();            // queues `later` (queue: first, later)
    controller->retry(retried[0]);  // (queue: first, later, retried)
    check();
    EXPECT_EQ(retried[0]->requeued, 1);
    std::vector<ConvertTask*> order;
    ASSERT_TRUE(pumpUntil([&] {
        for (ConvertTask* t : {first[0], later[0], retried[0]})
            if (isState(t, TaskState::Done) && std::find(order.begin(), order.end(), t) == order.end())
                order.push_back(t);
        return order.size() == 3;
    }));
    EXPECT_EQ(order, (std::vector<ConvertTask*>{first[0], retried[0], later[0]}));
    EXPECT_EQ(fs::path(retried[0]->output_path).extension(), ".gif");
}

TEST_F(QueueTest, RemovingTheRunningTaskStopsItAndKeepsItInTheRemovedList) {
    auto tasks = add({clip("long.mp4", 20, "640x480"), clip("b.mp4", 1)});
    controller->start();
    ASSERT_TRUE(pumpUntil([&] { return worker.hasJob(tasks[0]); }));
    EXPECT_TRUE(lists.remove(tasks[0]));
    check();
    EXPECT_EQ(worker.removed(), std::vector<ConvertTask*>{tasks[0]});
    ASSERT_TRUE(pumpUntil([&] { return isState(tasks[1], TaskState::Done); }));
    EXPECT_TRUE(isState(tasks[0], TaskState::Stopped));
}

TEST_F(QueueTest, FailedConversionShowsFailureAndRetryCanRecover) {
    const std::string bad = (dir / "broken.mp4").string();
    testsupport::writeFile(bad, "not a video at all");
    auto tasks = add({bad});
    controller->start();
    ASSERT_TRUE(pumpUntil([&] { return isState(tasks[0], TaskState::Failed); }));
    EXPECT_TRUE(TaskLists::rowOf(tasks[0])->visible("btn_recode_fail"));
    EXPECT_TRUE(shown.empty());  // a silent failure
    EXPECT_EQ(controller->activeCount(), 1);
    fs::copy_file(clip("good.mp4", 1), bad, fs::copy_options::overwrite_existing);
    // The probe facts of the old file stay (they are not refreshed); the job reads the file.
    tasks[0]->duration = tasks[0]->clip_end = 1;
    controller->retry(tasks[0]);
    ASSERT_TRUE(pumpUntil([&] { return isState(tasks[0], TaskState::Done); }));
    check();
}

TEST_F(QueueTest, SpecialSourceWithoutPluginFolderReportsCannotRecode) {
    testsupport::TempDir program;
    testsupport::ScopedEnv env("QUORIN_PROGRAM_DIR", program.path().string());
    const std::string kux = (dir / "video.kux").string();
    fs::copy_file(clip("src.mp4", 1), kux);
    auto tasks = add({kux});
    controller->start();
    ASSERT_TRUE(pumpUntil([&] { return isState(tasks[0], TaskState::Failed); }));
    EXPECT_EQ(shown, std::vector<std::string>{"CannotRecode:video.kux"});
    EXPECT_EQ(tasks[0]->source_path, kux);
    EXPECT_TRUE(fs::is_empty(dir / "out"));
}

TEST_F(QueueTest, ClosingAsksOnlyWhileARowOfAnyListConverts) {
    EXPECT_TRUE(controller->confirmClose());
    lists.setMode(ConvertMode::Audio2);
    auto tasks = add({clip("song.mp4", 20, "640x480")});
    controller->start();
    lists.setMode(ConvertMode::Video);
    answer_yes = false;
    EXPECT_FALSE(controller->confirmClose());
    EXPECT_EQ(asked, std::vector<std::string>{"ConfirmClose"});
    answer_yes = true;
    lists.remove(tasks[0]);
    check();
}

TEST_F(QueueTest, RemoveAndClearAskFirst) {
    auto tasks = add({clip("a.mp4", 1), clip("b.mp4", 1)});
    answer_yes = false;
    EXPECT_FALSE(controller->removeTask(tasks[0]));
    EXPECT_FALSE(controller->clearList());
    EXPECT_EQ(lists.rows().size(), 2u);
    answer_yes = true;
    EXPECT_TRUE(controller->removeTask(tasks[0]));
    EXPECT_FALSE(controller->removeTask(tasks[0]));  // no row any more
    EXPECT_TRUE(controller->clearList());
    EXPECT_TRUE(lists.emptyFrameVisible());
    EXPECT_EQ(asked, (std::vector<std::string>{"RemoveVideo", "ClearVideo", "RemoveVideo", "ClearVideo"}));
    EXPECT_EQ(mainframe::ConversionController::startButtonKey(ConvertMode::Audio), "BtnExtractTxt");
    EXPECT_EQ(mainframe::ConversionController::startButtonKey(ConvertMode::Merge), "BtnMergeTxt");
    EXPECT_EQ(mainframe::ConversionController::startButtonKey(ConvertMode::Audio2), "BtnConverTxt");
    check();
}

// ---- Merge ----

TEST_F(QueueTest, MergeOfThreePartsJoinsInListOrderAndStartingAgainJoinsAtOnce) {
    lists.setMode(ConvertMode::Merge);
    controller->start();  // empty list: nothing
    auto one = add({clip("a.mp4", 1, "320x240", "25")});
    controller->start();
    EXPECT_EQ(shown, std::vector<std::string>{"MergeNeed2Video"});
    auto more = add({clip("b.mp4", 2, "160x120", "30"), clip("c.mp4", 1, "640x360", "24")});
    std::vector<ConvertTask*> parts = {one[0], more[0], more[1]};
    lists.moveUp(more[1]);  // order: a, c, b
    parts[1]->clip_start = 0;
    controller->start();
    check();
    ASSERT_TRUE(pumpUntil([&] { return requests.size() == 1; }, 90000));
    ASSERT_TRUE(allIn(parts, TaskState::Done));
    const convert::MergeRequest r = requests[0];
    ASSERT_EQ(r.inputs.size(), 3u);
    EXPECT_EQ(r.inputs[0], parts[0]->output_path);
    EXPECT_EQ(r.inputs[1], parts[2]->output_path);
    EXPECT_EQ(r.inputs[2], parts[1]->output_path);
    EXPECT_EQ(r.total_duration, 4);
    EXPECT_EQ(r.target_ext, "mp4");
    EXPECT_EQ(fs::path(r.inputs[0]).parent_path(), platform::workDir());
    EXPECT_EQ(asked, std::vector<std::string>{"TransformSuccess"});
    EXPECT_EQ(opened, std::vector<std::string>{(dir / "out").string() + "/"});
    EXPECT_TRUE(fs::exists(merged));

    // Every part already done: starting again opens the join at once.
    controller->start();
    ASSERT_TRUE(pumpUntil([&] { return requests.size() == 2; }, 60000));
    EXPECT_EQ(requests[1].inputs, r.inputs);
    check();
}

TEST_F(QueueTest, MergePartFailureTakesTheRestOutAndNoJoinOpens) {
    lists.setMode(ConvertMode::Merge);
    const std::string bad = (dir / "broken.mp4").string();
    testsupport::writeFile(bad, "garbage");
    auto parts = add({clip("a.mp4", 1), bad, clip("c.mp4", 1)});
    controller->start();
    ASSERT_TRUE(pumpUntil([&] {
        return std::find(shown.begin(), shown.end(), "MergeError2") != shown.end() &&
               !isState(parts[1], TaskState::Running);
    }));
    EXPECT_TRUE(isState(parts[0], TaskState::Done));
    EXPECT_TRUE(isState(parts[1], TaskState::Failed));
    EXPECT_TRUE(isState(parts[2], TaskState::New));
    EXPECT_TRUE(requests.empty());
    for (ConvertTask* t : parts)
        EXPECT_FALSE(TaskLists::rowOf(t)->converting());
    check();

    // The format guard: with nothing converting a change puts every part back to New.
    controller->chooseMenuItem("menuex_mkv_720");
    EXPECT_TRUE(allIn(parts, TaskState::New));
    for (ConvertTask* t : parts) {
        EXPECT_FALSE(TaskLists::rowOf(t)->visible("layResultVideo1"));
        EXPECT_EQ(TaskLists::rowOf(t)->text("codec_type_new"), "MKV");
    }
    // While a part converts, it changes nothing and says so.
    lists.remove(parts[1]);
    controller->start();
    controller->chooseMenuItem("menuex_avi_720");
    EXPECT_EQ(shown.back(), "WaitForConver");
    EXPECT_EQ(selection.format(ConvertMode::Merge), 1);
    ASSERT_TRUE(pumpUntil([&] { return requests.size() == 1; }, 90000));
    EXPECT_EQ(requests[0].target_ext, "mkv");
    check();
}

TEST_F(QueueTest, MergePartThatFailsAfterWritingOutputStillStopsTheMerge) {
    testsupport::TempDir program;
    testsupport::ScopedEnv env("QUORIN_PROGRAM_DIR", program.path().string());
    fs::copy_file(fs::path(QUORIN_TEST_SOURCE_DIR) / "tests/mainframe/standin_ffmpeg_partial",
                  program.path() / "ffmpeg");
    lists.setMode(ConvertMode::Merge);
    auto parts = add({clip("a.mp4", 1), clip("partial.mp4", 1), clip("c.mp4", 1)});
    controller->start();
    ASSERT_TRUE(pumpUntil([&] {
        return std::find(shown.begin(), shown.end(), "MergeError2") != shown.end() &&
               isState(parts[1], TaskState::Failed);
    }));
    EXPECT_TRUE(isState(parts[0], TaskState::Done));
    EXPECT_TRUE(isState(parts[2], TaskState::New));
    EXPECT_TRUE(requests.empty());
    check();
}

TEST_F(QueueTest, ClippedPartCountsItsClipLength) {
    lists.setMode(ConvertMode::Merge);
    auto parts = add({clip("a.mp4", 1), clip("b.mp4", 1)});
    for (ConvertTask* t : parts)
        t->state = TaskState::Done;
    parts[0]->duration = 60;
    parts[0]->clip_start = 10;
    parts[0]->clip_end = 20;
    parts[1]->duration = 30;
    parts[1]->clip_start = 0;
    parts[1]->clip_end = 30;
    auto request = controller->buildMergeRequest();
    ASSERT_TRUE(request);
    EXPECT_EQ(request->total_duration, 40);
    // Parts never converted have no prepared file: logged, not refused.
    EXPECT_EQ(logged.size(), 2u);
    parts[1]->state = TaskState::Failed;
    EXPECT_FALSE(controller->buildMergeRequest());
    for (ConvertTask* t : parts)
        lists.remove(t);
    check();
}

}  // namespace
