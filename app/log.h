#pragma once
// The two diagnostic channels: the debug output (standard error when
// QUORIN_DEBUG=1) and the append-only log file (dataDir()/run.dat once start-up
// has set it). Nothing is buffered; every call is complete when it returns, and
// nothing reports failure to the caller.

#include <cstddef>
#include <ctime>
#include <filesystem>
#include <string>
#include <string_view>

namespace app {

// Messages are cut to this many characters (code points), as the fixed buffers
// of the format calls always did.
inline constexpr std::size_t kLogMessageMaxChars = 512;
// Longest log path kept, in bytes; a longer one is cut.
inline constexpr std::size_t kLogPathMaxChars = 260;

// printf-style; goes to standard error when QUORIN_DEBUG is "1", else nowhere.
void debugLog(const char* format, ...) __attribute__((format(printf, 1, 2)));
// The system's text for error number `error` (-1: the current errno), to the debug
// output.
void debugLogError(int error = -1);
// True when debug output is switched on (read from the environment on each call).
bool debugLogEnabled();

// Appends "[M/D H:M:S]-<message>\r\n" (local time, no leading zeros). The file is
// opened for each line and locked exclusively without waiting: a writer that finds
// it locked loses its line. A deleted log file is created again by the next line.
void fileLog(const char* format, ...) __attribute__((format(printf, 1, 2)));
// Appends `text` as it is: no time stamp, no line end (same locking rule).
void fileLogRaw(std::string_view text);

// Where fileLog writes. Until set: workDir()/ftlog.log.
void setLogPath(const std::filesystem::path& path);
std::filesystem::path logPath();

// The line fileLog writes for `message` at local time `local`.
std::string formatLogLine(const std::tm& local, std::string_view message);

}  // namespace app
