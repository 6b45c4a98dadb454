#pragma once
// Helpers shared by every test binary: private temporary folders, environment
// overrides that undo themselves, the shared media corpus and running tools.

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace testsupport {

// A fresh folder below $TMPDIR, removed with everything in it on destruction.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::filesystem::path& path() const { return path_; }
    std::filesystem::path operator/(const std::string& name) const { return path_ / name; }

private:
    std::filesystem::path path_;
};

// Sets (or, with nullopt, unsets) an environment variable until destruction.
class ScopedEnv {
public:
    ScopedEnv(std::string name, std::optional<std::string> value);
    ~ScopedEnv();
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

private:
    std::string name_;
    std::optional<std::string> old_;
};

// Points the data, config and temporary folders at one TempDir for a test.
class IsolatedHome {
public:
    IsolatedHome();
    const std::filesystem::path& root() const { return dir_.path(); }
    std::filesystem::path dataDir() const { return dir_.path() / "data"; }

private:
    TempDir dir_;
    ScopedEnv data_, config_, xdgData_, tmp_, home_;
};

// A file of the shared media corpus (tests skip when the corpus is absent).
std::filesystem::path mediaFile(const std::string& name);
bool haveMediaCorpus();

std::string readFile(const std::filesystem::path& path);
void writeFile(const std::filesystem::path& path, const std::string& text);

struct ToolResult {
    int exit_code = -1;  // -1 when the tool could not start or died by a signal
    std::string output;  // standard output and standard error together
};
// Runs a program from its argument vector (looked up in PATH), waits, and
// returns what it printed.
ToolResult runTool(const std::vector<std::string>& argv);

// Makes a short test clip with ffmpeg's lavfi sources. `extra` goes before the
// output path (codecs, rate...). Returns false when ffmpeg fails.
bool makeClip(const std::filesystem::path& out, double seconds, bool video = true, bool audio = true,
              const std::vector<std::string>& extra = {});

}  // namespace testsupport
