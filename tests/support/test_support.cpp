#include "test_support.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <fstream>
#include <random>
#include <sstream>
#include <stdexcept>

extern char** environ;

namespace testsupport {
namespace fs = std::filesystem;

TempDir::TempDir() {
    const char* tmp = std::getenv("TMPDIR");
    fs::path base = tmp && *tmp ? fs::path(tmp) : fs::temp_directory_path();
    fs::create_directories(base);
    std::string templ = (base / "qtest-XXXXXX").string();
    if (!mkdtemp(templ.data()))
        throw std::runtime_error("mkdtemp failed in " + base.string());
    path_ = templ;
}

TempDir::~TempDir() {
    std::error_code ec;
    fs::remove_all(path_, ec);
}

ScopedEnv::ScopedEnv(std::string name, std::optional<std::string> value) : name_(std::move(name)) {
    if (const char* old = std::getenv(name_.c_str()))
        old_ = old;
    if (value)
        setenv(name_.c_str(), value->c_str(), 1);
    else
        unsetenv(name_.c_str());
}

ScopedEnv::~ScopedEnv() {
    if (old_)
        setenv(name_.c_str(), old_->c_str(), 1);
    else
        unsetenv(name_.c_str());
}

IsolatedHome::IsolatedHome()
    : data_("QUORIN_DATA_DIR", (dir_.path() / "data").string()),
      config_("XDG_CONFIG_HOME", (dir_.path() / "config").string()),
      xdgData_("XDG_DATA_HOME", (dir_.path() / "xdgdata").string()),
      tmp_("TMPDIR", (dir_.path() / "tmp").string()),
      home_("HOME", (dir_.path() / "home").string()) {
    fs::create_directories(dir_.path() / "tmp");
    fs::create_directories(dir_.path() / "home");
}

bool haveMediaCorpus() {
    return fs::is_directory(QUORIN_TEST_MEDIA_DIR);
}

fs::path mediaFile(const std::string& name) {
    return fs::path(QUORIN_TEST_MEDIA_DIR) / name;
}

std::string readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

void writeFile(const fs::path& path, const std::string& text) {
    if (path.has_parent_path())
        fs::create_directories(path.parent_path());
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
}

ToolResult runTool(const std::vector<std::string>& argv) {
    ToolResult result;
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0)
        return result;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[1], 1);
    posix_spawn_file_actions_adddup2(&actions, fds[1], 2);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    std::vector<char*> args;
    for (const auto& a : argv)
        args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    pid_t pid = 0;
    int rc = posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(fds[1]);
    if (rc == 0) {
        char buf[4096];
        ssize_t n;
        while ((n = read(fds[0], buf, sizeof buf)) > 0)
            result.output.append(buf, static_cast<size_t>(n));
    }
    close(fds[0]);
    if (rc != 0)
        return result;
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    if (WIFEXITED(status))
        result.exit_code = WEXITSTATUS(status);
    return result;
}

bool makeClip(const fs::path& out, double seconds, bool video, bool audio,
              const std::vector<std::string>& extra) {
    std::vector<std::string> argv{"ffmpeg", "-nostdin", "-hide_banner", "-loglevel", "error", "-y"};
    const std::string t = std::to_string(seconds);
    if (video) {
        argv.insert(argv.end(), {"-f", "lavfi", "-i", "testsrc2=size=320x240:rate=25:duration=" + t});
    }
    if (audio) {
        argv.insert(argv.end(), {"-f", "lavfi", "-i", "sine=frequency=440:sample_rate=44100:duration=" + t});
    }
    argv.insert(argv.end(), extra.begin(), extra.end());
    argv.push_back("-shortest");
    argv.push_back(out.string());
    return runTool(argv).exit_code == 0 && fs::exists(out);
}

}  // namespace testsupport
