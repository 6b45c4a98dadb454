#pragma once
// What a target choice gives a task: the frame size, the audio bit rate and the output
// extension. The window (rows, queueing, probe results) and the CLI use these same
// functions, so both build the same command for the same choice.

#include "convert/convert_task.h"
#include "convert/target_formats.h"

#include <string>

namespace mainframe {

// Target frame size text for format f and preset p of a w x h source; empty when the
// size is unknown and the choice depends on it.
std::string TargetResolution(int format_id, int preset_id, int width, int height);

// The target of `choice` for a source with these facts (zero sizes and an empty bit
// rate when not yet probed).
struct ResolvedTarget {
    std::string ext;         // lower case, no dot
    std::string resolution;  // video families; empty when unknown
    int audio_kbps = 0;      // audio family: the preset's rate, 0 for the source's own
    bool audio = false;      // the audio family: a bit rate, not a size, is shown
};
ResolvedTarget resolveTarget(const convert::TargetChoice& choice, const std::string& source_ext, int width,
                             int height);

// Applies a choice to a task's OutputProfile fields: target_ext, target_resolution
// (not in mode Audio, and only when known), target_audio_bitrate (modes Audio2 and
// Audio: the preset's, else the source's when known), preset_index, and compress_level
// in mode Compress. `probed` says whether the task's probe facts may be read.
void applySelection(convert::ConvertTask& task, const convert::TargetChoice& choice, int compress_level,
                    bool probed = true);

}  // namespace mainframe
