#include "convert/util_transform.h"

#include "message_pump.h"
#include "platform/message_target.h"
#include "platform/window_messages.h"
#include "test_support.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <limits>
#include <sstream>
#include <vector>

namespace {

namespace fs = std::filesystem;
using convert::ConvertMode;
using convert::ConvertTask;
using convert::CUtilTransform;
using platform::MainWindowId;
using platform::Message;

MainWindowId idOf(const Message& m) {
    return platform::MainWindowMessage(m).id();
}
int percentOf(const Message& m) {
    return platform::progressPercent(platform::MainWindowMessage(m));
}

// A ready task for a generated 1 s clip, converted to mp4 at its own size.
void prepare(ConvertTask& t, const fs::path& source, const fs::path& out_dir) {
    t.source_path = source.string();
    t.name = t.output_name = source.stem().string();
    t.unique_id = convert::makeUniqueId();
    t.mode = static_cast<int>(ConvertMode::Video);
    t.target_ext = "mp4";
    t.output_folder = out_dir.string() + "/";
    t.width = 160;
    t.height = 120;
    t.crop_width = 160;
    t.crop_height = 120;
    t.source_resolution = t.target_resolution = "160x120";
    t.duration = t.clip_end = 1;
    t.ready.store(true);
}

convert::JobOptions fastOptions() {
    convert::JobOptions o;
    o.success_delay_ms = 0;
    o.poll_interval_ms = 200;
    return o;
}

// Collects messages until one of the job's final ones arrives (or the time is up).
std::vector<Message> runToEnd(platform::MessageQueue& queue, int timeout_ms = 20000) {
    return testsupport::runToEnd(queue, testsupport::JobWindow::Main, timeout_ms).messages;
}

class JobTest : public ::testing::Test {
protected:
    testsupport::IsolatedHome home;
    testsupport::TempDir dir;
    platform::MessageQueue queue;
};

TEST_F(JobTest, ConvertsAndReportsSuccessOnce) {
    ASSERT_TRUE(testsupport::makeClip(dir / "clip.mp4", 1.0, true, true, {"-s", "160x120"}));
    fs::create_directories(dir / "out");
    ConvertTask t;
    prepare(t, dir / "clip.mp4", dir / "out");
    CUtilTransform job(&t, &queue, fastOptions());
    t.job = &job;
    job.Start();
    auto seen = runToEnd(queue);
    ASSERT_FALSE(seen.empty());
    EXPECT_EQ(idOf(seen.back()), MainWindowId::WM_CONVERT_PROGRESS);
    EXPECT_EQ(percentOf(seen.back()), 100);
    EXPECT_EQ(platform::taskOf(platform::MainWindowMessage(seen.back())), &t);
    for (const auto& m : seen)
        EXPECT_LE(percentOf(m), 100);
    EXPECT_EQ(t.output_path, (dir / "out/clip.mp4").string());
    EXPECT_GT(fs::file_size(t.output_path), 1000u);
    EXPECT_EQ(job.commandText().rfind("ffmpeg -hide_banner -progress \"", 0), 0u);
    job.waitRunner();
    EXPECT_TRUE(fs::exists(job.progressPath()));
    job.Stop();
    EXPECT_FALSE(fs::exists(job.progressPath()));
    EXPECT_EQ(t.job, nullptr);
}

TEST_F(JobTest, RenamesBesideExistingOutputsAndGivesUpAfterThree) {
    ASSERT_TRUE(testsupport::makeClip(dir / "clip.mp4", 1.0, true, false, {"-s", "160x120"}));
    ConvertTask t;
    prepare(t, dir / "clip.mp4", dir.path());
    const std::string id = t.unique_id;
    testsupport::writeFile(dir / ("clip_0_" + id + ".mp4"), "taken");
    CUtilTransform job(&t, &queue, fastOptions());
    job.Start();
    EXPECT_EQ(t.output_name, "clip_0_" + id + "_1_" + id);
    EXPECT_EQ(job.progressPath().filename().string(), t.output_name + "_mp4");
    auto seen = runToEnd(queue);
    ASSERT_FALSE(seen.empty());
    EXPECT_EQ(percentOf(seen.back()), 100);
    EXPECT_EQ(testsupport::readFile(dir / ("clip_0_" + id + ".mp4")), "taken");

    ConvertTask full;
    prepare(full, dir / "clip.mp4", dir.path());
    full.unique_id = "X";
    for (const char* name : {"clip_0_X", "clip_0_X_1_X", "clip_0_X_1_X_2_X"})
        testsupport::writeFile(dir / (std::string(name) + ".mp4"), "taken");
    CUtilTransform blocked(&full, &queue, fastOptions());
    blocked.Start();
    seen = runToEnd(queue, 2000);
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(idOf(seen[0]), MainWindowId::WM_CONVERT_FAILED);
    EXPECT_FALSE(blocked.runnerRunning());
    EXPECT_NE(blocked.failure().text.find("no free output name"), std::string::npos);
}

TEST_F(JobTest, LongNamesAreShortenedToFitBesideAnEarlierOutput) {
    // 240 bytes, with a two-byte letter across the cut of the rename.
    const std::string name = std::string(225, 'a') + std::string(5, 'b') + "\xc3\xa9" + std::string(8, 'c');
    ASSERT_TRUE(testsupport::makeClip(dir / (name + ".mp4"), 1.0, true, false, {"-s", "160x120"}));
    fs::create_directories(dir / "out");
    for (int round = 0; round < 2; ++round) {
        ConvertTask t;
        prepare(t, dir / (name + ".mp4"), dir / "out");
        CUtilTransform job(&t, &queue, fastOptions());
        job.Start();
        auto seen = runToEnd(queue);
        ASSERT_FALSE(seen.empty());
        ASSERT_EQ(percentOf(seen.back()), 100) << round << ": " << job.failure().text;
        const std::string file = fs::path(t.output_path).filename().string();
        EXPECT_LE(file.size(), 255u);
        EXPECT_LE(job.progressPath().filename().string().size(), 255u);
        if (round == 1) {
            EXPECT_EQ(file.rfind(std::string(225, 'a'), 0), 0u);
            EXPECT_NE(file.find("_0_" + t.unique_id + ".mp4"), std::string::npos) << file;
            // Cut at a character boundary: no half letter is left before the suffix.
            EXPECT_EQ(file.find("\xc3_"), std::string::npos);
        }
    }
    EXPECT_EQ(std::distance(fs::directory_iterator(dir / "out"), fs::directory_iterator()), 2);
}

TEST_F(JobTest, BadInputFailsWithFfmpegsReason) {
    testsupport::writeFile(dir / "broken.mp4", std::string(4096, 'x'));
    ConvertTask t;
    prepare(t, dir / "broken.mp4", dir.path());
    CUtilTransform job(&t, &queue, fastOptions());
    job.Start();
    auto seen = runToEnd(queue);
    ASSERT_FALSE(seen.empty());
    EXPECT_EQ(idOf(seen.back()), MainWindowId::WM_CONVERT_FAILED);
    // The user reads a sentence; the log keeps ffmpeg's own line.
    EXPECT_EQ(job.failure().text, "the file is damaged or is not a media file that can be read");
    EXPECT_NE(job.failure().detail.find("Invalid data"), std::string::npos) << job.failure().detail;
}

TEST_F(JobTest, MissingToolReportsStartFailureThenFailure) {
    ASSERT_TRUE(testsupport::makeClip(dir / "clip.mp4", 1.0, true, false, {"-s", "160x120"}));
    ConvertTask t;
    prepare(t, dir / "clip.mp4", dir.path());
    t.output_name = "other";
    testsupport::ScopedEnv path("PATH", dir.path().string());
    testsupport::ScopedEnv program("QUORIN_PROGRAM_DIR", dir.path().string());
    CUtilTransform job(&t, &queue, fastOptions());
    job.Start();
    auto seen = runToEnd(queue);
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(idOf(seen[0]), MainWindowId::WM_CONVERT_START_FAILED);
    EXPECT_EQ(idOf(seen[1]), MainWindowId::WM_CONVERT_FAILED);
    EXPECT_EQ(job.failure().text, "cannot start ffmpeg");
}

TEST_F(JobTest, StopEndsAtOncePostsNothingAndCleansUp) {
    // A FIFO that nobody writes keeps ffmpeg waiting for its input for ever.
    ASSERT_EQ(::mkfifo((dir / "pipe.mp4").c_str(), 0600), 0);
    ConvertTask t;
    prepare(t, dir / "pipe.mp4", dir.path());
    convert::JobOptions o;  // the window's timings: a plain 1 s sleep would show here
    CUtilTransform job(&t, &queue, o);
    job.Start();
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_TRUE(job.runnerRunning());
    auto begin = std::chrono::steady_clock::now();
    job.Stop();
    auto took = std::chrono::steady_clock::now() - begin;
    EXPECT_LT(took, std::chrono::milliseconds(500));
    EXPECT_FALSE(fs::exists(job.progressPath()));
    EXPECT_EQ(queue.dispatch([](const Message&) { return 0; }), 0);
}

TEST_F(JobTest, WaitsForTheProbeBeforeRunning) {
    ASSERT_TRUE(testsupport::makeClip(dir / "clip.mp4", 1.0, true, false, {"-s", "160x120"}));
    ConvertTask t;
    prepare(t, dir / "clip.mp4", dir.path());
    t.ready.store(false);
    CUtilTransform job(&t, &queue, fastOptions());
    job.Start();
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_TRUE(job.commandText().empty());
    t.ready.store(true);
    auto seen = runToEnd(queue);
    ASSERT_FALSE(seen.empty());
    EXPECT_EQ(percentOf(seen.back()), 100);
}

// Our own child processes named ffmpeg (found through /proc, by parent id).
std::vector<pid_t> ffmpegChildren() {
    std::vector<pid_t> pids;
    for (const auto& e : fs::directory_iterator("/proc")) {
        std::string stat = testsupport::readFile(e.path() / "stat");
        std::size_t close = stat.rfind(')');
        if (close == std::string::npos || stat.find("(ffmpeg)") == std::string::npos)
            continue;
        std::istringstream rest(stat.substr(close + 2));
        char state;
        pid_t ppid = 0;
        rest >> state >> ppid;
        if (ppid == ::getpid())
            pids.push_back(static_cast<pid_t>(std::stol(e.path().filename().string())));
    }
    return pids;
}

TEST_F(JobTest, ChildDyingAfterSomeProgressIsAFailure) {
    ASSERT_TRUE(testsupport::makeClip(dir / "long.mp4", 10, true, true, {"-s", "1280x720", "-c:v", "mpeg4"}));
    ConvertTask t;
    prepare(t, dir / "long.mp4", dir.path());
    t.target_ext = "webm";  // slow enough to be caught half-way
    t.duration = t.clip_end = 10;
    CUtilTransform job(&t, &queue, fastOptions());
    job.Start();
    bool progressed = false;
    auto until = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (!progressed && std::chrono::steady_clock::now() < until) {
        queue.waitAndDispatch(
            [&](const Message& m) {
                EXPECT_EQ(idOf(m), MainWindowId::WM_CONVERT_PROGRESS);
                progressed = percentOf(m) > 0 && percentOf(m) < 100;
                return 0;
            },
            50);
    }
    ASSERT_TRUE(progressed);
    auto children = ffmpegChildren();
    ASSERT_EQ(children.size(), 1u);
    ::kill(children[0], SIGKILL);
    auto seen = runToEnd(queue, 5000);
    ASSERT_FALSE(seen.empty());
    EXPECT_EQ(idOf(seen.back()), MainWindowId::WM_CONVERT_FAILED);
    EXPECT_FALSE(job.failure().text.empty());
}

TEST(ProgressScan, ReadsOnlyOutTimeAndEnd) {
    std::istringstream text(
        "frame=3\nout_time_ms=12340000\nout_time=00:00:12.340000\n out_time_ms=99999999\n"
        "progress=continue\nxout_time_ms=88888888\n");
    auto scan = convert::scanProgress(text);
    EXPECT_EQ(scan.hundredths, 1234);
    EXPECT_FALSE(scan.end);
    std::istringstream ended("out_time_ms=5\nout_time_ms=700000\nprogress=end\n");
    scan = convert::scanProgress(ended);
    EXPECT_EQ(scan.hundredths, 70);
    EXPECT_TRUE(scan.end);
}

TEST(ProgressScan, CrLfLinesReadAsTheSameValuesAndAnyTextIsSafe) {
    std::istringstream crlf("out_time_ms=12340000\r\nprogress=continue\r\nprogress=end\r\n");
    auto scan = convert::scanProgress(crlf);
    EXPECT_EQ(scan.hundredths, 1234);
    EXPECT_TRUE(scan.end);
    std::istringstream odd(
        "out_time_ms=\nout_time_ms=N/A\nout_time_ms=-500000000\n"
        "out_time_ms=99999999999999999999999999\nout_time_ms=  3000000x\n");
    scan = convert::scanProgress(odd);
    EXPECT_EQ(scan.hundredths, 9223372036854775807LL / 10000);  // saturated, not wrapped
    EXPECT_FALSE(scan.end);
}

TEST(ProgressPercent, MeasuresWhatIsWrittenAndHoldsBelowHundred) {
    convert::ProgressScan scan;
    scan.hundredths = 1234;  // 12.34 s
    EXPECT_EQ(convert::progressPercent(scan, 60), 20);
    scan.hundredths = 500;  // 5 s of a 10 s clip of a long file
    EXPECT_EQ(convert::progressPercent(scan, 10), 50);
    scan.hundredths = 6060;  // past the truncated duration: no wrap to 1
    EXPECT_EQ(convert::progressPercent(scan, 60), 99);
    EXPECT_EQ(convert::progressPercent(scan, 0), 0);
    // A length nobody knows is no length: NaN, infinity and negatives read 0.
    EXPECT_EQ(convert::progressPercent(scan, std::nan("")), 0);
    EXPECT_EQ(convert::progressPercent(scan, std::numeric_limits<double>::infinity()), 0);
    EXPECT_EQ(convert::progressPercent(scan, -5), 0);
    scan.end = true;
    EXPECT_EQ(convert::progressPercent(scan, 0), 100);
    EXPECT_EQ(convert::progressPercent(scan, std::nan("")), 100);
}

TEST(FfmpegMessages, LastMeaningfulLineBecomesASentence) {
    std::istringstream messages(
        "Input #0, mov,mp4 from 'a.mp4':\n  Duration: 00:00:01.00\nStream mapping:\n"
        "frame=    1 size=0kB\rframe=   25 size=10kB\r\n"
        "[mp4 @ 0x1] Error writing trailer: No space left on device\n"
        "Conversion failed!\n");
    const std::string last = convert::lastFfmpegLine(messages);
    EXPECT_EQ(last, "[mp4 @ 0x1] Error writing trailer: No space left on device");
    EXPECT_EQ(convert::ffmpegFailure(last).key, "FailDiskFull");
    EXPECT_EQ(convert::ffmpegFailure(last).detail, last);  // ffmpeg's own words for the log
    std::istringstream status_only("frame=    1 size=0kB\rframe=   25 size=10kB\r\n");
    EXPECT_EQ(convert::lastFfmpegLine(status_only), "");
    EXPECT_EQ(convert::ffmpegFailure("").key, "FailUnfinished");
    EXPECT_EQ(convert::ffmpegFailure("Output file #0 does not contain any stream").key, "FailNoStream");
    // Decoder noise with addresses says where the file is damaged.
    const auto damaged = convert::ffmpegFailure("[h264 @ 0x55d0] error while decoding MB 3 4", 72.4);
    EXPECT_EQ(damaged.key, "FailDamagedAt");
    EXPECT_EQ(damaged.text, "the file is damaged at 1:12");
    EXPECT_EQ(convert::ffmpegFailure("[h264 @ 0x55d0] error while decoding MB 3 4", 0).key, "FailDamaged");
    EXPECT_EQ(convert::ffmpegFailure("x: Something odd").key, "FailOther");
}

}  // namespace
