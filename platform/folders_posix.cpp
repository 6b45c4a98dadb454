#include "platform/folders.h"

#include "platform/files.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <string>
#include <system_error>

namespace platform {
namespace fs = std::filesystem;

namespace {

const char kProductFolder[] = "QuorinVideoConverter";

const char* envOrNull(const char* name) {
    const char* v = std::getenv(name);
    return (v && *v) ? v : nullptr;
}

fs::path created(fs::path dir) {
    ensureDir(dir);
    return dir;
}

fs::path xdgDir(const char* var, const char* fallback_below_home) {
    if (const char* v = envOrNull(var))
        return fs::path(v);
    return homeDir() / fallback_below_home;
}

// Reads XDG_DOCUMENTS_DIR="$HOME/Documents" from user-dirs.dirs.
fs::path documentsFromUserDirs() {
    std::ifstream in(xdgDir("XDG_CONFIG_HOME", ".config") / "user-dirs.dirs");
    std::string line;
    const std::string key = "XDG_DOCUMENTS_DIR=";
    while (std::getline(in, line)) {
        if (line.compare(0, key.size(), key) != 0)
            continue;
        std::string value = line.substr(key.size());
        if (value.size() >= 2 && value.front() == '"' && value.back() == '"')
            value = value.substr(1, value.size() - 2);
        const std::string home_var = "$HOME";
        if (value.compare(0, home_var.size(), home_var) == 0)
            value = homeDir().string() + value.substr(home_var.size());
        if (!value.empty() && value.front() == '/')
            return fs::path(value);
    }
    return {};
}

}  // namespace

fs::path homeDir() {
    if (const char* h = envOrNull("HOME"))
        return fs::path(h);
    if (const passwd* pw = getpwuid(getuid()); pw && pw->pw_dir)
        return fs::path(pw->pw_dir);
    return fs::path("/tmp");
}

bool ensureDir(const fs::path& dir) {
    std::error_code ec;
    fs::create_directories(dir, ec);
    return fs::is_directory(dir, ec);
}

void deleteFilesIn(const fs::path& dir) {
    std::error_code ec;
    for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
        std::error_code ec2;
        if (!it->is_directory(ec2))
            fs::remove(it->path(), ec2);
    }
}

fs::path programDir() {
    if (const char* v = envOrNull("QUORIN_PROGRAM_DIR"))
        return fs::path(v);
    fs::path exe = executablePath();
    std::error_code ec;
    return exe.empty() ? fs::current_path(ec) : exe.parent_path();
}

fs::path pluginDir() {
    return programDir() / "plugin";
}

fs::path dataDir() {
    if (const char* v = envOrNull("QUORIN_DATA_DIR"))
        return created(fs::path(v));
    return created(xdgDir("XDG_DATA_HOME", ".local/share") / kProductFolder);
}

fs::path scratchDir() {
    return created(dataDir() / "temp");
}
fs::path logDir() {
    return created(dataDir() / "log");
}
fs::path coverDir() {
    return created(dataDir() / "video_cover");
}

fs::path workDir() {
    const char* tmp = envOrNull("TMPDIR");
    return created(fs::path(tmp ? tmp : "/tmp") / kProductFolder);
}

fs::path documentsDir() {
    if (const char* v = envOrNull("XDG_DOCUMENTS_DIR"))
        return fs::path(v);
    fs::path from_file = documentsFromUserDirs();
    if (!from_file.empty())
        return from_file;
    return homeDir() / "Documents";
}

fs::path userConfigDir() {
    return created(xdgDir("XDG_CONFIG_HOME", ".config") / kProductFolder);
}

fs::path machineConfigDir() {
    if (const char* v = envOrNull("QUORIN_MACHINE_CONFIG_DIR"))
        return fs::path(v);
    return fs::path("/etc") / kProductFolder;
}

}  // namespace platform
