#pragma once
// What a source holds: probing with the FFmpeg libraries, the cover picture cut with
// the ffmpeg tool, and the size texts of the list.

#include "convert/convert_task.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace mainframe {

// Fills the task's MediaInfo (and clip_start/clip_end, crop_width/crop_height) from
// `source_path`. True when the file was read and has a video stream, or is of a special
// kind. False, with no field touched, when the task is Stopped or the file cannot be
// opened or read; false with the fields read for an ordinary file without video
// (`no_video` = 1) or without a container duration. Blocking; thread-safe for different tasks.
bool ProbeMedia(convert::ConvertTask& task);

// Cuts the cover picture into the data folder's video_cover folder. True when
// `cover_path` names an existing file afterwards; false when the task is Stopped or
// ffmpeg made nothing. Blocking (the child is stored in task.cover_process meanwhile,
// so terminateCover() ends it).
bool MakeCover(convert::ConvertTask& task);

// Keeps the FFmpeg libraries' own diagnostics off standard error (front ends whose
// output is read by people or scripts). Process-wide, as the libraries' log level is.
void silenceLibraryLogs();

}  // namespace mainframe
