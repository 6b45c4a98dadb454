#include "mainframe/gui/conver_ctrl.h"

#include <QLineEdit>
#include <filesystem>

#include "platform/process.h"
#include "ui/controls.h"
#include "ui/skin.h"

namespace mainframe::gui {

namespace {

std::shared_ptr<const ui::LayoutTemplate> parseEntry(const char* name) {
    auto bytes = ui::skin().read(name);
    return bytes ? ui::LayoutTemplate::parse(*bytes) : nullptr;
}

// The row content around `control`, or inside it when `control` is the row itself.
CConverCtrlUI* ctrlAround(const ui::Control* control) {
    for (QWidget* w = const_cast<ui::Control*>(control); w; w = w->parentWidget()) {
        if (auto* ctrl = qobject_cast<CConverCtrlUI*>(w))
            return ctrl;
    }
    return control ? control->findChild<CConverCtrlUI*>(QString(), Qt::FindDirectChildrenOnly) : nullptr;
}

// A "ConverCtrl" in a layout that no RowFactory builds reads its content itself.
ui::Control* standaloneCtrl() {
    auto* ctrl = new CConverCtrlUI;
    if (auto content = parseEntry("ConverCtrl.xml"))
        ctrl->build(*content, nullptr);
    return ctrl;
}

}  // namespace

[[maybe_unused]] static const bool kRegistered = ui::registerControl("ConverCtrl", standaloneCtrl);

CConverCtrlUI::CConverCtrlUI() : ui::Container(Arrange::Stack) {}

bool CConverCtrlUI::build(const ui::LayoutTemplate& content, ui::Window* window) {
    auto create = [window](std::string_view tag) {
        return window ? window->createControl(tag) : ui::createRegisteredControl(tag);
    };
    ui::Control* root = content.instantiate(create, this);
    if (!root)
        return false;
    add(root);
    parts_.clear();
    if (!root->name().empty())
        parts_.emplace(root->name(), root);
    for (ui::Control* c : root->findChildren<ui::Control*>()) {
        const std::string name = c->name();
        if (!name.empty())
            parts_.emplace(name, c);  // the first of a name wins, as find() does
    }
    return true;
}

void CConverCtrlUI::defer(std::shared_ptr<const ui::LayoutTemplate> content, ui::Window* window) {
    deferred_ = std::move(content);
    window_ = window;
}

void CConverCtrlUI::ensureBuilt() {
    if (!deferred_)
        return;
    const auto content = std::move(deferred_);  // leaves deferred_ empty
    build(*content, window_);
    refresh();
}

ui::Control* CConverCtrlUI::part(const std::string& name) const {
    auto it = parts_.find(name);
    return it == parts_.end() ? nullptr : it->second;
}

void CConverCtrlUI::refresh() {
    if (!model_ || deferred_)
        return;
    for (const auto& [name, want] : model_->parts()) {
        ui::Control* c = part(name);
        if (!c)
            continue;
        auto [it, first] = shown_.try_emplace(name, want);
        RowPart& had = it->second;
        if (first || had.visible != want.visible)
            c->setShown(want.visible);
        if (first || had.enabled != want.enabled) {
            c->setEnabled(want.enabled);
            if (auto* edit = qobject_cast<ui::Edit*>(c))
                edit->setAttribute("bordersize", want.enabled ? "1" : "0");
        }
        // An edit the user is typing in keeps its text until it loses the focus; an
        // edit is compared with what it shows, since the user may have changed it.
        const bool is_edit = qobject_cast<ui::Edit*>(c) != nullptr;
        const bool typing = want.enabled && is_edit && c->hasFocus();
        if (!typing && (is_edit ? c->text() != want.text : first || had.text != want.text)) {
            c->setText(want.text);
            // A closed edit shows the start of a long name, not its end.
            if (auto* edit = qobject_cast<ui::Edit*>(c); edit && !want.enabled)
                edit->lineEdit()->setCursorPosition(0);
        }
        if ((first && !want.bkimage.empty()) || (!first && had.bkimage != want.bkimage))
            c->setAttribute("bkimage", want.bkimage);
        had = want;
    }
}

RowFactory::RowFactory(ui::Window* window) : window_(window) {}

bool RowFactory::load() {
    if (row_ && content_)
        return true;
    ++parse_count_;
    row_ = parseEntry("video_info.xml");
    content_ = parseEntry("ConverCtrl.xml");
    return row_ && content_;
}

ui::Control* RowFactory::makeRow(RowModel& model) {
    if (!load())
        return nullptr;
    CConverCtrlUI* ctrl = nullptr;
    ui::Window* window = window_;
    auto create = [&](std::string_view tag) -> ui::Control* {
        if (QString::fromUtf8(tag.data(), static_cast<qsizetype>(tag.size()))
                .compare(QLatin1String("ConverCtrl"), Qt::CaseInsensitive) == 0) {
            auto* made = new CConverCtrlUI;
            made->defer(content_, window);
            if (!ctrl)
                ctrl = made;
            return made;
        }
        return window ? window->createControl(tag) : ui::createRegisteredControl(tag);
    };
    ui::Control* row = row_->instantiate(create, nullptr);
    if (!row)
        return nullptr;
    if (!ctrl) {
        delete row;  // a row layout without its content shows nothing of the task
        return nullptr;
    }
    ctrl->bind(&model);
    row->setUserTag(reinterpret_cast<std::uintptr_t>(model.task()));
    rows_[&model] = row;
    return row;
}

ui::Control* RowFactory::rowOf(const RowModel* model) const {
    auto it = rows_.find(model);
    if (it == rows_.end())
        return nullptr;
    if (!it->second) {
        rows_.erase(it);
        return nullptr;
    }
    return it->second;
}

bool RowFactory::refresh(const RowModel* model) const {
    ui::Control* row = rowOf(model);
    CConverCtrlUI* ctrl = row ? row->findChild<CConverCtrlUI*>() : nullptr;
    if (!ctrl)
        return false;
    ctrl->refresh();
    return true;
}

void realizeRow(ui::Control* row) {
    if (auto* ctrl = row ? row->findChild<CConverCtrlUI*>() : nullptr)
        ctrl->ensureBuilt();
}

ui::Control* rowOfControl(const ui::Control* control) {
    CConverCtrlUI* ctrl = ctrlAround(control);
    if (!ctrl)
        return nullptr;
    auto* row = qobject_cast<ui::Control*>(ctrl->parentWidget());
    return row ? row : ctrl;
}

RowModel* modelOfControl(const ui::Control* control) {
    CConverCtrlUI* ctrl = ctrlAround(control);
    return ctrl ? ctrl->model() : nullptr;
}

convert::ConvertTask* taskOfControl(const ui::Control* control) {
    RowModel* model = modelOfControl(control);
    return model ? model->task() : nullptr;
}

void toggleRenameEdit(ui::Control* sender) {
    CConverCtrlUI* ctrl = ctrlAround(sender);
    ui::Control* edit = ctrl ? ctrl->part("edit_new_video_name") : nullptr;
    if (!edit || !ctrl->model())
        return;
    // Closing an open edit with its button keeps what was typed, as leaving it does.
    if (ctrl->model()->enabled("edit_new_video_name"))
        return commitRenameEdit(edit);
    toggleRename(*ctrl->model());
    ctrl->refresh();
    edit->setFocus(Qt::OtherFocusReason);
    if (auto* line = qobject_cast<ui::Edit*>(edit))
        line->lineEdit()->selectAll();  // typing replaces the name, arrows keep it
}

void commitRenameEdit(ui::Control* edit) {
    CConverCtrlUI* ctrl = ctrlAround(edit);
    if (!ctrl || !ctrl->model() || !edit)
        return;
    ctrl->model()->setText("edit_new_video_name", edit->text());
    commitRename(*ctrl->model());
    ctrl->refresh();
}

void syncRowOrder(ui::List& list, const std::vector<RowModel*>& models, const RowFactory& factory) {
    int index = 0;
    for (RowModel* model : models) {
        ui::Control* row = factory.rowOf(model);
        if (!row || list.indexOf(row) < 0)
            continue;
        if (list.indexOf(row) != index)
            list.setItemIndex(row, index);
        ++index;
    }
}

DesktopActions& desktopActions() {
    static DesktopActions actions{
        [](const std::string& target) { return platform::openWithDesktop(target); },
        [](const std::string& file) { return platform::showInFolder(file); },
    };
    return actions;
}

static bool resultExists(const convert::ConvertTask* task) {
    std::error_code ec;
    return task && !task->output_path.empty() && std::filesystem::exists(task->output_path, ec);
}

bool playResult(const convert::ConvertTask& task) {
    return resultExists(&task) && desktopActions().open(task.output_path);
}

bool openResultFolder(const convert::ConvertTask* task, const std::string& output_folder) {
    if (resultExists(task))
        return desktopActions().show_in_folder(task->output_path);
    return !output_folder.empty() && desktopActions().open(output_folder);
}

}  // namespace mainframe::gui
