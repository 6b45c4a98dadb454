#pragma once
// A list row as plain data: the text, picture and visibility of each named part
// ("codec_type_new", "pic_recode_progress", "layResultVideo1" ...). The window binds
// its controls to it; tests read it directly.

#include "convert/convert_task.h"

#include <map>
#include <string>
#include <string_view>

namespace mainframe {

struct RowPart {
    std::string text;
    std::string bkimage;
    bool visible = true;
    bool enabled = true;
};

class RowModel {
public:
    explicit RowModel(convert::ConvertTask* task) : task_(task) {}

    convert::ConvertTask* task() const { return task_; }

    // The part of that name, made on first use (visible, empty).
    RowPart& part(std::string_view name);
    std::string text(std::string_view name) const;
    bool visible(std::string_view name) const;
    bool enabled(std::string_view name) const;
    void setText(std::string_view name, std::string text) { part(name).text = std::move(text); }
    void show(std::string_view name, bool visible) { part(name).visible = visible; }

    // The window's tests of a row: converting while its remove button is hidden,
    // finished while its success mark shows.
    // Every part made so far, by name.
    const std::map<std::string, RowPart, std::less<>>& parts() const { return parts_; }

    bool converting() const { return !visible("btn_del_video"); }
    bool finished() const { return visible("recode_success"); }

private:
    convert::ConvertTask* task_;
    std::map<std::string, RowPart, std::less<>> parts_;
};

// The 44-pixel frame of "pic_recode_progress.png" for percent p (20 frames).
std::string progressImage(int percent);

// Shows a progress reading in the row: the text "p%\n" and the frame.
void setRowProgress(RowModel& row, int percent);

// The row's look for its task's state: idle after creation, results, stop and merge
// failure; not idle while queued or converting. `current_mode` is the window's mode.
void applyRowLook(RowModel& row, bool idle, convert::ConvertMode current_mode);

// The rename edit: the button toggles it; losing the focus commits a non-empty text to
// the task's output name and puts the old name back for an empty one.
void toggleRename(RowModel& row);
void commitRename(RowModel& row);

// Fills the source facts after the probe (the target texts come from the selection).
void showSourceFacts(RowModel& row);

}  // namespace mainframe
