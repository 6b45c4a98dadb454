#pragma once
// Where the ffmpeg command-line tool is: the program folder first, then PATH.

#include <string>

namespace convert {

// The name every displayed command line begins with.
inline constexpr const char* kFfmpegDisplayName = "ffmpeg";

// Full path of an executable "ffmpeg" in the program folder, else the first one on
// PATH; the bare name "ffmpeg" when none is found (starting it then fails, which the
// caller reports).
std::string ffmpegProgram();

}  // namespace convert
