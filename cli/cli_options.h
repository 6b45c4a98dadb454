#pragma once
// The command line of quorin-convert: sub-command, options and files.

#include "convert/convert_task.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace cli {

enum class Command { None, Convert, Show, Probe, Demo, Help, Version };

struct CliOptions {
    Command command = Command::None;
    convert::ConvertMode mode = convert::ConvertMode::Video;
    std::optional<int> format;  // format index; the mode's initial one when absent
    std::optional<int> preset;  // preset index; the mode's initial one when absent
    int level = 0;
    std::optional<std::pair<int, int>> clip;  // start, end in whole seconds
    std::optional<std::array<int, 4>> crop;   // x, y, width, height
    float speed = 1.0f;
    float volume = 1.0f;
    std::string output_dir;  // empty: the window's output folder
    std::string name;        // empty: the source's name
    std::int64_t bitrate_override_bps = 0;
    float fps_override = 0.0f;
    bool json = false;  // one JSON object a line on standard output instead of text
    int jobs = 1;       // files converted at once
    std::vector<std::string> files;
};

// Parses argv (argv[0] excluded). On a usage error returns nothing and sets `error`.
// Options start with "--"; anything else (also "-name.mp4") is a file; "--" ends the
// options.
std::optional<CliOptions> parseArguments(const std::vector<std::string>& args, std::string& error);

// "90", "1:30", "0:01:30" -> seconds; nothing when malformed.
std::optional<int> parseSeconds(const std::string& text);

// Generated from the target table.
const std::string& usageText();

}  // namespace cli
