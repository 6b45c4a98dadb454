#pragma once
// Child processes started from an argument vector, never through a shell. A
// CommandLine keeps the vector and, beside it, the display string that logs and
// tests show (written by whoever builds the command).

#include <sys/types.h>

#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

class CommandLine {
public:
    CommandLine() = default;
    // The program: a path, or a bare name looked up in PATH at start.
    explicit CommandLine(std::string program);

    // One argument; shown as it is, after a blank.
    CommandLine& arg(std::string value);
    // One argument; shown in double quotes, after a blank (paths and filter texts).
    CommandLine& quotedArg(std::string value);
    // Several arguments, each shown as it is.
    CommandLine& args(std::initializer_list<std::string> values);
    // Replaces the display string for builders that fix its exact form.
    void setDisplay(std::string display) { display_ = std::move(display); }

    const std::string& program() const { return argv_.front(); }
    const std::vector<std::string>& argv() const { return argv_; }
    const std::string& display() const { return display_; }
    bool empty() const { return argv_.empty(); }

private:
    std::vector<std::string> argv_;
    std::string display_;
};

struct StartOptions {
    // Current folder of the child; empty keeps ours.
    std::filesystem::path working_dir;
    // Where the child's standard output and error go; empty means /dev/null (a hidden
    // child shows nothing). Standard input is always /dev/null.
    std::filesystem::path output_file;
    // Start a new process group, so terminate() reaches the child's own children.
    bool new_process_group = true;
    // The child is killed when the thread that started it ends, or its process dies
    // (even by SIGKILL), so no child outlives the program. The starting thread must
    // live as long as the child (a job's runner that waits for it).
    bool die_with_parent = false;
};

// A started child. Thread-safe: one thread may wait() while another terminate()s.
class Process {
public:
    // Nothing when the program could not be started; `error` then says why.
    static std::unique_ptr<Process> start(const CommandLine& command, const StartOptions& options = {},
                                          std::string* error = nullptr);
    ~Process();  // a child still running is terminated and reaped
    Process(const Process&) = delete;
    Process& operator=(const Process&) = delete;

    // Blocks until the child ends. Returns its exit code; 1 after terminate() (as a
    // Windows TerminateProcess with code 1); 128 + signal when a signal ended it.
    int wait();
    // The exit code when the child has ended, nothing while it runs.
    std::optional<int> poll();
    // Kills the child (and its process group). Harmless once it has ended.
    void terminate();
    // Asks the child (and its group) to finish with SIGINT, as Ctrl-C in a terminal
    // does: ffmpeg then closes its output properly. Harmless once it has ended.
    void interrupt();
    // Waits at most `timeout_ms` for the child to end: its exit code, or nothing while
    // it still runs.
    std::optional<int> waitFor(int timeout_ms);
    pid_t pid() const { return pid_; }

private:
    explicit Process(pid_t pid, bool group);
    struct State;
    std::unique_ptr<State> state_;
    pid_t pid_;
    bool group_;
};

// Starts a command and forgets it (opening URLs and files with the desktop). True when
// it started.
bool startDetached(const CommandLine& command);

// Lowers the calling thread's CPU priority by `steps` of niceness; the threads and
// children it starts afterwards inherit it (background work yields to the window).
void lowerThreadPriority(int steps = 10);

// Splits a configured command ("systemctl poweroff") at blanks into a CommandLine.
CommandLine commandFromText(std::string_view text);

// Runs QUORIN_POWEROFF_COMMAND (default "systemctl poweroff"). True when it started.
bool powerOff();

// Opens a URL, file or folder with the desktop (xdg-open).
bool openWithDesktop(const std::string& target);

// Shows a file selected in the desktop's file manager, else opens its folder.
bool showInFolder(const std::filesystem::path& file);

}  // namespace platform
