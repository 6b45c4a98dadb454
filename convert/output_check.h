#pragma once
// What a finished job wrote, read back with the FFmpeg libraries: a job succeeds only
// when its output holds something that plays. ffmpeg itself may end "successfully"
// with an empty file ("Output file is empty, nothing was encoded").

#include <filesystem>
#include <string>

namespace convert {

// The kinds of stream an output must hold, each with at least one frame that decodes.
struct OutputNeeds {
    bool video = false;  // a moving picture (an embedded cover does not count)
    bool audio = false;
};

struct OutputCheck {
    enum class Verdict {
        Playable,
        Unreadable,  // missing, empty, or no container the libraries read
        NoVideo,     // no picture that decodes
        NoAudio,     // no sound that decodes
        NoLength,    // streams, but nothing of any length
    };
    Verdict verdict = Verdict::Unreadable;
    double seconds = 0;  // the output's length (0 when unknown)
    bool ok() const { return verdict == Verdict::Playable; }
};

// Reads `file`: the container, then packets until a frame of every needed kind (at
// least one stream of any kind when nothing is needed) has decoded. The length is the
// container's, else the end of the last packet, which then needs a read to the end.
OutputCheck checkOutput(const std::filesystem::path& file, OutputNeeds needs);

}  // namespace convert
