#pragma once
// The clip dialog's one entry point for the list rows ("btn_clip_video").

#include "player/clip_settings.h"

class QWidget;

namespace player::gui {

// Shows the clip dialog for `source`, modal over `owner` and centred on it, starting
// from `settings` (the task's clip, crop and keep ratio; speed and volume start at
// the dialog's own defaults). Returns true when the user pressed OK: `settings` then
// holds the chosen clip, crop, keep ratio, speed and volume, the crop as drawn (the
// caller raises odd sizes). Returns false, `settings` untouched, for Close, Escape or
// the title bar, and when the dialog's layout is missing.
bool runClipDialog(QWidget* owner, const ClipSource& source, ClipSettings& settings);

}  // namespace player::gui
