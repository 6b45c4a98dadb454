#include "mainframe/target_selection.h"

#include "app/language.h"
#include "mainframe/row_look.h"
#include "mainframe/target_resolution.h"
#include "platform/strings.h"

namespace mainframe {

using convert::ConvertMode;
using convert::FormatFamily;
using convert::TargetFormat;
using convert::TargetPreset;
using convert::TaskState;

namespace {

std::array<convert::TargetChoice, 6> initialChoices() {
    std::array<convert::TargetChoice, 6> choices{};
    for (const convert::ModeInfo& info : convert::modeInfos())
        choices[static_cast<std::size_t>(info.mode)] = {info.initial_format, info.initial_preset};
    return choices;
}

}  // namespace

TextLookup languageTexts() {
    return [](std::string_view key, std::string_view section) { return app::getText(key, section); };
}

TargetSelection::TargetSelection(TextLookup texts)
    : texts_(texts ? std::move(texts) : [](std::string_view, std::string_view) { return std::string(); }),
      choice_(initialChoices()) {
    rebuildButtons(ConvertMode::Video);
}

bool TargetSelection::isFormatItem(std::string_view item) {
    return item.find("menuex") != std::string_view::npos || item.find("menu3_") != std::string_view::npos;
}

bool TargetSelection::isCompressItem(std::string_view item) {
    const std::string name = platform::lower(item);
    return name == "menu_compress_low" || name == "menu_compress_mid" || name == "menu_compress_high";
}

std::string TargetSelection::presetLabel(int format, int preset) const {
    const TargetPreset* entry = convert::presetById(preset);
    if (!entry)
        return {};
    if (entry->kind == convert::PresetKind::Origin)
        return texts_("FormatOriginText", "Text");
    const TargetFormat* f = convert::formatById(format);
    return std::string(f && f->family == FormatFamily::Gif ? entry->gif_label : entry->label);
}

std::string TargetSelection::compressLevelText() const {
    return texts_(compress_level_ == 1   ? "CompressMidText"
                  : compress_level_ == 2 ? "CompressHighText"
                                         : "CompressLowText",
                  "Text");
}

namespace {

// The name of a format on its own: its label or its language text.
std::string formatName(const TargetFormat* f, const TextLookup& texts) {
    if (!f)
        return {};
    return f->label_key.empty() ? f->label() : texts(f->label_key, "Text");
}

}  // namespace

void TargetSelection::rebuildButtons(ConvertMode mode) {
    const TargetFormat* f = convert::formatById(format(mode));
    if (!convert::modeInfo(mode).offers_presets) {
        format_button_ = formatName(f, texts_);
    } else {
        format_button_ = (f ? f->label() + " - " : std::string()) + presetLabel(format(mode), preset(mode));
    }
    compress_button_ = compressLevelText();
}

TargetSelection::Outcome TargetSelection::chooseFormat(ConvertMode mode, std::string_view item,
                                                       const std::vector<RowModel*>& rows) {
    convert::TargetChoice& choice = choice_[index(mode)];
    if (mode == ConvertMode::Merge) {
        for (RowModel* row : rows) {
            const TaskState state = row->task()->state.load(std::memory_order_acquire);
            if (state == TaskState::Queued || state == TaskState::Running)
                return Outcome::WaitForConver;
        }
        // A merge is redone from the start after a format change. The whole idle look
        // is applied (not only the result area) so that the rows no longer count as
        // finished and take the new choice below.
        for (RowModel* row : rows) {
            row->task()->state.store(TaskState::New, std::memory_order_release);
            applyRowLook(*row, true, mode);
        }
    }
    const TargetFormat* named = convert::formatNamedIn(item);
    if (!convert::modeInfo(mode).offers_presets) {
        // Its items name one of its formats or nothing: the source's own container.
        const bool offered = named && convert::modeOffers(mode, *named);
        choice.format = offered ? named->id : convert::modeInfo(mode).initial_format;
        format_button_ = formatName(convert::formatById(choice.format), texts_);
    } else {
        format_button_.clear();
        if (named) {
            choice.format = named->id;
            format_button_ = named->label() + " - ";
        }
        if (const TargetPreset* preset = convert::presetNamedIn(item)) {
            choice.preset = preset->id;
            format_button_ += presetLabel(choice.format, preset->id);
        }
    }
    for (RowModel* row : rows) {
        if (row->finished() || row->converting())
            continue;
        row->target = choice;
        row->task()->preset_index = choice.preset;
        renderTarget(*row, row->task()->ready.load(std::memory_order_acquire));
    }
    return Outcome::Applied;
}

void TargetSelection::chooseCompress(std::string_view item, const std::vector<RowModel*>& compress_rows) {
    const std::string name = platform::lower(item);
    if (name == "menu_compress_low")
        compress_level_ = 0;
    if (name == "menu_compress_mid")
        compress_level_ = 1;
    if (name == "menu_compress_high")
        compress_level_ = 2;
    rebuildButtons(ConvertMode::Compress);
    for (RowModel* row : compress_rows)
        row->task()->compress_level = compress_level_;
}

void TargetSelection::renderTarget(RowModel& row, bool probed) const {
    const convert::ConvertTask& task = *row.task();
    // The probe writes the source facts until the task is ready.
    const ResolvedTarget target =
        resolveTarget(row.target, task.source_ext, probed ? task.width : 0, probed ? task.height : 0);
    if (!target.ext.empty())
        row.setText("codec_type_new", platform::upper(target.ext));
    row.show("layNewVideo", !target.audio);
    row.show("layNewAudio", target.audio);
    if (!target.audio) {
        row.setText("video_resolution_new", target.resolution);
    } else if (target.audio_kbps > 0) {
        row.setText("audio_bitrate_new", std::to_string(target.audio_kbps) + " kbps");
    } else if (probed && !task.source_audio_bitrate.empty()) {
        row.setText("audio_bitrate_new", task.source_audio_bitrate + " kbps");
    } else {
        row.setText("audio_bitrate_new", texts_("FormatOriginText", "Text"));
    }
}

void TargetSelection::fillNewRow(RowModel& row, ConvertMode mode) const {
    const convert::ConvertTask& task = *row.task();
    row.target = choice(mode);
    row.setText("video_old_name", task.name);
    row.setText("edit_new_video_name", task.output_name);
    row.part("edit_new_video_name").enabled = false;
    row.setText("codec_type", platform::upper(task.source_ext));
    row.setText("video_size", task.size_text);
    renderTarget(row, task.ready.load(std::memory_order_acquire));
}

void TargetSelection::applyProbeResult(RowModel& row) const {
    // The probe sends this while it waits, before `ready`: the facts are complete and
    // no job reads the task yet. A special source's job posts it once it runs; the job
    // then owns the target fields, so only the row follows the new facts.
    convert::ConvertTask& task = *row.task();
    const TaskState state = task.state.load(std::memory_order_acquire);
    const bool job_owns = task.ready.load(std::memory_order_acquire) &&
                          (state == TaskState::Queued || state == TaskState::Running);
    if (!job_owns)
        applySelection(task, row.target, task.compress_level);
    renderTarget(row, true);
}

void TargetSelection::copyIntoTask(RowModel& row) {
    convert::ConvertTask& task = *row.task();
    applySelection(task, row.target, task.compress_level, task.ready.load(std::memory_order_acquire));
    if (task.convertMode() == ConvertMode::Merge) {
        task.output_name = "merge_" + task.unique_id;
    } else {
        const std::string name = row.text("edit_new_video_name");
        if (!name.empty())
            task.output_name = name;
    }
}

}  // namespace mainframe
