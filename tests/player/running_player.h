#pragma once
// Runs a player core on a thread of its own for the integration tests.

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "player/player.h"
#include "test_support.h"

namespace player_test {

using namespace player;
using namespace std::chrono_literals;
namespace fs = std::filesystem;

using Clock = std::chrono::steady_clock;

// Closing must end every thread within a second; sanitizer builds run many times
// slower, so they only check that closing ends at all.
#if defined(__SANITIZE_THREAD__) || defined(__SANITIZE_ADDRESS__)
constexpr double kCloseLimitS = 20.0;
constexpr bool kSanitized = true;
#else
constexpr bool kSanitized = false;
constexpr double kCloseLimitS = 1.0;
#endif

// Runs ffmpeg quietly with `args` (inputs, options, output); true when it succeeded.
inline bool ffmpeg(std::vector<std::string> args) {
    std::vector<std::string> argv{"ffmpeg", "-nostdin", "-loglevel", "error", "-y"};
    argv.insert(argv.end(), args.begin(), args.end());
    return testsupport::runTool(argv).exit_code == 0;
}

inline bool waitUntil(const std::function<bool()>& pred, std::chrono::milliseconds timeout) {
    const auto end = Clock::now() + timeout;
    while (Clock::now() < end) {
        if (pred()) {
            return true;
        }
        std::this_thread::sleep_for(5ms);
    }
    return pred();
}

// A player core on a thread of its own, quit and joined on destruction.
class RunningPlayer {
public:
    RunningPlayer(const fs::path& file, int start_second = 0, AudioDevice* audio = nullptr,
                  std::uintptr_t host_window = 0) {
        PlayerOptions options;
        options.show_status = false;
        player_ = std::make_unique<Player>(shared, options, audio);
        thread_ = std::thread([this, file, start_second, host_window] {
            result_ = player_->run(host_window, file.string(), start_second);
            finished_.store(true);
        });
        EXPECT_TRUE(waitUntil([&] { return shared.running.load() || finished_.load(); }, 5s));
    }
    ~RunningPlayer() { quit(); }

    // Writes the quit command and returns how long the core took to return.
    double quit() {
        if (!thread_.joinable()) {
            return 0.0;
        }
        const auto t0 = Clock::now();
        shared.send(PlayerCommand::QuitRequested);
        thread_.join();
        return std::chrono::duration<double>(Clock::now() - t0).count();
    }
    bool finished() const { return finished_.load(); }
    int result() const { return result_; }
    double position() const { return shared.position.load(); }
    PlayerCounters counters() const { return shared.counters(); }

    PlayerShared shared;

private:
    std::unique_ptr<Player> player_;
    std::thread thread_;
    std::atomic<bool> finished_{false};
    int result_ = -2;
};

}  // namespace player_test
