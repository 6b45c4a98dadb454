#pragma once
// Rows in every state for screenshots: made from tasks filled by hand (no probe, no
// ffmpeg), so a look at the list needs no media.

#include <filesystem>
#include <memory>
#include <vector>

#include "convert/convert_task.h"
#include "mainframe/row_model.h"

namespace ui {
class Window;
}
namespace mainframe::gui {
class RowFactory;
}

namespace uishot {

struct SampleRows {
    std::vector<std::unique_ptr<convert::ConvertTask>> tasks;
    std::vector<std::unique_ptr<mainframe::RowModel>> rows;
    // Percent readings the running rows show (two, a few seconds apart, so the time
    // left is known).
    int running_percent = 40;
};

// New, probed with a cover, queued, running at 40 %, done, failed, two merge rows, a
// compress row and an audio-only row. Covers and results are written into `scratch`
// (once: a later call finds them there).
SampleRows makeSampleRows(const std::filesystem::path& scratch);

// Puts the rows into the main window's video list (rows made by `factory`), the
// running row with its time left after two readings eight seconds apart, and the
// queue's status line; sizes the window to show them all.
void showSampleRows(ui::Window& window, SampleRows& samples, mainframe::gui::RowFactory& factory);

}  // namespace uishot
