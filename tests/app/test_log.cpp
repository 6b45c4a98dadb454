#include <gtest/gtest.h>

#include "app/log.h"
#include "platform/files.h"
#include "test_support.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

#include <regex>
#include <thread>

namespace fs = std::filesystem;
using testsupport::readFile;
using testsupport::ScopedEnv;
using testsupport::TempDir;

namespace {

std::vector<std::string> splitLines(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t pos = 0;
    while (pos < text.size()) {
        std::size_t end = text.find("\r\n", pos);
        if (end == std::string::npos) {
            lines.push_back(text.substr(pos));
            break;
        }
        lines.push_back(text.substr(pos, end - pos));
        pos = end + 2;
    }
    return lines;
}

}  // namespace

TEST(LogLine, StampWithoutLeadingZerosThenHyphenAndCrLf) {
    std::tm t{};
    t.tm_mon = 2;  // March
    t.tm_mday = 7;
    t.tm_hour = 9;
    t.tm_min = 5;
    t.tm_sec = 3;
    EXPECT_EQ(app::formatLogLine(t, "GetStringFromUrl except."), "[3/7 9:5:3]-GetStringFromUrl except.\r\n");
    t = std::tm{};
    t.tm_mon = 11;
    t.tm_mday = 31;
    t.tm_hour = 23;
    t.tm_min = 59;
    t.tm_sec = 58;
    // Long messages are cut to 512 characters, never inside a character.
    std::string ae;
    for (int i = 0; i < 600; ++i)
        ae += "\xC3\xA4";
    std::string line = app::formatLogLine(t, ae);
    EXPECT_EQ(line.substr(0, 16), "[12/31 23:59:58]");
    EXPECT_EQ(line.size(), 17 + 512 * 2 + 2);
}

TEST(FileLog, AppendsCreatesAgainAfterDeleteAndKeepsRawBytes) {
    TempDir dir;
    fs::path log = dir / "run.dat";
    app::setLogPath(log);
    EXPECT_EQ(app::logPath(), log);
    app::fileLog("merged file %s missing", "a.mp4");
    app::fileLogRaw("raw\n");
    std::string text = readFile(log);
    EXPECT_TRUE(
        std::regex_match(text, std::regex(R"(\[\d+/\d+ \d+:\d+:\d+\]-merged file a\.mp4 missing\r\nraw\n)")))
        << text;

    fs::remove(log);
    app::fileLog("again");
    EXPECT_TRUE(std::regex_match(readFile(log), std::regex(R"(\[[^\]]+\]-again\r\n)")));

    // A folder that does not exist: the line is dropped, nothing is thrown.
    app::setLogPath(dir / "missing" / "run.dat");
    app::fileLog("lost");
    EXPECT_FALSE(fs::exists(dir / "missing"));

    std::string long_path = (dir / std::string(300, 'p')).string();
    app::setLogPath(long_path);
    EXPECT_EQ(app::logPath().string().size(), app::kLogPathMaxChars);
}

TEST(FileLog, WriterThatFindsTheFileLockedLosesItsLine) {
    TempDir dir;
    fs::path log = dir / "run.dat";
    app::setLogPath(log);
    app::fileLog("first");
    int fd = ::open(log.c_str(), O_RDWR);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::flock(fd, LOCK_EX), 0);
    app::fileLog("while locked");
    EXPECT_FALSE(platform::appendExclusive(log, "x"));
    ::close(fd);
    app::fileLog("after");
    auto lines = splitLines(readFile(log));
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_NE(lines[0].find("-first"), std::string::npos);
    EXPECT_NE(lines[1].find("-after"), std::string::npos);
}

TEST(FileLog, ThreadsAndProcessesNeverMixWithinALine) {
    TempDir dir;
    fs::path log = dir / "run.dat";
    app::setLogPath(log);
    const std::string payload(300, '#');
    constexpr int kLines = 150;

    // Processes first, while this process has a single thread.
    std::vector<pid_t> children;
    for (int p = 0; p < 2; ++p) {
        pid_t pid = ::fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            for (int i = 0; i < kLines; ++i)
                app::fileLog("proc%d %d %s end", p, i, payload.c_str());
            ::_exit(0);
        }
        children.push_back(pid);
    }
    std::vector<std::thread> threads;
    for (int t = 0; t < 3; ++t)
        threads.emplace_back([&, t] {
            for (int i = 0; i < kLines; ++i)
                app::fileLog("thread%d %d %s end", t, i, payload.c_str());
        });
    for (auto& t : threads)
        t.join();
    for (pid_t pid : children) {
        int status = 0;
        ASSERT_EQ(::waitpid(pid, &status, 0), pid);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }

    std::string text = readFile(log);
    ASSERT_EQ(text.substr(text.size() - 2), "\r\n");
    auto lines = splitLines(text);
    const std::regex shape(R"(\[\d+/\d+ \d+:\d+:\d+\]-(proc|thread)\d \d+ #{300} end)");
    for (const auto& line : lines)
        ASSERT_TRUE(std::regex_match(line, shape)) << line;
    // Lines are lost under contention by design, but most get through.
    EXPECT_GT(lines.size(), 0u);
    EXPECT_LE(lines.size(), 5u * kLines);
}

TEST(DebugLog, GoesToStandardErrorOnlyWhenSwitchedOn) {
    {
        ScopedEnv off("QUORIN_DEBUG", std::nullopt);
        testing::internal::CaptureStderr();
        app::debugLog("hidden %d", 1);
        EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    }
    ScopedEnv on("QUORIN_DEBUG", "1");
    testing::internal::CaptureStderr();
    app::debugLog("sys DPI is %d\n", 96);
    app::debugLogError(ENOENT);
    std::string out = testing::internal::GetCapturedStderr();
    EXPECT_EQ(out, "sys DPI is 96\nNo such file or directory\n");
}
