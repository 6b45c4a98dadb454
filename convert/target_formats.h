#pragma once
// The one table of conversion targets, its presets and the modes that offer them.
// The command builder, the window's target selection, the file filters and the CLI
// all read these rows; adding a target is one row here plus its language text.
//
// Ids (TargetFormat::id, TargetPreset::id) are stable: the skin's menus and stored
// choices use them. Code looks rows up by id, token or extension and reads their
// fields; it never computes with the ids.

#include "convert/convert_task.h"

#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace convert {

enum class FormatFamily {
    Video,          // sized by the size presets
    Gif,            // animated GIF: size presets fix the height
    Audio,          // audio bit-rate presets
    SameContainer,  // Compress: the source's own container
};

enum class PresetKind { Origin, Size, Bitrate };

constexpr unsigned modeBit(ConvertMode mode) {
    return 1u << static_cast<unsigned>(mode);
}

struct TargetFormat {
    int id;                      // stable index; -1: a container only reached as a source's own
    std::string_view token;      // lower case: the output extension, the menu and CLI token
    std::string_view label_key;  // language text ("Text") of a label that is no token; empty: label()
    FormatFamily family;
    unsigned modes;  // modeBit() of each mode whose format menu offers it
    // Command fragments, each starting with a blank (empty: none).
    // Modes Audio2, Audio: the codec; the builder adds the maps (one_audio_stream: the
    // main sound track; all_audio_streams: every decodable one; neither: ffmpeg's choice).
    std::string_view audio_family_args;
    std::string_view video_codec;             // modes Video, Gif, Compress
    std::string_view merge_video_codec;       // merge preparation
    std::string_view merge_video_codec_1080;  // merge preparation at the 1080 preset; empty: the same
    std::string_view audio_codec;             // video family and merge preparation
    bool all_audio_streams = false;           // audio family: every sound track is mapped
    bool one_audio_stream = false;            // the container holds one audio stream only
    int omitted_bitrate_kbps = 0;             // a bit rate left to the encoder (no " -b:a")

    bool isAudio() const { return family == FormatFamily::Audio; }
    // "MP4": the row label and the start of the format button.
    std::string label() const;
};

struct TargetPreset {
    int id;
    std::string_view token;
    PresetKind kind;
    int width = 0, height = 0;  // Size
    int gif_height = 0;         // Size, GIF: only the height is fixed (0: the full size)
    int kbps = 0;               // Bitrate
    std::string_view label;     // button label; empty for Origin (language "FormatOriginText")
    std::string_view gif_label;
    int merge_kbps = 0;  // video bit rate of merge parts; 0: the default
};

struct ModeInfo {
    ConvertMode mode;
    std::string_view name;  // CLI name
    int initial_format;
    int initial_preset;
    bool takes_special_sources;  // qsv, kux, qlv sources enter the list
    bool offers_presets;         // its format choices carry a preset
    bool audio_sources;          // its file filter offers audio files before the video ones
};

std::span<const TargetFormat> targetFormats();  // offered targets in id order, then containers
std::span<const TargetPreset> targetPresets();  // in id order
std::span<const ModeInfo> modeInfos();          // in ConvertMode order

const ModeInfo& modeInfo(ConvertMode mode);
// Nothing for an unknown id.
const TargetFormat* formatById(int id);
const TargetPreset* presetById(int id);
// The row of an output extension; a default row (mp3 audio, no video codec, aac) for
// an extension the table does not know.
const TargetFormat& formatByExt(std::string_view ext);
// Exact token; nothing when unknown.
const TargetFormat* formatByToken(std::string_view token);
const TargetPreset* presetByToken(std::string_view token);
// Menu item names: the first format (id order) whose token occurs in `item`; the
// same-container row is never named (a Compress item naming no format chooses it).
const TargetFormat* formatNamedIn(std::string_view item);
const TargetPreset* presetNamedIn(std::string_view item);

bool modeOffers(ConvertMode mode, const TargetFormat& format);

// The source extensions the open-file filter of `mode` offers, in order: the audio
// targets (modes with audio_sources), then the video containers.
std::vector<std::string_view> sourceExtensions(ConvertMode mode);
// Whether `preset` goes with `format` in `mode` (origin always does).
bool presetFits(ConvertMode mode, const TargetFormat& format, const TargetPreset& preset);

// A choice of target as the window holds it per mode and per row.
struct TargetChoice {
    int format = 0;  // TargetFormat::id
    int preset = 0;  // TargetPreset::id
    bool operator==(const TargetChoice&) const = default;
};

}  // namespace convert
