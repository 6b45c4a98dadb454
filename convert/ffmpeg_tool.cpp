#include "convert/ffmpeg_tool.h"

#include "platform/files.h"
#include "platform/folders.h"

#include <cstdlib>
#include <string_view>

namespace convert {

std::string ffmpegProgram() {
    auto beside = platform::programDir() / "ffmpeg";
    if (platform::isExecutableFile(beside))
        return beside.string();
    const char* path = std::getenv("PATH");
    std::string_view dirs = path ? path : "/usr/local/bin:/usr/bin:/bin";
    while (!dirs.empty()) {
        std::size_t colon = dirs.find(':');
        std::string_view dir = dirs.substr(0, colon);
        if (!dir.empty()) {
            auto candidate = std::filesystem::path(dir) / "ffmpeg";
            if (platform::isExecutableFile(candidate))
                return candidate.string();
        }
        if (colon == std::string_view::npos)
            break;
        dirs.remove_prefix(colon + 1);
    }
    return kFfmpegDisplayName;
}

}  // namespace convert
