#pragma once
// The look of a list row: which parts show for each (task state, task mode, idle
// flag), in one table in row_look.cpp, and the progress picture.

#include "convert/convert_task.h"
#include "mainframe/row_model.h"

#include <string>

namespace mainframe {

// The 44-pixel frame of "pic_recode_progress.png" for percent p (20 frames).
std::string progressImage(int percent);

// Shows a progress reading in the row: the text "p%\n" and the frame.
void setRowProgress(RowModel& row, int percent);

// Records the look for the task's current state and renders it: idle after creation,
// results, stop and merge failure; not idle while queued or converting.
// `current_mode` is the window's mode (no clip buttons in mode Compress).
void applyRowLook(RowModel& row, bool idle, convert::ConvertMode current_mode);

}  // namespace mainframe
