#pragma once
// The list row of the main window. A row is built from "video_info.xml" (a
// ListContainerElement holding a "ConverCtrl"), whose content comes from
// "ConverCtrl.xml"; both are parsed once per RowFactory and copied for every row.
// The row shows a mainframe::RowModel: refreshRow() copies each named part's text,
// picture, visibility and enabled flag onto the control of that name.

#include <QPointer>
#include <functional>
#include <memory>
#include <string>
#include <unordered_map>

#include "mainframe/row_model.h"
#include "ui/builder.h"
#include "ui/container.h"
#include "ui/window.h"

namespace ui {
class List;
}

namespace mainframe::gui {

// The row's content (skin class "ConverCtrl"). Made by a RowFactory, or by a layout
// that names the class, which then reads "ConverCtrl.xml" on its own.
class CConverCtrlUI : public ui::Container {
    Q_OBJECT
public:
    CConverCtrlUI();
    // Builds the content from `content` (the parsed "ConverCtrl.xml"); false when it
    // gives no control (the row is then left empty).
    bool build(const ui::LayoutTemplate& content, ui::Window* window);

    RowModel* model() const { return model_; }
    // The control of that name inside the row, or null.
    ui::Control* part(const std::string& name) const;
    // Copies the model onto the controls (only what changed since the last refresh).
    void refresh();
    // Builds content kept by defer() and shows the model on it; nothing when built.
    void ensureBuilt();

private:
    friend class RowFactory;
    void bind(RowModel* model) { model_ = model; }
    // The content is built when the row first comes near the view (see ensureBuilt).
    void defer(std::shared_ptr<const ui::LayoutTemplate> content, ui::Window* window);

    RowModel* model_ = nullptr;
    std::shared_ptr<const ui::LayoutTemplate> deferred_;
    ui::Window* window_ = nullptr;
    std::unordered_map<std::string, ui::Control*> parts_;
    std::unordered_map<std::string, RowPart> shown_;  // what refresh last applied
};

// The window's row builder: the row markup is read and parsed once, then every row is
// a copy. A row starts as an empty frame of its height; its content is built by
// realizeRow(), which a list calls for the rows near its view (List::setRowRealizer),
// so that a list of thousands of files costs little more than the rows on screen.
// Rows belong to the list they are added to.
class RowFactory {
public:
    explicit RowFactory(ui::Window* window);

    // A new row for `model`, filled from it; its tag is the task. Null when the
    // markup cannot be built (the task then has no row).
    ui::Control* makeRow(RowModel& model);
    // The row that shows `model`, or null (not made here, or deleted since).
    ui::Control* rowOf(const RowModel* model) const;
    // Copies the model onto its row; false when it has none.
    bool refresh(const RowModel* model) const;
    // How often the markup was parsed (once per factory when the skin has it).
    int parseCount() const { return parse_count_; }

private:
    bool load();
    ui::Window* window_;
    std::shared_ptr<const ui::LayoutTemplate> row_, content_;
    int parse_count_ = 0;
    mutable std::unordered_map<const RowModel*, QPointer<ui::Control>> rows_;
};

// Builds the content of a row made by a RowFactory; nothing when it is built already.
void realizeRow(ui::Control* row);

// The row around any control inside it (a row's button, the rename edit) or the row
// itself, or null.
ui::Control* rowOfControl(const ui::Control* control);
// The model / task of the row around `control`, or null.
RowModel* modelOfControl(const ui::Control* control);
convert::ConvertTask* taskOfControl(const ui::Control* control);

// "btn_video_rename": opens the output-name edit with the focus, or closes an open one
// with the commit of commitRenameEdit().
void toggleRenameEdit(ui::Control* sender);
// "killfocus" of "edit_new_video_name": a non-empty text becomes the output name, an
// empty one gives the old name back.
void commitRenameEdit(ui::Control* edit);

// Puts the list's rows into the order of `models` (after a move up or down).
void syncRowOrder(ui::List& list, const std::vector<RowModel*>& models, const RowFactory& factory);

// What "btn_play_video" and "btn_open_video_folder" start; swapped by tests.
struct DesktopActions {
    std::function<bool(const std::string&)> open;            // platform::openWithDesktop
    std::function<bool(const std::string&)> show_in_folder;  // platform::showInFolder
};
DesktopActions& desktopActions();
// Opens the result when it exists; false (nothing done) otherwise.
bool playResult(const convert::ConvertTask& task);
// Shows the result in its folder when it exists, else opens `output_folder`.
bool openResultFolder(const convert::ConvertTask* task, const std::string& output_folder);

}  // namespace mainframe::gui
