// The lists kept across a crash: what comes back, what a dead job leaves, and state
// files that are not ours.

#include "mainframe/queue_store.h"
#include "mainframe/target_selection.h"
#include "mainframe/task_lists.h"
#include "test_support.h"

#include <gtest/gtest.h>

namespace {

namespace fs = std::filesystem;
using convert::ConvertMode;
using convert::ConvertTask;
using convert::TaskState;
using mainframe::QueueStore;
using mainframe::SavedQueue;
using mainframe::TargetSelection;
using mainframe::TaskLists;

std::string noText(std::string_view, std::string_view) {
    return {};
}

struct Window {
    TargetSelection selection{noText};
    std::vector<ConvertTask*> probed;
    TaskLists lists{selection, TaskLists::Hooks{[this](const std::vector<ConvertTask*>& batch) {
                                                    probed.insert(probed.end(), batch.begin(), batch.end());
                                                },
                                                {},
                                                {}}};
};

class QueueStoreTest : public ::testing::Test {
protected:
    std::string source(const std::string& name) {
        testsupport::writeFile(dir / name, "media");
        return (dir / name).string();
    }
    testsupport::IsolatedHome home;
    testsupport::TempDir dir;
    QueueStore store{dir / "queue.json"};
};

TEST_F(QueueStoreTest, ListsComeBackWithChoicesAndStatesAndDeadJobsLeaveNothing) {
    Window before;
    const std::string a = source("a clip.mp4"), b = source("b\n'quoted'.mkv"), c = source("c.mp3");
    before.lists.AddPaths({a, b});
    before.lists.setMode(ConvertMode::Audio2);
    before.lists.AddPaths({c});
    before.lists.setMode(ConvertMode::Video);

    ConvertTask& done = *before.lists.rows(ConvertMode::Video)[0]->task();
    done.output_name = "renamed";
    done.clip_start = 3;
    done.clip_end = 9;
    done.crop_x = 2;
    done.crop_width = 640;
    done.crop_height = 360;
    done.speed = 1.5f;
    done.output_path = source("renamed.mp4");
    done.state = TaskState::Done;
    done.ready.store(true);  // a converted task was probed
    before.lists.rows(ConvertMode::Video)[0]->target = {1, 2};

    ConvertTask& running = *before.lists.rows(ConvertMode::Video)[1]->task();
    running.state = TaskState::Running;
    const std::string partial = source("b partial.mp4");
    before.lists.rows(ConvertMode::Video)[1]->job_output = partial;
    ASSERT_TRUE(store.save(mainframe::snapshotQueue(before.lists)));

    const QueueStore::Loaded loaded = store.load();
    EXPECT_TRUE(loaded.set_aside.empty());
    EXPECT_FALSE(fs::exists(partial));          // the dead job's output
    EXPECT_TRUE(fs::exists(done.output_path));  // a result stays
    Window after;
    mainframe::restoreQueue(after.lists, loaded.queue);

    EXPECT_EQ(after.lists.mode(), ConvertMode::Video);
    ASSERT_EQ(after.lists.rows(ConvertMode::Video).size(), 2u);
    ASSERT_EQ(after.lists.rows(ConvertMode::Audio2).size(), 1u);
    EXPECT_EQ(after.probed.size(), 3u);  // probed again
    const auto* row = after.lists.rows(ConvertMode::Video)[0];
    const ConvertTask& back = *row->task();
    EXPECT_EQ(back.source_path, a);
    EXPECT_EQ(back.output_name, "renamed");
    EXPECT_EQ(row->text("edit_new_video_name"), "renamed");
    EXPECT_EQ(row->target, (convert::TargetChoice{1, 2}));
    EXPECT_EQ(back.preset_index, 2);
    EXPECT_EQ(std::make_pair(back.clip_start, back.clip_end), std::make_pair(3, 9));
    EXPECT_EQ(std::make_tuple(back.crop_x, back.crop_width, back.crop_height), std::make_tuple(2, 640, 360));
    EXPECT_FLOAT_EQ(back.speed, 1.5f);
    EXPECT_EQ(back.state.load(), TaskState::Done);
    EXPECT_TRUE(row->finished());
    EXPECT_EQ(back.output_path, done.output_path);
    // The interrupted task comes back New: the probe passes over Stopped tasks.
    const ConvertTask& interrupted = *after.lists.rows(ConvertMode::Video)[1]->task();
    EXPECT_EQ(interrupted.source_path, b);
    EXPECT_EQ(interrupted.state.load(), TaskState::New);
    EXPECT_EQ(after.lists.rows(ConvertMode::Audio2)[0]->task()->source_path, c);

    // A source that went away is dropped and counted.
    fs::remove(c);
    ASSERT_TRUE(store.save(mainframe::snapshotQueue(after.lists)));
    const QueueStore::Loaded again = store.load();
    EXPECT_EQ(again.queue.tasks.size(), 2u);
    EXPECT_EQ(again.missing_sources, 1);
}

TEST_F(QueueStoreTest, StoppedTasksAndMergePartsComeBackToBeProbedAndPreparedAgain) {
    SavedQueue saved;
    const auto task = [&](const std::string& name, ConvertMode mode, TaskState state) {
        mainframe::SavedTask t;
        t.source = source(name);
        t.mode = mode;
        t.state = state;
        t.output_name = "merge_1_123";
        t.output_path = (dir / "work part.mp4").string();
        saved.tasks.push_back(t);
    };
    task("stopped.mp4", ConvertMode::Video, TaskState::Stopped);
    task("part.mp4", ConvertMode::Merge, TaskState::Done);
    ASSERT_TRUE(store.save(saved));
    const QueueStore::Loaded loaded = store.load();
    ASSERT_EQ(loaded.queue.tasks.size(), 2u);
    EXPECT_EQ(loaded.queue.tasks[0].state, TaskState::New);
    EXPECT_EQ(loaded.queue.tasks[1].state, TaskState::New);
    EXPECT_TRUE(loaded.queue.tasks[1].output_path.empty());
    Window after;
    mainframe::restoreQueue(after.lists, loaded.queue);
    EXPECT_EQ(after.lists.rows(ConvertMode::Merge)[0]->task()->output_name, "part");
}

TEST_F(QueueStoreTest, StateFilesThatAreNotOursAreSetAsideWhole) {
    EXPECT_TRUE(store.load().queue.tasks.empty());  // none yet
    SavedQueue one;
    one.tasks.push_back({});
    one.tasks[0].source = source("x.mp4");
    const std::string good = mainframe::queueToJson(one);
    const std::string bad_task =
        R"({"format":"quorin-queue","version":1,"current_mode":0,"tasks":[{"source":"/x","mode":9,"state":0}]})";
    for (const std::string& text :
         {std::string("\x89PNG garbage"), std::string(), good.substr(0, good.size() / 2),
          std::string(R"({"format":"other","version":1})"), std::string(R"([1,2,3])"), bad_task,
          std::string(R"({"format":"quorin-queue","version":2,"current_mode":0,"tasks":[]})"),
          std::string(100000, '[')}) {
        for (const auto& entry : fs::directory_iterator(dir.path()))
            if (entry.path().filename().string().starts_with("queue.json"))
                fs::remove(entry.path());
        testsupport::writeFile(store.file(), text);
        const QueueStore::Loaded loaded = store.load();
        EXPECT_TRUE(loaded.queue.tasks.empty()) << text.substr(0, 40);
        ASSERT_FALSE(loaded.set_aside.empty()) << text.substr(0, 40);
        EXPECT_EQ(testsupport::readFile(loaded.set_aside), text);
        EXPECT_FALSE(fs::exists(store.file()));
    }
    EXPECT_TRUE(mainframe::queueFromJson(good).has_value());
}

}  // namespace
