#include "convert/target_formats.h"

#include "platform/strings.h"

#include <array>

namespace convert {

namespace {

constexpr unsigned kVideo = modeBit(ConvertMode::Video);
constexpr unsigned kAudio2 = modeBit(ConvertMode::Audio2);
constexpr unsigned kAudio = modeBit(ConvertMode::Audio);
constexpr unsigned kGif = modeBit(ConvertMode::Gif);
constexpr unsigned kMerge = modeBit(ConvertMode::Merge);
constexpr unsigned kCompress = modeBit(ConvertMode::Compress);

constexpr std::string_view kLame = " -c:a libmp3lame -vsync 2";
constexpr std::string_view kX264 = " -c:v libx264";
constexpr std::string_view kX264Main = " -c:v libx264 -profile:v main";
constexpr std::string_view kVp9 = " -c:v libvpx-vp9";
constexpr std::string_view kAac = " -c:a aac";

using F = FormatFamily;

// clang-format off
constexpr std::array kFormats{
    //          id  token   label key  family  modes offering it
    //          audio-family args                        video codec  merge codec  at 1080          audio codec      all tracks, one track, no -b:a at
    TargetFormat{0, "mp4", "", F::Video, kVideo | kMerge | kCompress,
                 kLame, "", kX264, "", kAac},
    TargetFormat{1, "mkv", "", F::Video, kVideo | kMerge,
                 kLame, "", kX264, "", kAac},
    TargetFormat{2, "avi", "", F::Video, kVideo | kMerge,
                 kLame, kX264Main, " -c:v msmpeg4", " -c:v libxvid", kAac},
    TargetFormat{3, "wmv", "", F::Video, kVideo | kMerge,
                 kLame, kX264Main, " -c:v wmv2", "", kAac},
    TargetFormat{4, "flv", "", F::Video, kVideo | kMerge,
                 kLame, kX264Main, kX264, "", kAac},
    TargetFormat{5, "mov", "", F::Video, kVideo | kMerge,
                 kLame, "", kX264, "", kAac},
    TargetFormat{6, "webm", "", F::Video, kVideo,
                 kLame, kVp9, kVp9, "", " -c:a libopus"},
    TargetFormat{7, "gif", "", F::Gif, kGif,
                 kLame, "", kX264, "", kAac},
    TargetFormat{8, "mp3", "", F::Audio, kAudio2 | kAudio,
                 kLame, "", kX264, "", kAac},
    TargetFormat{9, "m4a", "", F::Audio, kAudio2 | kAudio,
                 " -c:a aac -c:v copy", "", kX264, "", kAac, true},
    TargetFormat{10, "wav", "", F::Audio, kAudio2,
                 "", "", kX264, "", kAac, false, true},
    TargetFormat{11, "wma", "", F::Audio, kAudio2,
                 " -c:a wmav1", "", kX264, "", kAac, true},
    TargetFormat{12, "aac", "", F::Audio, kAudio2,
                 " -c:a aac", "", kX264, "", kAac, false, true},
    TargetFormat{13, "flac", "", F::Audio, kAudio2,
                 " -c:a flac", "", kX264, "", kAac, false, true},
    TargetFormat{14, "ac3", "", F::Audio, kAudio2,
                 " -c:a ac3", "", kX264, "", kAac, false, true},
    TargetFormat{15, "m4r", "", F::Audio, kAudio2,
                 " -c:a aac -f ipod", "", kX264, "", kAac, false, true},
    TargetFormat{17, "ogg", "", F::Audio, kAudio2,
                 " -vn", "", kX264, "", kAac, false, true, 256},
    TargetFormat{18, "origin", "CompressFormatOriginText", F::SameContainer, kCompress,
                 kLame, "", kX264, "", kAac},
    // Containers a Compress target keeps from its source.
    TargetFormat{-1, "mpg", "", F::Video, 0,
                 kLame, "", kX264, "", ""},
};
// clang-format on

constexpr TargetFormat kUnknownFormat{-1, "", "", F::Video, 0, kLame, "", kX264, "", kAac};

constexpr std::array kPresets{
    TargetPreset{0, "origin", PresetKind::Origin},
    TargetPreset{1, "1080", PresetKind::Size, 1920, 1080, 0, 0, "1920x1080", "1920x1080", 3000},
    TargetPreset{2, "720", PresetKind::Size, 1280, 720, 0, 0, "1280x720", "1280x720", 2500},
    TargetPreset{3, "dvd", PresetKind::Size, 720, 576, 720, 0, "720x576", "720P", 1500},
    TargetPreset{4, "tv", PresetKind::Size, 640, 480, 360, 0, "640x480", "360P", 1200},
    TargetPreset{5, "phone", PresetKind::Size, 320, 240, 200, 0, "320x240", "200P"},
    TargetPreset{6, "256", PresetKind::Bitrate, 0, 0, 0, 256, "256 kbps", ""},
    TargetPreset{7, "128", PresetKind::Bitrate, 0, 0, 0, 128, "128 kbps", ""},
    TargetPreset{8, "96", PresetKind::Bitrate, 0, 0, 0, 96, "96 kbps", ""},
};

constexpr std::array kModes{
    //       mode                  name      format preset special presets audio sources
    ModeInfo{ConvertMode::Video, "video", 0, 0, true, true, false},
    ModeInfo{ConvertMode::Audio2, "audio2", 8, 0, false, true, true},
    ModeInfo{ConvertMode::Audio, "audio", 8, 0, false, true, false},
    ModeInfo{ConvertMode::Gif, "gif", 7, 0, true, true, false},
    ModeInfo{ConvertMode::Merge, "merge", 0, 2, false, true, false},
    ModeInfo{ConvertMode::Compress, "compress", 18, 0, true, false, false},
};

// The video containers the lists take as sources.
constexpr std::array<std::string_view, 9> kVideoSources{"mp4", "mkv", "avi", "wmv", "flv",
                                                        "mov", "mpg", "ts",  "webm"};

bool contains(std::string_view text, std::string_view token) {
    return !token.empty() && text.find(token) != std::string_view::npos;
}

}  // namespace

std::string TargetFormat::label() const {
    return platform::upper(token);
}

std::span<const TargetFormat> targetFormats() {
    return kFormats;
}
std::span<const TargetPreset> targetPresets() {
    return kPresets;
}
std::span<const ModeInfo> modeInfos() {
    return kModes;
}

const ModeInfo& modeInfo(ConvertMode mode) {
    for (const ModeInfo& info : kModes) {
        if (info.mode == mode)
            return info;
    }
    return kModes.front();
}

const TargetFormat* formatById(int id) {
    for (const TargetFormat& f : kFormats) {
        if (f.id >= 0 && f.id == id)
            return &f;
    }
    return nullptr;
}

const TargetPreset* presetById(int id) {
    for (const TargetPreset& p : kPresets) {
        if (p.id == id)
            return &p;
    }
    return nullptr;
}

const TargetFormat& formatByExt(std::string_view ext) {
    for (const TargetFormat& f : kFormats) {
        if (f.family != F::SameContainer && f.token == ext)
            return f;
    }
    return kUnknownFormat;
}

const TargetFormat* formatByToken(std::string_view token) {
    for (const TargetFormat& f : kFormats) {
        if (f.id >= 0 && f.token == token)
            return &f;
    }
    return nullptr;
}

const TargetPreset* presetByToken(std::string_view token) {
    for (const TargetPreset& p : kPresets) {
        if (p.token == token)
            return &p;
    }
    return nullptr;
}

const TargetFormat* formatNamedIn(std::string_view item) {
    for (const TargetFormat& f : kFormats) {
        if (f.id >= 0 && f.family != F::SameContainer && contains(item, f.token))
            return &f;
    }
    return nullptr;
}

const TargetPreset* presetNamedIn(std::string_view item) {
    for (const TargetPreset& p : kPresets) {
        if (contains(item, p.token))
            return &p;
    }
    return nullptr;
}

bool modeOffers(ConvertMode mode, const TargetFormat& format) {
    return (format.modes & modeBit(mode)) != 0;
}

std::vector<std::string_view> sourceExtensions(ConvertMode mode) {
    std::vector<std::string_view> exts;
    if (modeInfo(mode).audio_sources) {
        for (const TargetFormat& f : kFormats) {
            if (f.isAudio() && modeOffers(mode, f))
                exts.push_back(f.token);
        }
    }
    exts.insert(exts.end(), kVideoSources.begin(), kVideoSources.end());
    return exts;
}

bool presetFits(ConvertMode mode, const TargetFormat& format, const TargetPreset& preset) {
    if (preset.kind == PresetKind::Origin)
        return true;
    if (!modeInfo(mode).offers_presets || format.family == F::SameContainer)
        return false;
    return (preset.kind == PresetKind::Bitrate) == format.isAudio();
}

}  // namespace convert
