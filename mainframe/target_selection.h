#pragma once
// The window's target selection per mode (a convert::TargetChoice of format and preset
// ids, and the compress level): the menu choices with their token rules, the button
// texts, each row's choice (RowModel::target) and the target texts rendered from it,
// and the copy into the task when it is queued.

#include "convert/convert_task.h"
#include "convert/target_formats.h"
#include "mainframe/row_model.h"

#include <array>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace mainframe {

// A language text by key and section ("Text" or "Message"); empty when missing.
using TextLookup = std::function<std::string(std::string_view key, std::string_view section)>;
// app::getText.
TextLookup languageTexts();

class TargetSelection {
public:
    explicit TargetSelection(TextLookup texts = languageTexts());

    const convert::TargetChoice& choice(convert::ConvertMode mode) const { return choice_[index(mode)]; }
    int format(convert::ConvertMode mode) const { return choice(mode).format; }
    int preset(convert::ConvertMode mode) const { return choice(mode).preset; }
    int compressLevel() const { return compress_level_; }

    // Menu item names: a format choice contains "menuex" or "menu3_"; a compression
    // choice is one of the three "menu_compress_*" names (any case).
    static bool isFormatItem(std::string_view item);
    static bool isCompressItem(std::string_view item);

    enum class Outcome { Applied, WaitForConver };
    // A format item clicked in `mode`; `rows` are that mode's list rows. In mode Merge
    // while a part is queued or converting nothing changes and WaitForConver comes back
    // (the window shows that message). The button text is then formatButton().
    Outcome chooseFormat(convert::ConvertMode mode, std::string_view item,
                         const std::vector<RowModel*>& rows);
    // A compression item (mode Compress): the level of every compress task changes.
    void chooseCompress(std::string_view item, const std::vector<RowModel*>& compress_rows);

    // Texts of "btn_menu_format" and "btn_menu_compress" as the last choice left them.
    const std::string& formatButton() const { return format_button_; }
    const std::string& compressButton() const { return compress_button_; }
    // Rebuilds both from `mode`'s selection (mode switch).
    void rebuildButtons(convert::ConvertMode mode);

    // Row creation: the row takes `mode`'s choice; its texts are rendered.
    void fillNewRow(RowModel& row, convert::ConvertMode mode) const;
    // Probe result: the row's choice applied to the task again with the new facts
    // (target_resolution; the source bit rate for preset origin), unless a running
    // job owns the task's fields, and rendered.
    void applyProbeResult(RowModel& row) const;
    // The target texts of the row from its choice and its task's facts (read only when
    // `probed`): "codec_type_new", "layNewVideo" with
    // "video_resolution_new", "layNewAudio" with "audio_bitrate_new".
    void renderTarget(RowModel& row, bool probed) const;

    // The task takes its target from the row's choice when it is queued (the same
    // applySelection as the CLI), and output_name from the name edit.
    static void copyIntoTask(RowModel& row);

private:
    static std::size_t index(convert::ConvertMode mode) { return static_cast<std::size_t>(mode); }
    std::string presetLabel(int format, int preset) const;
    std::string compressLevelText() const;

    TextLookup texts_;
    std::array<convert::TargetChoice, 6> choice_;
    int compress_level_ = 0;
    std::string format_button_;
    std::string compress_button_;
};

}  // namespace mainframe
