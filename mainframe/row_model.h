#pragma once
// A list row as plain data. Its state is typed: the target choice it shows (`target`)
// and the look last applied (`look()`, see row_look.h). Everything the window draws is
// rendered from that state into named parts ("codec_type_new", "pic_recode_progress",
// "layResultVideo1" ...): the window binds its controls to the parts by name and never
// reads state back from them; tests read both.

#include "convert/convert_task.h"
#include "convert/target_formats.h"

#include <map>
#include <string>
#include <string_view>

namespace mainframe {

// The state a look is rendered from (applyRowLook in row_look.h).
struct RowLookState {
    convert::TaskState state = convert::TaskState::New;
    bool idle = true;  // false while queued or converting
};

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

    // Every part made so far, by name.
    const std::map<std::string, RowPart, std::less<>>& parts() const { return parts_; }

    // The target this row shows and its task takes when queued (TargetSelection
    // keeps it; the labels are rendered from it).
    convert::TargetChoice target;

    // The look last applied: converting while not idle (the remove button is hidden),
    // finished when it was applied for a Done task (the success mark shows).
    const RowLookState& look() const { return look_; }
    void setLook(RowLookState look) { look_ = look; }
    bool converting() const { return !look_.idle; }
    bool finished() const { return look_.state == convert::TaskState::Done; }

    // The file the running job writes, noted by the window when the job's first
    // message arrives (so it is read after the job set it); the state file keeps it
    // so that a crash leaves no partial output behind.
    std::string job_output;

    // The clip and crop the task was added with (a restored list's); the state file
    // takes them from here until the probe is over, since the probe thread may still
    // fit the task's own to the file.
    struct ClipCrop {
        std::int32_t clip_start = 0, clip_end = 0;
        std::int32_t crop_x = 0, crop_y = 0, crop_width = 0, crop_height = 0;
    };
    ClipCrop added_clip;

private:
    convert::ConvertTask* task_;
    std::map<std::string, RowPart, std::less<>> parts_;
    RowLookState look_;
};

// The rename edit: the button toggles it; losing the focus commits a non-empty text to
// the task's output name and puts the old name back for an empty one.
void toggleRename(RowModel& row);
void commitRename(RowModel& row);

// Fills the source facts after the probe (the target texts come from the selection).
void showSourceFacts(RowModel& row);

}  // namespace mainframe
