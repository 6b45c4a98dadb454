#include "app/log.h"

#include "platform/files.h"
#include "platform/folders.h"

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>

namespace app {
namespace {

struct LogPathState {
    std::mutex mutex;
    std::filesystem::path path;  // guarded by mutex; empty: the default
};

LogPathState& logPathState() {
    static LogPathState state;
    return state;
}

std::string vformat(const char* format, va_list args) {
    char small[kLogMessageMaxChars * 4 + 1];
    va_list copy;
    va_copy(copy, args);
    int n = std::vsnprintf(small, sizeof small, format, copy);
    va_end(copy);
    if (n < 0)
        return {};
    if (static_cast<std::size_t>(n) < sizeof small)
        return std::string(small, static_cast<std::size_t>(n));
    std::string big(static_cast<std::size_t>(n) + 1, '\0');
    std::vsnprintf(big.data(), big.size(), format, args);
    big.resize(static_cast<std::size_t>(n));
    return big;
}

// Cuts `text` to kLogMessageMaxChars code points without splitting a character.
void cutMessage(std::string& text) {
    std::size_t chars = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if ((static_cast<unsigned char>(text[i]) & 0xC0) == 0x80)
            continue;
        if (chars++ == kLogMessageMaxChars) {
            text.resize(i);
            return;
        }
    }
}

void writeDebug(std::string message) {
    if (!debugLogEnabled())
        return;
    cutMessage(message);
    if (message.empty() || message.back() != '\n')
        message += '\n';
    // One call on the locked stream, so lines of several threads do not mix.
    std::fwrite(message.data(), 1, message.size(), stderr);
}

}  // namespace

bool debugLogEnabled() {
    const char* value = std::getenv("QUORIN_DEBUG");
    return value && std::strcmp(value, "1") == 0;
}

void debugLog(const char* format, ...) {
    if (!debugLogEnabled())
        return;
    va_list args;
    va_start(args, format);
    std::string message = vformat(format, args);
    va_end(args);
    writeDebug(std::move(message));
}

void debugLogError(int error) {
    if (error == -1)
        error = errno;
    char buffer[256];
    // The GNU strerror_r returns the text, which may not be in `buffer`.
    const char* text = strerror_r(error, buffer, sizeof buffer);
    writeDebug(text ? text : "");
}

std::string formatLogLine(const std::tm& local, std::string_view message) {
    char stamp[64];
    std::snprintf(stamp, sizeof stamp, "[%d/%d %d:%d:%d]-", local.tm_mon + 1, local.tm_mday, local.tm_hour,
                  local.tm_min, local.tm_sec);
    std::string line(stamp);
    std::string text(message);
    cutMessage(text);
    line += text;
    line += "\r\n";
    return line;
}

void fileLog(const char* format, ...) {
    va_list args;
    va_start(args, format);
    std::string message = vformat(format, args);
    va_end(args);
    std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    platform::appendExclusive(logPath(), formatLogLine(local, message));
}

void fileLogRaw(std::string_view text) {
    platform::appendExclusive(logPath(), text);
}

void setLogPath(const std::filesystem::path& path) {
    std::string text = path.string();
    if (text.size() > kLogPathMaxChars) {
        std::size_t cut = kLogPathMaxChars;
        while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80)
            --cut;
        text.resize(cut);
    }
    auto& state = logPathState();
    std::lock_guard lock(state.mutex);
    state.path = text;
}

std::filesystem::path logPath() {
    {
        auto& state = logPathState();
        std::lock_guard lock(state.mutex);
        if (!state.path.empty())
            return state.path;
    }
    return platform::workDir() / "ftlog.log";
}

}  // namespace app
