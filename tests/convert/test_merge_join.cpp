// The merge join: the concat list, the command, and real joins with ffmpeg.

#include "convert/merge_join.h"
#include "convert/merge_list.h"
#include "message_pump.h"
#include "platform/folders.h"
#include "platform/window_messages.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>

namespace {

namespace fs = std::filesystem;
using convert::MergeJoin;
using convert::MergeRequest;
using platform::Message;

TEST(ConcatList, EscapesQuotesKeepsUtf8AndEndsLinesWithCrLf) {
    testsupport::TempDir dir;
    const std::vector<std::string> inputs = {"/w/a.mp4", "/w/it's here.mp4", "/w/Übung 日本.mp4"};
    ASSERT_TRUE(convert::writeConcatList(dir / "list.txt", inputs));
    EXPECT_EQ(testsupport::readFile(dir / "list.txt"),
              "file '/w/a.mp4'\r\n"
              "file '/w/it'\\''s here.mp4'\r\n"
              "file '/w/Übung 日本.mp4'\r\n");
    EXPECT_FALSE(convert::writeConcatList(dir / "missing" / "list.txt", inputs));
}

TEST(ConcatList, CommandKeepsEveryPathOneArgument) {
    platform::CommandLine c =
        convert::buildMergeCommand("/d/log/merge_1", "/w/1.txt", "/o/-x y.mkv", "ffmpeg");
    EXPECT_EQ(c.display(),
              "ffmpeg -safe 0 -hide_banner -progress \"/d/log/merge_1\" -y -f concat -i \"/w/1.txt\" "
              "-map 0 -c copy \"/o/-x y.mkv\"");
    EXPECT_EQ(c.argv().back(), "/o/-x y.mkv");
    EXPECT_EQ(c.argv().size(), 16u);
}

testsupport::JobOutcome pumpJoin(platform::MessageQueue& queue, int timeout_ms = 60000) {
    return testsupport::runToEnd(queue, testsupport::JobWindow::MergeDialog, timeout_ms);
}

double durationOf(const fs::path& file) {
    auto r = testsupport::runTool({"ffprobe", "-v", "error", "-show_entries", "format=duration", "-of",
                                   "default=nw=1:nk=1", file.string()});
    return r.exit_code == 0 ? std::atof(r.output.c_str()) : -1;
}

class MergeJoinTest : public ::testing::Test {
protected:
    MergeJoinTest() {
        fs::create_directories(dir / "out");
        options.poll_interval_ms = 100;
        options.success_delay_ms = 0;
        options.merge_file_name = "Merge";
    }
    // Parts as the merge preparation makes them: one size, rate and codec set.
    std::string part(const std::string& name, double seconds) {
        fs::path p = dir / name;
        EXPECT_TRUE(testsupport::makeClip(
            p, seconds, true, true,
            {"-s", "160x120", "-r", "30", "-ac", "2", "-ar", "44100", "-c:v", "libx264", "-c:a", "aac"}));
        return p.string();
    }

    testsupport::IsolatedHome home;
    testsupport::TempDir dir;
    platform::MessageQueue queue;
    convert::MergeOptions options;
};

TEST_F(MergeJoinTest, JoinsPartsInOrderIntoTheTargetExtension) {
    MergeRequest request;
    request.inputs = {part("a.mp4", 1), part("it's b.mp4", 2), part("ç c.mp4", 1)};
    request.target_ext = "mkv";
    request.output_folder = (dir / "out").string();  // no trailing separator
    request.total_duration = 4;
    MergeJoin join(request, &queue, options);
    join.Start();
    testsupport::JobOutcome r = pumpJoin(queue);
    ASSERT_TRUE(r.success);
    EXPECT_EQ(join.mergedPath().parent_path(), dir / "out");
    EXPECT_EQ(join.mergedPath().extension(), ".mkv");
    EXPECT_EQ(join.mergedPath().filename().string().rfind("Merge_", 0), 0u);
    EXPECT_NEAR(durationOf(join.mergedPath()), 4.0, 0.5);
    for (int p : r.progress) {
        EXPECT_GE(p, 1);
        EXPECT_LE(p, 99);
    }
    EXPECT_EQ(join.listPath().parent_path(), platform::workDir());
    EXPECT_TRUE(fs::exists(join.listPath()));  // left on disk
}

TEST_F(MergeJoinTest, MissingPartFailsTheJoin) {
    MergeRequest request;
    request.inputs = {part("a.mp4", 1), (dir / "gone.mp4").string()};
    request.target_ext = "mp4";
    request.output_folder = (dir / "out").string() + "/";
    request.total_duration = 2;
    MergeJoin join(request, &queue, options);
    join.Start();
    testsupport::JobOutcome r = pumpJoin(queue);
    EXPECT_TRUE(r.failed);
    EXPECT_FALSE(r.success);
}

TEST_F(MergeJoinTest, FfmpegNotStartableFailsOnce) {
    MergeRequest request;
    request.inputs = {part("a.mp4", 1), part("b.mp4", 1)};
    request.target_ext = "mp4";
    request.output_folder = (dir / "out").string() + "/";
    options.program = (dir / "no-such-ffmpeg").string();
    MergeJoin join(request, &queue, options);
    join.Start();
    testsupport::JobOutcome r = pumpJoin(queue);
    EXPECT_TRUE(r.failed);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_EQ(queue.dispatch([](const Message&) { return 0; }), 0) << "failure reported twice";
}

TEST_F(MergeJoinTest, StopPostsNothingAfterwards) {
    MergeRequest request;
    request.inputs = {part("a.mp4", 3), part("b.mp4", 3)};
    request.target_ext = "mp4";
    request.output_folder = (dir / "out").string() + "/";
    request.total_duration = 6;
    MergeJoin join(request, &queue, options);
    join.Start();
    std::this_thread::sleep_for(std::chrono::milliseconds(150));
    join.Stop();
    queue.dispatch([](const Message&) { return 0; });
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_EQ(queue.dispatch([](const Message&) { return 0; }), 0);
}

TEST_F(MergeJoinTest, NoDialogDoesNothing) {
    MergeRequest request;
    request.inputs = {"/x.mp4"};
    MergeJoin join(request, nullptr, options);
    join.Start();
    join.Stop();
    EXPECT_FALSE(fs::exists(join.listPath()));
}

}  // namespace
