#include "convert/merge_list.h"

#include "convert/ffmpeg_tool.h"

#include <fstream>
#include <string_view>

namespace convert {

bool concatListAccepts(const std::string& path) {
    return path.find_first_of(std::string_view("\r\n\0", 3)) == std::string::npos;
}

std::string concatListLine(const std::string& path) {
    std::string line = "file '";
    for (char c : path) {
        if (c == '\'') {
            line += "'\\''";
        } else {
            line += c;
        }
    }
    line += "'\r\n";
    return line;
}

bool writeConcatList(const std::filesystem::path& list_path, const std::vector<std::string>& inputs) {
    for (const std::string& input : inputs)
        if (!concatListAccepts(input))
            return false;
    std::ofstream out(list_path, std::ios::binary | std::ios::trunc);
    if (!out)
        return false;
    for (const std::string& input : inputs)
        out << concatListLine(input);
    out.close();
    return !out.fail();
}

platform::CommandLine buildMergeCommand(const std::string& progress_path, const std::string& list_path,
                                        const std::string& output_path, const std::string& program) {
    platform::CommandLine command(program.empty() ? ffmpegProgram() : program);
    // "-safe 0": the list holds absolute paths; ffmpeg 5.1 rejects any other value
    // than 0 or 1 and, with 1, refuses absolute paths.
    command.args({"-safe", "0", "-hide_banner", "-progress"})
        .quotedArg(progress_path)
        .args({"-y", "-f", "concat", "-i"})
        .quotedArg(list_path)
        .args({"-map", "0", "-c", "copy"})
        .quotedArg(output_path);
    std::string display = std::string(kFfmpegDisplayName) + " -safe 0 -hide_banner -progress \"" +
                          progress_path + "\" -y -f concat -i \"" + list_path + "\" -map 0 -c copy \"" +
                          output_path + "\"";
    command.setDisplay(display);
    return command;
}

}  // namespace convert
