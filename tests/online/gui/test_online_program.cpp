// The real program with its online services, driven through one conversion by the
// driver plugin and closed: with nothing configured it connects to nothing but local
// sockets (every connect and send traced by strace), and with a log endpoint the
// exit summary reaches a loopback server carrying that conversion.

#include <gtest/gtest.h>
#include <json/json.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <map>
#include <regex>
#include <thread>

#include "loopback_server.h"
#include "platform/process.h"
#include "test_support.h"

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using testsupport::ScopedEnv;
using testsupport::TempDir;

const fs::path kProgramDir = QUORIN_TEST_PROGRAM_DIR;

class OnlineProgram : public ::testing::Test {
protected:
    testsupport::IsolatedHome home_;
    TempDir dir_;
    ScopedEnv runtime_{"XDG_RUNTIME_DIR", dir_.path().string()};
    ScopedEnv documents_{"XDG_DOCUMENTS_DIR", (dir_ / "documents").string()};
    ScopedEnv plugins_{"QT_PLUGIN_PATH", QUORIN_TEST_DRIVER_DIR};
    ScopedEnv driver_{"QT_QPA_GENERIC_PLUGINS", "quorintestdriver"};
    fs::path clip_ = dir_ / "clip.mp4";

    void SetUp() override {
        ASSERT_TRUE(fs::exists(kProgramDir / "QuorinVideoConverter"))
            << "the program is built before the tests";
        ASSERT_TRUE(testsupport::makeClip(clip_, 1, true, true, {"-s", "160x120"}));
    }

    // Runs the program on the clip, after `tracer` when given, until it closes by
    // itself; the converted file, empty when there is none.
    fs::path convertOnce(std::vector<std::string> tracer = {}) {
        std::vector<std::string> argv = std::move(tracer);
        argv.push_back((kProgramDir / "QuorinVideoConverter").string());
        argv.push_back(clip_.string());
        platform::CommandLine command(argv.front());
        for (size_t i = 1; i < argv.size(); ++i)
            command.arg(argv[i]);
        platform::StartOptions options;
        options.output_file = dir_ / "program.log";
        auto process = platform::Process::start(command, options);
        if (!process)
            return {};
        std::optional<int> code;
        for (auto waited = 0ms; !code && waited < 120s; waited += 50ms) {
            std::this_thread::sleep_for(50ms);
            code = process->poll();
        }
        EXPECT_EQ(code, 0) << testsupport::readFile(dir_ / "program.log");
        const fs::path out = dir_ / "documents" / "QuorinVideoConverter";
        std::error_code ec;
        for (const auto& entry : fs::directory_iterator(out, ec)) {
            if (entry.is_regular_file() && entry.file_size() > 0)
                return entry.path();
        }
        ADD_FAILURE() << "nothing converted\n" << testsupport::readFile(dir_ / "program.log");
        return {};
    }
};

TEST_F(OnlineProgram, WithNothingConfiguredOnlyLocalSocketsAreUsed) {
    if (testsupport::runTool({"strace", "-f", "-o", "/dev/null", "true"}).exit_code != 0)
        GTEST_SKIP() << "strace cannot trace here";
    // LeakSanitizer cannot run under a tracer and would fail the exit of a sanitizer build.
    const char* asan = std::getenv("ASAN_OPTIONS");
    ScopedEnv no_leak_check("ASAN_OPTIONS", std::string(asan ? asan : "") + ":detect_leaks=0");
    const fs::path trace = dir_ / "trace.log";
    ASSERT_FALSE(
        convertOnce({"strace", "-f", "-qq", "-e", "trace=connect,sendto,sendmsg", "-o", trace.string()})
            .empty());

    // Every call that names an address names its family; unnamed sends go over a
    // socket connected before.
    std::map<std::string, std::map<std::string, int>> seen;  // call -> family -> count
    const std::regex call(R"(\b(connect|sendto|sendmsg)\()");
    const std::regex family(R"(sa_family=(AF_[A-Z0-9]+))");
    std::ifstream in(trace);
    for (std::string line; std::getline(in, line);) {
        std::smatch c, f;
        if (!std::regex_search(line, c, call))
            continue;
        const std::string name = std::regex_search(line, f, family) ? f[1].str() : "none";
        ++seen[c[1]][name];
        EXPECT_TRUE(name == "AF_UNIX" || name == "AF_NETLINK" || name == "none") << line;
    }
    std::string summary;
    for (const auto& [name, families] : seen) {
        for (const auto& [f, count] : families)
            summary += name + " " + f + " " + std::to_string(count) + "; ";
    }
    std::printf("traced: %s\n", summary.c_str());
    // The single-instance probe at start proves the trace saw the program.
    EXPECT_GT(seen["connect"]["AF_UNIX"], 0) << summary;
}

TEST_F(OnlineProgram, TheExitSummaryCarriesTheSessionsConversion) {
    onlinetest::LoopbackServer server(dir_ / "root");
    ASSERT_TRUE(server.running());
    // A program folder of its own whose oem.ini names the log service only.
    TempDir program_dir;
    for (const char* part : {"skin", "language"})
        fs::create_directory_symlink(kProgramDir / part, program_dir / part);
    testsupport::writeFile(program_dir / "oem.ini", "[Service]\nLog=" + server.base() + "\n");
    ScopedEnv program("QUORIN_PROGRAM_DIR", program_dir.path().string());

    ASSERT_FALSE(convertOnce().empty());
    const auto sent = server.requests();
    ASSERT_EQ(sent.size(), 1u);
    const Json::Value request = onlinetest::parseJson(sent[0]);
    EXPECT_EQ(request["path"].asString(), "/api/index/pushLog");
    const Json::Value report = onlinetest::parseJson(onlinetest::reportJson(request["body"].asString()));
    ASSERT_EQ(report["format"].size(), 1u) << report.toStyledString();
    EXPECT_EQ(report["format"][0]["source"].asString(), "MP4");
    EXPECT_EQ(report["format"][0]["target"].asString(), "MP4");
    EXPECT_EQ(report["format"][0]["result"].asInt(), 1);
    EXPECT_NEAR(report["format"][0]["time"].asInt64(), std::time(nullptr), 150);
    EXPECT_EQ(report["product"].asString(), "Quorin Video Converter");
    EXPECT_EQ(report["product_id"].asInt(), 1007);
}

}  // namespace
