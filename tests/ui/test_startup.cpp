// Start-up of the real program: single instance, "/Restart", "/uninstall", the
// missing skin, and the switch and display rules.

#include <QLocalServer>
#include <QTest>
#include <chrono>
#include <thread>

#include "app/gui/single_instance.h"
#include "app/gui/startup.h"
#include "platform/folders.h"
#include "platform/process.h"
#include "qt_env.h"
#include "test_support.h"

namespace {

using namespace std::chrono_literals;
using testsupport::ScopedEnv;
using testsupport::TempDir;

std::string programPath() {
    return (std::filesystem::path(QUORIN_TEST_PROGRAM_DIR) / "QuorinVideoConverter").string();
}

// A private runtime folder (the socket) and data folder for every test, so the
// instances of one test never see another's.
class StartUp : public ::testing::Test {
protected:
    TempDir dir_;
    ScopedEnv runtime_{"XDG_RUNTIME_DIR", dir_.path().string()};
    ScopedEnv data_{"QUORIN_DATA_DIR", (dir_ / "data").string()};
    ScopedEnv debug_{"QUORIN_DEBUG", "1"};

    void SetUp() override {
        ASSERT_TRUE(std::filesystem::exists(programPath())) << "the program is built before the tests";
        ASSERT_TRUE(
            std::filesystem::exists(std::filesystem::path(QUORIN_TEST_PROGRAM_DIR) / "skin" / "skin_en.skin"))
            << "the skins are built before the tests";
    }

    std::unique_ptr<platform::Process> start(const std::string& name,
                                             std::initializer_list<std::string> args = {}) {
        platform::CommandLine command(programPath());
        for (const auto& a : args)
            command.arg(a);
        platform::StartOptions options;
        options.output_file = dir_ / (name + ".log");
        auto process = platform::Process::start(command, options);
        EXPECT_NE(process, nullptr);
        return process;
    }

    // Waits until the first instance answers on its socket.
    static bool waitListening() {
        for (int i = 0; i < 200; ++i) {
            if (app::SingleInstance::notifyRunning("ping", 200))
                return true;
            std::this_thread::sleep_for(50ms);
        }
        return false;
    }

    static std::optional<int> waitExit(platform::Process& p, std::chrono::milliseconds limit) {
        for (auto waited = 0ms; waited < limit; waited += 20ms) {
            if (auto code = p.poll())
                return code;
            std::this_thread::sleep_for(20ms);
        }
        return std::nullopt;
    }

    std::string log(const std::string& name) { return testsupport::readFile(dir_ / (name + ".log")); }
};

TEST_F(StartUp, ASecondStartActivatesTheFirstAndExits) {
    auto first = start("first");
    ASSERT_TRUE(waitListening());
    auto second = start("second");
    EXPECT_EQ(waitExit(*second, 20s), 0);
    for (int i = 0; i < 100 && log("first").find("activated") == std::string::npos; ++i)
        std::this_thread::sleep_for(50ms);
    EXPECT_NE(log("first").find("main window activated"), std::string::npos);
    EXPECT_FALSE(first->poll().has_value());  // still the one running instance
    first->terminate();
}

TEST_F(StartUp, RestartStartsWhileTheOldInstanceRunsAndUninstallClosesIt) {
    auto first = start("first");
    ASSERT_TRUE(waitListening());
    auto restarted = start("restarted", {"/Restart"});
    EXPECT_FALSE(waitExit(*restarted, 1500ms).has_value());
    restarted->terminate();

    auto uninstall = start("uninstall", {"/uninstall"});
    EXPECT_EQ(waitExit(*uninstall, 20s), 0);
    EXPECT_EQ(waitExit(*first, 20s), 0) << log("first");  // asked to close, and it did
}

// FFmpeg and SDL come in with the first file, not before the window (on x86-64,
// where the program has its stand-ins for them).
TEST_F(StartUp, TheMediaLibrariesLoadWithTheFirstFileAndThenProbeIt) {
    const auto clip = dir_ / "clip one.mp4";
    ASSERT_TRUE(testsupport::makeClip(clip, 1));
    ScopedEnv trace("QUORIN_GUI_TRACE", "1");
    auto first = start("first");
    ASSERT_TRUE(waitListening());
    auto mapped = [&] { return testsupport::readFile("/proc/" + std::to_string(first->pid()) + "/maps"); };
#if defined(__x86_64__)
    EXPECT_EQ(mapped().find("libavcodec"), std::string::npos);
    EXPECT_EQ(mapped().find("libSDL2"), std::string::npos);
#endif
    auto second = start("second", {clip.string()});
    EXPECT_EQ(waitExit(*second, 20s), 0);
    for (int i = 0; i < 200 && log("first").find("quorin-trace probed") == std::string::npos; ++i)
        std::this_thread::sleep_for(50ms);
    EXPECT_NE(log("first").find("quorin-trace probed"), std::string::npos) << log("first");
    EXPECT_NE(mapped().find("libavformat"), std::string::npos);
    EXPECT_FALSE(first->poll().has_value());
    first->terminate();
}

TEST_F(StartUp, AMissingSkinArchiveEndsWithSkinLost) {
    TempDir empty_program_dir;
    ScopedEnv program("QUORIN_PROGRAM_DIR", empty_program_dir.path().string());
    auto process = start("noskin");
    EXPECT_EQ(waitExit(*process, 20s), 0);
    EXPECT_NE(log("noskin").find("Error: "), std::string::npos);
    EXPECT_FALSE(app::SingleInstance::notifyRunning("ping", 200));
}

TEST(StartSwitches, FirstMatchAnywhereInOrderAndCaseSensitive) {
    EXPECT_EQ(app::findStartSwitch(""), app::StartSwitch::None);
    EXPECT_EQ(app::findStartSwitch("/Restart"), app::StartSwitch::Restart);
    EXPECT_EQ(app::findStartSwitch("x/Restartx"), app::StartSwitch::Restart);
    EXPECT_EQ(app::findStartSwitch("/restart"), app::StartSwitch::None);
    EXPECT_EQ(app::findStartSwitch("/Restart /uninstall"), app::StartSwitch::Uninstall);
    EXPECT_EQ(app::findStartSwitch("/tjuninstall"), app::StartSwitch::TjUninstall);
    EXPECT_EQ(app::findStartSwitch("/install"), app::StartSwitch::Install);
}

TEST(Restart, AfterALanguageChangeTheProgramStartsItselfWithRestart) {
    std::vector<std::vector<std::string>> started;
    auto record = [&](const platform::CommandLine& c) {
        started.push_back(c.argv());
        return true;
    };
    EXPECT_FALSE(app::restartIfRequested(record));  // not asked: nothing starts
    EXPECT_TRUE(started.empty());
    app::requestRestart();
    EXPECT_TRUE(app::restartIfRequested(record));
    ASSERT_EQ(started.size(), 1u);
    ASSERT_EQ(started[0].size(), 2u);
    EXPECT_EQ(std::filesystem::path(started[0][0]).filename(), "ui_test_startup");
    EXPECT_EQ(started[0][1], "/Restart");
}

TEST(SingleInstanceSocket, AFolderTooLongForASocketPathIsPassedOver) {
    TempDir dir;
    ScopedEnv runtime("XDG_RUNTIME_DIR", (dir / std::string(120, 'r')).string());
    ScopedEnv tmp("TMPDIR", dir.path().string());
    const std::string path = app::SingleInstance::socketPath();
    EXPECT_EQ(std::filesystem::path(path).parent_path(), dir.path());
    EXPECT_LE(path.size(), 107u);
}

TEST(SingleInstanceSocket, AStaleSocketFileIsTakenOver) {
    TempDir dir;
    ScopedEnv runtime("XDG_RUNTIME_DIR", dir.path().string());
    testsupport::writeFile(app::SingleInstance::socketPath(), "");  // left by a crash
    app::SingleInstance instance;
    std::vector<std::string> got;
    ASSERT_TRUE(instance.listen([&](const std::string& c) { got.push_back(c); }));
    std::thread other([] { EXPECT_TRUE(app::SingleInstance::notifyRunning("activate", 5000)); });
    QTRY_COMPARE_WITH_TIMEOUT(got.size(), size_t(1), 5000);
    other.join();
    EXPECT_EQ(got[0], "activate");
    // A second listener finds the first alive (this thread answers its ping).
    std::atomic<int> second_listens{-1};
    std::thread later([&] {
        app::SingleInstance second;
        second_listens = second.listen([](const std::string&) {}) ? 1 : 0;
    });
    QTRY_VERIFY_WITH_TIMEOUT(second_listens != -1, 10000);
    later.join();
    EXPECT_EQ(second_listens, 0);
}

}  // namespace
