#include "platform/process.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>

extern char** environ;

namespace platform {

CommandLine::CommandLine(std::string program) {
    display_ = program;
    argv_.push_back(std::move(program));
}

CommandLine& CommandLine::arg(std::string value) {
    if (!display_.empty())
        display_ += ' ';
    display_ += value;
    argv_.push_back(std::move(value));
    return *this;
}

CommandLine& CommandLine::quotedArg(std::string value) {
    if (!display_.empty())
        display_ += ' ';
    display_ += '"' + value + '"';
    argv_.push_back(std::move(value));
    return *this;
}

CommandLine& CommandLine::args(std::initializer_list<std::string> values) {
    for (const auto& v : values)
        arg(v);
    return *this;
}

struct Process::State {
    std::mutex mutex;
    bool reaped = false;  // guarded by mutex; once true the pid may belong to another process
    bool terminated = false;
    int exit_code = 0;
};

Process::Process(pid_t pid, bool group) : state_(std::make_unique<State>()), pid_(pid), group_(group) {}

Process::~Process() {
    if (!poll()) {
        terminate();
        wait();
    }
}

namespace {

int codeFromStatus(int status) {
    if (WIFEXITED(status))
        return WEXITSTATUS(status);
    if (WIFSIGNALED(status))
        return 128 + WTERMSIG(status);
    return -1;
}

std::unique_ptr<char* []> argvPointers(const std::vector<std::string>& argv) {
    auto ptrs = std::make_unique<char*[]>(argv.size() + 1);
    for (std::size_t i = 0; i < argv.size(); ++i)
        ptrs[i] = const_cast<char*>(argv[i].c_str());
    ptrs[argv.size()] = nullptr;
    return ptrs;
}

// Spawns with default signal handling and an empty signal mask, whatever the parent
// blocks or ignores (the CLI blocks SIGINT in its threads).
int spawn(pid_t* pid, const CommandLine& command, const StartOptions& options) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    if (options.output_file.empty()) {
        posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    } else {
        posix_spawn_file_actions_addopen(&actions, 1, options.output_file.c_str(),
                                         O_WRONLY | O_CREAT | O_TRUNC, 0644);
    }
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
    if (!options.working_dir.empty())
        posix_spawn_file_actions_addchdir_np(&actions, options.working_dir.c_str());

    posix_spawnattr_t attr;
    posix_spawnattr_init(&attr);
    sigset_t empty, all;
    sigemptyset(&empty);
    sigfillset(&all);
    posix_spawnattr_setsigmask(&attr, &empty);
    posix_spawnattr_setsigdefault(&attr, &all);
    short flags = POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF;
    if (options.new_process_group) {
        flags |= POSIX_SPAWN_SETPGROUP;
        posix_spawnattr_setpgroup(&attr, 0);
    }
    posix_spawnattr_setflags(&attr, flags);

    auto argv = argvPointers(command.argv());
    int rc = posix_spawnp(pid, argv[0], &actions, &attr, argv.get(), environ);
    posix_spawnattr_destroy(&attr);
    posix_spawn_file_actions_destroy(&actions);
    return rc;
}

}  // namespace

std::unique_ptr<Process> Process::start(const CommandLine& command, const StartOptions& options,
                                        std::string* error) {
    if (command.empty()) {
        if (error)
            *error = "empty command";
        return nullptr;
    }
    pid_t pid = 0;
    int rc = spawn(&pid, command, options);
    if (rc != 0) {
        if (error)
            *error = command.program() + ": " + std::strerror(rc);
        return nullptr;
    }
    return std::unique_ptr<Process>(new Process(pid, options.new_process_group));
}

int Process::wait() {
    {
        std::lock_guard lock(state_->mutex);
        if (state_->reaped)
            return state_->exit_code;
    }
    // Wait without reaping, so that terminate() never signals a recycled pid.
    siginfo_t info{};
    while (waitid(P_PID, static_cast<id_t>(pid_), &info, WEXITED | WNOWAIT) < 0 && errno == EINTR) {
    }
    std::lock_guard lock(state_->mutex);
    if (!state_->reaped) {
        int status = 0;
        while (waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
        }
        state_->reaped = true;
        state_->exit_code = state_->terminated ? 1 : codeFromStatus(status);
    }
    return state_->exit_code;
}

std::optional<int> Process::poll() {
    std::lock_guard lock(state_->mutex);
    if (!state_->reaped) {
        int status = 0;
        pid_t r = waitpid(pid_, &status, WNOHANG);
        if (r == 0)
            return std::nullopt;
        state_->reaped = true;
        state_->exit_code = state_->terminated ? 1 : (r == pid_ ? codeFromStatus(status) : -1);
    }
    return state_->exit_code;
}

void Process::terminate() {
    std::lock_guard lock(state_->mutex);
    if (state_->reaped)
        return;
    state_->terminated = true;
    if (group_)
        ::kill(-pid_, SIGKILL);
    ::kill(pid_, SIGKILL);
}

bool startDetached(const CommandLine& command) {
    // Detached children are reaped on later calls, so they never stay zombies for long.
    static std::mutex mutex;
    static std::vector<pid_t> pending;
    std::lock_guard lock(mutex);
    for (auto it = pending.begin(); it != pending.end();) {
        int status;
        it = waitpid(*it, &status, WNOHANG) != 0 ? pending.erase(it) : it + 1;
    }
    pid_t pid = 0;
    StartOptions options;
    if (spawn(&pid, command, options) != 0)
        return false;
    pending.push_back(pid);
    return true;
}

CommandLine commandFromText(std::string_view text) {
    CommandLine cmd;
    std::size_t i = 0;
    while (i < text.size()) {
        while (i < text.size() && (text[i] == ' ' || text[i] == '\t'))
            ++i;
        std::size_t start = i;
        while (i < text.size() && text[i] != ' ' && text[i] != '\t')
            ++i;
        if (i > start) {
            std::string word(text.substr(start, i - start));
            cmd = cmd.empty() ? CommandLine(std::move(word)) : std::move(cmd.arg(std::move(word)));
        }
    }
    return cmd;
}

bool powerOff() {
    const char* configured = std::getenv("QUORIN_POWEROFF_COMMAND");
    CommandLine cmd = commandFromText(configured && *configured ? configured : "systemctl poweroff");
    return !cmd.empty() && startDetached(cmd);
}

bool openWithDesktop(const std::string& target) {
    return startDetached(CommandLine("xdg-open").arg(target));
}

bool showInFolder(const std::filesystem::path& file) {
    std::string uri = "file://";
    for (unsigned char c : file.string()) {
        if (std::isalnum(c) || std::strchr("/-._~", c)) {
            uri += static_cast<char>(c);
        } else {
            char hex[4];
            std::snprintf(hex, sizeof hex, "%%%02X", c);
            uri += hex;
        }
    }
    CommandLine dbus("dbus-send");
    dbus.args({"--session", "--dest=org.freedesktop.FileManager1", "--type=method_call",
               "/org/freedesktop/FileManager1", "org.freedesktop.FileManager1.ShowItems",
               "array:string:" + uri, "string:"});
    std::string error;
    auto p = Process::start(dbus, {}, &error);
    if (p && p->wait() == 0)
        return true;
    return openWithDesktop(file.parent_path().string());
}

}  // namespace platform
