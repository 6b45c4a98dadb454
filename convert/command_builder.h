#pragma once
// Turns a task's OutputProfile fields into the one ffmpeg command a job runs. The
// result carries the argument vector (every path one argument, whatever it holds)
// and the display string that logs and `quorin-convert command` show.

#include "convert/convert_task.h"
#include "platform/process.h"

#include <cstdint>
#include <functional>
#include <string>

namespace convert {

// What the builder needs from the settings, as plain callbacks (convert/ does not see
// the application's stores). Each is called only when its value is used, so a one-shot
// override is consumed by the job that applies it and by no other. Empty callbacks
// mean "not configured".
struct BuildSettings {
    // Program Config.ini "Config" "Size"; an empty text gives "34500".
    std::function<std::string()> muxing_queue_size;
    // Video bit rate override in bit/s, taken (reset to 0) on use; 0 = none.
    std::function<std::int64_t()> take_bitrate_override;
    // Frame rate override, taken (reset to 0) on use; 0 = none.
    std::function<float()> take_frame_rate_override;
};

// Builds the command for `task` writing its progress to `progress_path`. Never fails:
// the builder does not validate (ffmpeg rejects what is wrong and the job fails).
// The program is `program` (default: ffmpegProgram()); the display always begins with
// "ffmpeg".
platform::CommandLine buildCommand(const ConvertTask& task, const std::string& progress_path,
                                   const BuildSettings& settings, const std::string& program = {});

// Seconds of output the command writes: the clip when clipped, else the duration; in
// mode Audio2 divided by the tempo that the audio filter applies. 0 when unknown.
double writtenSeconds(const ConvertTask& task);

// True when the task carries a clip (start > 0 or end differs from the duration).
bool isClipped(const ConvertTask& task);

}  // namespace convert
