#include "platform/process.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <thread>

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

// The program's path as execve needs it: a name without '/' is looked up in PATH.
std::string resolveProgram(const std::string& program) {
    if (program.find('/') != std::string::npos)
        return program;
    const char* path = std::getenv("PATH");
    std::string dirs = path && *path ? path : "/usr/local/bin:/usr/bin:/bin";
    std::size_t pos = 0;
    while (pos <= dirs.size()) {
        std::size_t colon = dirs.find(':', pos);
        if (colon == std::string::npos)
            colon = dirs.size();
        std::string dir = dirs.substr(pos, colon - pos);
        std::string candidate = (dir.empty() ? "." : dir) + "/" + program;
        if (::access(candidate.c_str(), X_OK) == 0)
            return candidate;
        pos = colon + 1;
    }
    return program;
}

// fork and exec with the same set-up as spawn(), plus PR_SET_PDEATHSIG, which
// posix_spawn cannot ask for. Between fork and exec only async-signal-safe calls; an
// exec failure comes back through a close-on-exec pipe.
int spawnDying(pid_t* pid, const CommandLine& command, const StartOptions& options) {
    const std::string program = resolveProgram(command.program());
    auto argv = argvPointers(command.argv());
    const std::string output = options.output_file.empty() ? "/dev/null" : options.output_file.string();
    const int output_flags = options.output_file.empty() ? O_WRONLY : O_WRONLY | O_CREAT | O_TRUNC;
    const std::string dir = options.working_dir.string();
    const pid_t parent = ::getpid();
    int report[2];
    if (::pipe2(report, O_CLOEXEC) != 0)
        return errno;
    const pid_t child = ::fork();
    if (child < 0) {
        const int e = errno;
        ::close(report[0]);
        ::close(report[1]);
        return e;
    }
    if (child == 0) {
        auto fail = [&](int e) {
            (void)!::write(report[1], &e, sizeof e);
            ::_exit(127);
        };
        ::prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (::getppid() != parent)
            ::_exit(127);  // the parent died before the request took hold
        if (options.new_process_group)
            ::setpgid(0, 0);
        struct sigaction dfl {};
        dfl.sa_handler = SIG_DFL;
        for (int s = 1; s < NSIG; ++s)
            ::sigaction(s, &dfl, nullptr);
        sigset_t empty;
        sigemptyset(&empty);
        ::sigprocmask(SIG_SETMASK, &empty, nullptr);
        const int in = ::open("/dev/null", O_RDONLY);
        const int out = ::open(output.c_str(), output_flags, 0644);
        if (in < 0 || out < 0)
            fail(errno);
        ::dup2(in, 0);
        ::dup2(out, 1);
        ::dup2(out, 2);
        if (in > 2)
            ::close(in);
        if (out > 2)
            ::close(out);
        if (!dir.empty() && ::chdir(dir.c_str()) != 0)
            fail(errno);
        ::execve(program.c_str(), argv.get(), environ);
        fail(errno);
    }
    ::close(report[1]);
    int e = 0;
    ssize_t n;
    while ((n = ::read(report[0], &e, sizeof e)) < 0 && errno == EINTR) {
    }
    ::close(report[0]);
    if (n == static_cast<ssize_t>(sizeof e)) {
        int status;
        while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
        }
        return e;
    }
    *pid = child;
    return 0;
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
    int rc = options.die_with_parent ? spawnDying(&pid, command, options) : spawn(&pid, command, options);
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

void Process::interrupt() {
    std::lock_guard lock(state_->mutex);
    if (state_->reaped)
        return;
    if (group_)
        ::kill(-pid_, SIGINT);
    ::kill(pid_, SIGINT);
}

std::optional<int> Process::waitFor(int timeout_ms) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
    for (;;) {
        if (auto code = poll())
            return code;
        if (std::chrono::steady_clock::now() >= deadline)
            return std::nullopt;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

void lowerThreadPriority(int steps) {
    // Linux keeps the niceness per thread; PRIO_PROCESS with a thread id sets that one.
    const auto tid = static_cast<id_t>(::gettid());
    errno = 0;
    const int current = ::getpriority(PRIO_PROCESS, tid);
    if (errno == 0)
        ::setpriority(PRIO_PROCESS, tid, current + steps);
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
