#pragma once
// The list row's controls bound to its RowModel: making a row, showing the model's
// state in it, and finding the row of any control inside it.

#include "mainframe/row_model.h"

namespace ui {
class Control;
class Window;
}  // namespace ui

namespace mainframe {

// A row control for `row` (not owned; it must outlive the control), built with
// `window`'s layout rules. Null when the row markup cannot be built.
ui::Control* makeRowControl(ui::Window* window, RowModel& row);
// Shows the model's texts, pictures, visibility and enabled flags in the row.
void refreshRowControl(ui::Control* row_control, RowModel& row);
// The row that holds `control` (a button inside it, or the row itself); null for a
// control outside every row.
RowModel* rowModelOf(const ui::Control* control);
ui::Control* rowControlOf(const ui::Control* control);

}  // namespace mainframe
