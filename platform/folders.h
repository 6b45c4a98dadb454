#pragma once
// The folders of the program. Each call reads the environment afresh, so tests
// can point them elsewhere; the folder is created with missing parents when the
// call says so. Creation failures are ignored: later file operations fail where
// they happen.

#include <filesystem>

namespace platform {

// Folder of the running executable (QUORIN_PROGRAM_DIR overrides it): skin/,
// language/, plugin/, oem.ini and the program Config.ini live here.
std::filesystem::path programDir();
// Companion tools: programDir()/plugin.
std::filesystem::path pluginDir();

// Per-user data: QUORIN_DATA_DIR, else $XDG_DATA_HOME/QuorinVideoConverter, else
// ~/.local/share/QuorinVideoConverter. Created.
std::filesystem::path dataDir();
// dataDir()/temp: current folder of every child process. Created.
std::filesystem::path scratchDir();
// dataDir()/log: one progress file per job. Created.
std::filesystem::path logDir();
// dataDir()/video_cover: cover pictures. Created.
std::filesystem::path coverDir();

// $TMPDIR/QuorinVideoConverter (default /tmp): intermediate files and merge parts. Created.
std::filesystem::path workDir();

// XDG_DOCUMENTS_DIR (environment, then user-dirs.dirs), else ~/Documents. Not created.
std::filesystem::path documentsDir();

// $XDG_CONFIG_HOME/QuorinVideoConverter (default ~/.config/...): the per-user key store. Created.
std::filesystem::path userConfigDir();
// QUORIN_MACHINE_CONFIG_DIR, else /etc/QuorinVideoConverter: the read-only machine store.
std::filesystem::path machineConfigDir();

// The user's home folder ($HOME, else the password database).
std::filesystem::path homeDir();

// Creates `dir` with its missing parents; true when it exists afterwards.
bool ensureDir(const std::filesystem::path& dir);

// Deletes every file directly inside `dir` (not sub-folders); errors are ignored.
void deleteFilesIn(const std::filesystem::path& dir);

}  // namespace platform
