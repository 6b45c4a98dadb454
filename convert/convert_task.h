#pragma once
// One file in a conversion list: its source, what the probe learnt of it (MediaInfo),
// the chosen target (the OutputProfile fields the command builder reads), clip, crop,
// output name and state.
//
// Who writes what (fields are shared without locks, ordered by `ready`):
//  - the window thread creates the task and writes the target, clip, crop, speed,
//    volume, output folder and `state`;
//  - the probe thread writes the MediaInfo group (and clip_start/clip_end,
//    crop_width/crop_height), then sets `ready` (release);
//  - the job (CUtilTransform) reads everything after `ready` (acquire) and writes only
//    `output_name` and `output_path` (in Start, on the caller's thread) and, for special
//    sources, `source_path`;
//  - `job` and `row` are written by the window thread (the job clears `job` when it is
//    destroyed).

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace platform {
class Process;
}
namespace mainframe {
class RowModel;  // the list row, which the conversion list owns
}

namespace convert {

class CUtilTransform;

enum class ConvertMode : std::int32_t { Video = 0, Audio2 = 1, Audio = 2, Gif = 3, Merge = 4, Compress = 5 };
enum class TaskState : std::int32_t { New = 0, Queued = 1, Running = 2, Stopped = 3, Done = 4, Failed = 5 };
enum class SourceKind : std::int32_t { Ordinary = 0, Qsv = 1, Kux = 2, Qlv = 3 };

// What the probe learnt of a source. Plain data: copied freely.
struct MediaInfo {
    std::string size_text;             // platform::FormatSize of file_size; empty when stat failed
    std::string duration_text;         // "HH:MM:SS" of the rounded duration
    std::string source_resolution;     // "%dx%d" of width, height
    std::string cover_path;            // cover PNG, empty until made
    std::string source_audio_bitrate;  // kbit/s of the last audio stream, decimal text
    std::int32_t no_video = 0;         // 1: streams read, none is video, not a special kind
    std::int32_t duration = 0;         // whole seconds, truncated
    std::int32_t height = 0;
    std::int32_t width = 0;
    std::int32_t channels = 2;
    std::int32_t cover_seek = 0;  // 5 when the rounded duration is at least 6 s
    std::int64_t bit_rate = 0;    // container bit rate, bit/s
    std::int64_t file_size = 0;   // bytes, 0 when stat failed
    std::int32_t has_data_stream = 0;
    std::int32_t rotation = 0;  // clockwise degrees 0..359
    float fps = 24.0f;
    // The main video stream is an embedded picture (an audio file's cover): the cover
    // is cut from it without seeking.
    bool attached_picture = false;
    // Index of the video stream the facts above come from (the default one, else the
    // libraries' best pick, pictures only when nothing else exists); -1 without video.
    // The command maps it, so the output follows the stream the facts describe.
    std::int32_t main_video_stream = -1;
    // The streams were read (the fields below say what the file holds).
    bool streams_read = false;
    // Audio streams a decoder exists for, in file order (a track without a known codec
    // cannot be converted and is never mapped), and the one a one-track target takes:
    // the default one, else the first; -1 without sound.
    std::vector<std::int32_t> audio_streams;
    std::int32_t main_audio_stream = -1;
};

struct ConvertTask : MediaInfo {
    // Creates a task for `path`: name, output_name, source_ext, source_kind, file_size,
    // size_text and unique_id as a new list entry gets them.
    ConvertTask(std::string path, ConvertMode task_mode, std::int32_t level = 0);
    ConvertTask() = default;
    ~ConvertTask();  // terminates a running cover extraction
    ConvertTask(const ConvertTask&) = delete;
    ConvertTask& operator=(const ConvertTask&) = delete;

    std::string name;                  // file name without its last extension
    std::string output_name;           // output base name, no folder or extension
    std::string source_path;           // the file handed to "-i"
    std::string added_path;            // the file as the user added it (source_path may change)
    std::string output_path;           // full output path, set by the job's Start
    std::string output_folder;         // ends in '/'; output_path = output_folder + name + "." + ext
    std::string source_ext;            // lower case, no dot
    std::string target_ext;            // lower case, no dot: "mp4", "mp3", "gif"...
    std::string target_resolution;     // "%dx%d" or empty
    std::string target_audio_bitrate;  // kbit/s without unit
    std::int32_t source_kind = 0;      // SourceKind
    std::string unique_id;             // "%d_%lld": process-wide counter, microseconds
    std::int32_t mode = 0;             // ConvertMode
    std::int32_t preset_index = 0;
    std::int32_t compress_level = 0;  // 0 low, 1 mid, 2 high
    std::int32_t clip_start = 0;      // whole seconds
    std::int32_t clip_end = 0;        // whole seconds; = duration when not clipped
    std::int32_t crop_x = 0, crop_y = 0, crop_width = 0, crop_height = 0;
    bool keep_ratio = true;
    float speed = 1.0f;   // audio tempo factor
    float volume = 1.0f;  // audio volume factor
    std::int32_t requeued = 0;

    // Set (release) by the probe queue once the probe is over; the job waits for it.
    std::atomic<bool> ready{false};
    // Written by the window thread, read by the probe and conversion threads.
    std::atomic<TaskState> state{TaskState::New};
    // The running job, owned by the task while set (window thread).
    CUtilTransform* job = nullptr;
    // The task's list row (window thread); null once removed.
    mainframe::RowModel* row = nullptr;

    // The probe's length in microseconds: duration, its text, the cover's seek, and the
    // whole file as the clip unless a clip already chosen fits (a restored list).
    void takeDuration(std::int64_t micros);
    // The probe's picture size (sides of 0 keep the known ones): its text, and the
    // whole picture as the crop unless a crop already chosen fits.
    void takePictureSize(std::int32_t picture_width, std::int32_t picture_height);

    // Terminates the cover extraction if one runs (any thread).
    void terminateCover();
    // Set by MakeCover while its child runs; guarded by cover_mutex.
    std::mutex cover_mutex;
    std::shared_ptr<platform::Process> cover_process;

    ConvertMode convertMode() const { return static_cast<ConvertMode>(mode); }
    bool isStopped() const { return state.load(std::memory_order_acquire) == TaskState::Stopped; }
};

// "%d_%lld" of a process-wide counter (from 1) and the current time in microseconds.
std::string makeUniqueId();

}  // namespace convert
