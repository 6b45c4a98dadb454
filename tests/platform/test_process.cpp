#include "platform/process.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "test_support.h"

using platform::CommandLine;
using platform::Process;

namespace {

TEST(CommandLine, KeepsArgumentsWholeAndRendersTheDisplayString) {
    CommandLine cmd("ffmpeg");
    cmd.arg("-i").quotedArg("/tmp/a \"b\".mp4").args({"-c:v", "copy"});
    EXPECT_EQ(cmd.display(), "ffmpeg -i \"/tmp/a \"b\".mp4\" -c:v copy");
    ASSERT_EQ(cmd.argv().size(), 5u);
    EXPECT_EQ(cmd.argv()[2], "/tmp/a \"b\".mp4");
}

TEST(Process, ArgumentsReachTheChildUnchangedWithoutAShell) {
    testsupport::TempDir dir;
    const std::vector<std::string> odd = {"-n", "a b", "q\"uote", "it's", "$(touch x)", "ünï", "*", ""};
    CommandLine cmd("printf");
    cmd.arg("[%s]\\n");
    for (const auto& a : odd)
        cmd.arg(a);
    platform::StartOptions options;
    options.working_dir = dir.path();
    options.output_file = dir / "out.txt";
    auto p = Process::start(cmd, options);
    ASSERT_TRUE(p);
    EXPECT_EQ(p->wait(), 0);
    std::string expected;
    for (const auto& a : odd)
        expected += "[" + a + "]\n";
    EXPECT_EQ(testsupport::readFile(dir / "out.txt"), expected);
    EXPECT_FALSE(std::filesystem::exists(dir / "x"));
}

TEST(Process, RunsInTheWorkingFolderAndReportsExitCodes) {
    testsupport::TempDir dir;
    platform::StartOptions options;
    options.working_dir = dir.path();
    auto touch = Process::start(CommandLine("touch").arg("here"), options);
    ASSERT_TRUE(touch);
    EXPECT_EQ(touch->wait(), 0);
    EXPECT_TRUE(std::filesystem::exists(dir / "here"));

    auto failing = Process::start(CommandLine("sh").args({"-c", "exit 7"}));
    ASSERT_TRUE(failing);
    EXPECT_EQ(failing->wait(), 7);
    EXPECT_EQ(failing->wait(), 7);  // waiting again is harmless
}

TEST(Process, StartFailureIsReported) {
    std::string error;
    EXPECT_FALSE(Process::start(CommandLine("/no/such/program"), {}, &error));
    EXPECT_NE(error.find("/no/such/program"), std::string::npos);
}

// True while `pid` is alive and not a zombie waiting for its reaper.
bool running(const std::string& pid) {
    std::string stat = testsupport::readFile("/proc/" + pid + "/stat");
    auto close = stat.rfind(')');
    return close != std::string::npos && close + 2 < stat.size() && stat[close + 2] != 'Z';
}

TEST(Process, TerminateEndsTheWholeGroupAndWaitGivesOne) {
    testsupport::TempDir dir;
    // The shell's own child must die too: it is in the same new process group.
    const std::string pid_file = (dir / "child.pid").string();
    auto p = Process::start(CommandLine("sh").args({"-c", "sleep 30 & echo $! > '" + pid_file + "'; wait"}));
    ASSERT_TRUE(p);
    for (int i = 0; i < 200 && testsupport::readFile(pid_file).empty(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    std::string child = testsupport::readFile(pid_file);
    while (!child.empty() && child.back() == '\n')
        child.pop_back();
    ASSERT_FALSE(child.empty());
    EXPECT_TRUE(running(child));
    EXPECT_FALSE(p->poll());

    auto t0 = std::chrono::steady_clock::now();
    std::thread waiter([&] { EXPECT_EQ(p->wait(), 1); });
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    p->terminate();
    waiter.join();
    EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::seconds(5));
    p->terminate();  // after the end: no effect
    EXPECT_EQ(p->poll(), 1);
    for (int i = 0; i < 100 && running(child); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_FALSE(running(child));
}

TEST(Process, ALoweredThreadsChildrenRunBehindTheOtherThreads) {
    const int before = std::stoi(testsupport::runTool({"nice"}).output);
    int child = 0;
    std::thread background([&] {
        platform::lowerThreadPriority(5);
        child = std::stoi(testsupport::runTool({"nice"}).output);
    });
    background.join();
    EXPECT_EQ(child, std::min(before + 5, 19));
    EXPECT_EQ(std::stoi(testsupport::runTool({"nice"}).output), before) << "the other threads keep theirs";
}

TEST(Process, CommandFromTextSplitsAtBlanks) {
    auto cmd = platform::commandFromText("  systemctl   poweroff  ");
    ASSERT_EQ(cmd.argv().size(), 2u);
    EXPECT_EQ(cmd.argv()[0], "systemctl");
    EXPECT_EQ(cmd.argv()[1], "poweroff");
    EXPECT_TRUE(platform::commandFromText("   ").empty());
}

TEST(Process, PowerOffRunsTheConfiguredCommand) {
    testsupport::TempDir dir;
    testsupport::ScopedEnv env("QUORIN_POWEROFF_COMMAND", "touch " + (dir / "off").string());
    ASSERT_TRUE(platform::powerOff());
    for (int i = 0; i < 100 && !std::filesystem::exists(dir / "off"); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_TRUE(std::filesystem::exists(dir / "off"));
}

}  // namespace
