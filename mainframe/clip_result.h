#pragma once
// Between a list row's task and the clip dialog: what the dialog is opened with, and
// what an accepted dialog changes in the task and the row.

#include "mainframe/row_model.h"
#include "player/clip_settings.h"

namespace mainframe {

// The source facts the dialog needs (path, no video, duration, picture size).
player::ClipSource clipSourceOf(const convert::ConvertTask& task);
// The task's clip, crop and keep ratio; speed and volume as the task has them.
player::ClipSettings clipSettingsOf(const convert::ConvertTask& task);

// Copies an accepted dialog's values into the row's task (an odd crop width or height
// raised by one) and shows the clip length: "layNewDuration1" with
// "video_duration_new" for the whole file, else "layNewDuration2" with
// "video_duration_new2" = "start - end".
void applyClipResult(RowModel& row, const player::ClipSettings& settings);

// "%02d:%02d:%02d" of whole seconds (hours may pass 99).
std::string clipTimeText(int seconds);

}  // namespace mainframe
