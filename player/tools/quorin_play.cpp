// quorin-play [--start S] FILE
// Runs the player core in a window of its own and drives it from standard input,
// one command a line: pause, play, seek SECONDS, volume 0..128, quit. End of input
// quits too. On exit prints the counters as one JSON line.
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <mutex>
#include <sstream>
#include <string>
#include <thread>

#include "player/player.h"

namespace {

int usage() {
    std::fprintf(stderr, "usage: quorin-play [--start SECONDS] FILE\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    int start = 0;
    std::string file;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--start" && i + 1 < argc) {
            start = std::atoi(argv[++i]);
        } else if (a == "--help" || a == "-h") {
            return usage();
        } else if (file.empty()) {
            file = a;
        } else {
            return usage();
        }
    }
    if (file.empty()) {
        return usage();
    }

    // Static: the detached input thread may still touch them while main returns.
    static player::PlayerShared shared;
    static std::mutex m;
    static std::condition_variable cv;
    static bool done = false;
    static int result = 0;
    std::thread core([file, start] {
        player::Player p(shared);
        const int r = p.run(0, file, start);
        std::lock_guard lock(m);
        result = r;
        done = true;
        cv.notify_all();
    });

    // The reader stays blocked in getline when the core ends on its own; it is left
    // behind (detached) and ends with the process.
    std::thread input([] {
        std::string line;
        while (std::getline(std::cin, line)) {
            std::istringstream in(line);
            std::string cmd;
            in >> cmd;
            {
                // Commands written before the core has reset its words would be lost.
                std::unique_lock lock(m);
                // `running` is set without a notification: look again every 10 ms.
                while (!done && !shared.running.load()) {
                    cv.wait_for(lock, std::chrono::milliseconds(10));
                }
                if (done) {
                    return;
                }
            }
            if (cmd == "pause") {
                shared.send(player::PlayerCommand::PauseRequested);
            } else if (cmd == "play") {
                shared.send(player::PlayerCommand::ResumeRequested);
            } else if (cmd == "seek") {
                double s = 0;
                in >> s;
                shared.seekTo(static_cast<int>(s));
            } else if (cmd == "volume") {
                int v = 128;
                in >> v;
                shared.live_volume.store(v < 0 ? 0 : (v > 128 ? 128 : v));
            } else if (cmd == "quit") {
                break;
            } else if (!cmd.empty()) {
                std::fprintf(stderr, "unknown command: %s\n", cmd.c_str());
            }
        }
        shared.send(player::PlayerCommand::QuitRequested);
    });
    input.detach();
    core.join();

    const player::PlayerCounters c = shared.counters();
    std::printf("{\"shown\":%lld,\"late_drops\":%lld,\"early_drops\":%lld,\"mean_abs_av_ms\":%.3f}\n",
                static_cast<long long>(c.shown), static_cast<long long>(c.late_drops),
                static_cast<long long>(c.early_drops), c.mean_abs_av_diff * 1000.0);
    std::fflush(stdout);
    return result == 0 ? 0 : 1;
}
