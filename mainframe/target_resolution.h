#pragma once
// The target choices of the lists: formats, presets, the initial selection of each
// mode and the target frame size they give.

#include "convert/convert_task.h"

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace mainframe {

struct FormatEntry {
    int index;
    std::string_view token;   // looked for in a menu item's name; empty: none
    std::string_view prefix;  // start of the format button's text
    std::string_view label;   // the row's target label (also the output extension)
};

// Indices 0..17 (16 unused); 18 is Compress's "same container as the source".
inline constexpr int kFormatGif = 7;
inline constexpr int kFirstAudioFormat = 8;
inline constexpr int kFormatCompressOrigin = 18;
inline constexpr std::array<FormatEntry, 19> kFormats{{
    {0, "mp4", "MP4 - ", "MP4"},
    {1, "mkv", "MKV - ", "MKV"},
    {2, "avi", "AVI - ", "AVI"},
    {3, "wmv", "WMV - ", "WMV"},
    {4, "flv", "FLV - ", "FLV"},
    {5, "mov", "MOV - ", "MOV"},
    {6, "webm", "WEBM - ", "WEBM"},
    {7, "gif", "GIF - ", "GIF"},
    {8, "mp3", "MP3 - ", "MP3"},
    {9, "m4a", "M4A - ", "M4A"},
    {10, "wav", "WAV - ", "WAV"},
    {11, "wma", "WMA - ", "WMA"},
    {12, "aac", "AAC - ", "AAC"},
    {13, "flac", "FLAC - ", "FLAC"},
    {14, "ac3", "AC3 - ", "AC3"},
    {15, "m4r", "M4R - ", "M4R"},
    {16, "", "", ""},
    {17, "ogg", "OGG - ", "OGG"},
    {18, "", "", ""},
}};

struct PresetEntry {
    int index;
    std::string_view token;
    std::string_view label;      // "" for index 0: the language text "FormatOriginText"
    std::string_view gif_label;  // label when the format is GIF
};
inline constexpr std::array<PresetEntry, 9> kPresets{{
    {0, "origin", "", ""},
    {1, "1080", "1920x1080", "1920x1080"},
    {2, "720", "1280x720", "1280x720"},
    {3, "dvd", "720x576", "720P"},
    {4, "tv", "640x480", "360P"},
    {5, "phone", "320x240", "200P"},
    {6, "256", "256 kbps", ""},
    {7, "128", "128 kbps", ""},
    {8, "96", "96 kbps", ""},
}};

// The window's selection at start, by ConvertMode (Video, Audio2, Audio, Gif, Merge,
// Compress).
inline constexpr std::array<int, 6> kInitialModeFormat{0, 8, 8, 7, 0, 18};
inline constexpr std::array<int, 6> kInitialModePreset{0, 0, 0, 0, 2, 0};

// The format indices each mode offers (the format menu's entries).
bool modeOffersFormat(convert::ConvertMode mode, int format_index);

// Target frame size text for format f and preset p of a w x h source; empty when the
// size is unknown and the choice depends on it.
std::string TargetResolution(int format_index, int preset_index, int width, int height);

// Applies a mode's selection to a probed task as the window does when the probe result
// arrives and when the task is queued: target_ext, target_resolution,
// target_audio_bitrate, preset_index (and compress_level in mode Compress).
void applySelection(convert::ConvertTask& task, int format_index, int preset_index, int compress_level = 0);

}  // namespace mainframe
