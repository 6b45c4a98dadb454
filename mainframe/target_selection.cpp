#include "mainframe/target_selection.h"

#include "app/language.h"
#include "mainframe/target_resolution.h"

#include <algorithm>
#include <cctype>

namespace mainframe {

using convert::ConvertMode;
using convert::TaskState;

namespace {

std::string lower(std::string_view text) {
    std::string out(text);
    std::transform(out.begin(), out.end(), out.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return out;
}

std::string upper(std::string_view text) {
    std::string out(text);
    std::transform(out.begin(), out.end(), out.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return out;
}

bool contains(std::string_view text, std::string_view token) {
    return text.find(token) != std::string_view::npos;
}

}  // namespace

TextLookup languageTexts() {
    return [](std::string_view key, std::string_view section) { return app::getText(key, section); };
}

TargetSelection::TargetSelection(TextLookup texts)
    : texts_(texts ? std::move(texts) : [](std::string_view, std::string_view) { return std::string(); }),
      format_(kInitialModeFormat),
      preset_(kInitialModePreset) {
    rebuildButtons(ConvertMode::Video);
}

bool TargetSelection::isFormatItem(std::string_view item) {
    return contains(item, "menuex") || contains(item, "menu3_");
}

bool TargetSelection::isCompressItem(std::string_view item) {
    const std::string name = lower(item);
    return name == "menu_compress_low" || name == "menu_compress_mid" || name == "menu_compress_high";
}

std::string TargetSelection::presetLabel(int format, int preset) const {
    if (preset < 0 || preset >= static_cast<int>(kPresets.size()))
        return {};
    if (preset == 0)
        return texts_("FormatOriginText", "Text");
    const PresetEntry& entry = kPresets[static_cast<std::size_t>(preset)];
    return std::string(format == kFormatGif ? entry.gif_label : entry.label);
}

std::string TargetSelection::rowLabel(int format, const RowModel& row) const {
    if (format == kFormatCompressOrigin)
        return row.text("codec_type");
    if (format < 0 || format >= static_cast<int>(kFormats.size()) ||
        kFormats[static_cast<std::size_t>(format)].label.empty())
        return row.text("codec_type_new");  // unchanged
    return std::string(kFormats[static_cast<std::size_t>(format)].label);
}

void TargetSelection::rebuildButtons(ConvertMode mode) {
    const int f = format(mode);
    if (mode == ConvertMode::Compress) {
        format_button_ = f == 0 ? "MP4" : texts_("CompressFormatOriginText", "Text");
    } else {
        std::string prefix;
        if (f >= 0 && f < static_cast<int>(kFormats.size()))
            prefix = kFormats[static_cast<std::size_t>(f)].prefix;
        format_button_ = prefix + presetLabel(f, preset(mode));
    }
    compress_button_ = texts_(compress_level_ == 1   ? "CompressMidText"
                              : compress_level_ == 2 ? "CompressHighText"
                                                     : "CompressLowText",
                              "Text");
}

TargetSelection::Outcome TargetSelection::chooseFormat(ConvertMode mode, std::string_view item,
                                                       const std::vector<RowModel*>& rows) {
    const std::size_t m = index(mode);
    if (mode == ConvertMode::Merge) {
        for (RowModel* row : rows) {
            const TaskState state = row->task()->state.load(std::memory_order_acquire);
            if (state == TaskState::Queued || state == TaskState::Running)
                return Outcome::WaitForConver;
        }
        // A merge is redone from the start after a format change. The whole idle look
        // is applied (not only the result area) so that the rows no longer count as
        // finished and take the new label below.
        for (RowModel* row : rows) {
            row->task()->state.store(TaskState::New, std::memory_order_release);
            applyRowLook(*row, true, mode);
        }
    }
    if (mode == ConvertMode::Compress) {
        if (contains(item, "mp4")) {
            format_[m] = 0;
            format_button_ = "MP4";
        } else {
            format_[m] = kFormatCompressOrigin;
            format_button_ = texts_("CompressFormatOriginText", "Text");
        }
    } else {
        format_button_.clear();
        for (const FormatEntry& entry : kFormats) {
            if (!entry.token.empty() && contains(item, entry.token)) {
                format_[m] = entry.index;
                format_button_ = std::string(entry.prefix);
                break;
            }
        }
        for (const PresetEntry& entry : kPresets) {
            if (contains(item, entry.token)) {
                preset_[m] = entry.index;
                format_button_ += presetLabel(format_[m], entry.index);
                break;
            }
        }
    }
    for (RowModel* row : rows) {
        if (row->finished() || row->visible("pic_recode_progress"))
            continue;
        applyTargets(*row, mode);
        row->task()->preset_index = preset_[m];
    }
    return Outcome::Applied;
}

void TargetSelection::chooseCompress(std::string_view item, const std::vector<RowModel*>& compress_rows) {
    const std::string name = lower(item);
    if (name == "menu_compress_low")
        compress_level_ = 0;
    if (name == "menu_compress_mid")
        compress_level_ = 1;
    if (name == "menu_compress_high")
        compress_level_ = 2;
    rebuildButtons(ConvertMode::Compress);
    compress_button_ = texts_(compress_level_ == 1   ? "CompressMidText"
                              : compress_level_ == 2 ? "CompressHighText"
                                                     : "CompressLowText",
                              "Text");
    for (RowModel* row : compress_rows)
        row->task()->compress_level = compress_level_;
}

void TargetSelection::applyTargets(RowModel& row, ConvertMode mode) const {
    const int f = format(mode);
    const int p = preset(mode);
    const convert::ConvertTask& task = *row.task();
    // The probe writes the source facts until the task is ready; its refresh applies the
    // selection again then.
    const bool probed = task.ready.load(std::memory_order_acquire);
    const std::string no_rate;
    const std::string& source_rate = probed ? task.source_audio_bitrate : no_rate;
    row.setText("codec_type_new", rowLabel(f, row));
    if (f < kFirstAudioFormat || f == kFormatCompressOrigin) {
        row.show("layNewVideo", true);
        row.show("layNewAudio", false);
        row.setText("video_resolution_new",
                    TargetResolution(f, p, probed ? task.width : 0, probed ? task.height : 0));
    } else {
        row.show("layNewVideo", false);
        row.show("layNewAudio", true);
        if (p >= 6 && p <= 8) {
            row.setText("audio_bitrate_new", presetLabel(f, p));
        } else if (!source_rate.empty()) {
            row.setText("audio_bitrate_new", source_rate + " kbps");
        }
    }
}

void TargetSelection::fillNewRow(RowModel& row, ConvertMode mode) const {
    const convert::ConvertTask& task = *row.task();
    row.setText("video_old_name", task.name);
    row.setText("edit_new_video_name", task.output_name);
    row.part("edit_new_video_name").enabled = false;
    row.setText("codec_type", upper(task.source_ext));
    row.setText("video_size", task.size_text);
    applyTargets(row, mode);
    if (format(mode) >= kFirstAudioFormat && format(mode) != kFormatCompressOrigin && preset(mode) == 0 &&
        task.source_audio_bitrate.empty()) {
        row.setText("audio_bitrate_new", presetLabel(format(mode), 0));
    }
}

void TargetSelection::applyProbeResult(RowModel& row, ConvertMode mode) const {
    convert::ConvertTask& task = *row.task();
    const int f = format(mode);
    const int p = preset(mode);
    task.target_resolution = TargetResolution(f, p, task.width, task.height);
    row.setText("video_resolution_new", task.target_resolution);
    if (p == 0 && !task.source_audio_bitrate.empty()) {
        task.target_audio_bitrate = task.source_audio_bitrate;
        row.setText("audio_bitrate_new", task.source_audio_bitrate + " kbps");
    }
}

void TargetSelection::copyIntoTask(RowModel& row) {
    convert::ConvertTask& task = *row.task();
    task.target_ext = lower(row.text("codec_type_new"));
    const ConvertMode mode = task.convertMode();
    if (mode != ConvertMode::Audio) {
        const std::string size = row.text("video_resolution_new");
        if (!size.empty())
            task.target_resolution = size;
    }
    if (mode == ConvertMode::Audio2 || mode == ConvertMode::Audio) {
        std::string rate = row.text("audio_bitrate_new");
        for (std::size_t at; (at = rate.find(" kbps")) != std::string::npos;)
            rate.erase(at, 5);
        // The origin label ("FormatOriginText") is no bit rate: the source's own applies.
        const bool number = !rate.empty() && std::all_of(rate.begin(), rate.end(), [](unsigned char c) {
            return std::isdigit(c) != 0;
        });
        if (number)
            task.target_audio_bitrate = rate;
    }
    if (mode == ConvertMode::Merge) {
        task.output_name = "merge_" + task.unique_id;
    } else {
        const std::string name = row.text("edit_new_video_name");
        if (!name.empty())
            task.output_name = name;
    }
}

}  // namespace mainframe
