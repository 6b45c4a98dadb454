#include "convert/ffmpeg_tool.h"

#include "platform/folders.h"

#include <unistd.h>

#include <cstdlib>
#include <string_view>

namespace convert {

namespace {

bool isExecutableFile(const std::filesystem::path& path) {
    std::error_code ec;
    return std::filesystem::is_regular_file(path, ec) && ::access(path.c_str(), X_OK) == 0;
}

}  // namespace

std::string ffmpegProgram() {
    auto beside = platform::programDir() / "ffmpeg";
    if (isExecutableFile(beside))
        return beside.string();
    const char* path = std::getenv("PATH");
    std::string_view dirs = path ? path : "/usr/local/bin:/usr/bin:/bin";
    while (!dirs.empty()) {
        std::size_t colon = dirs.find(':');
        std::string_view dir = dirs.substr(0, colon);
        if (!dir.empty()) {
            auto candidate = std::filesystem::path(dir) / "ffmpeg";
            if (isExecutableFile(candidate))
                return candidate.string();
        }
        if (colon == std::string_view::npos)
            break;
        dirs.remove_prefix(colon + 1);
    }
    return kFfmpegDisplayName;
}

}  // namespace convert
