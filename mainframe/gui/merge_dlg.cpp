#include "mainframe/gui/merge_dlg.h"

#include "app/gui/message_dlg.h"
#include "app/language.h"
#include "mainframe/gui/conver_ctrl.h"
#include "platform/window_messages.h"

#include <filesystem>
#include <span>

namespace mainframe::gui {

convert::MergeOptions mergeOptions() {
    convert::MergeOptions options;
    if (std::string name = app::getText("MergeFileName"); !name.empty())
        options.merge_file_name = name;
    return options;
}

CMergeDlg::CMergeDlg(QWidget* owner, const convert::MergeRequest& request, convert::MergeOptions options)
    : app::MyBaseWindow(owner, "dlg_merge"), request_(request), options_(std::move(options)) {}

CMergeDlg::CMergeDlg(QWidget* owner, const convert::MergeRequest& request)
    : CMergeDlg(owner, request, mergeOptions()) {}

CMergeDlg::~CMergeDlg() {
    // The engine posts to this window: it must be stopped before the window goes.
    if (!join_)
        return;
    join_->Stop();
    if (merge_result_ != 1) {
        std::error_code ec;
        std::filesystem::remove(join_->mergedPath(), ec);
    }
}

int CMergeDlg::run() {
    return doModal(0) == 1 ? 1 : 0;
}

void CMergeDlg::initWindow() {
    const std::string count = std::to_string(request_.inputs.size());
    setControlText("labelMergeHint",
                   app::fillTextFormat(app::getText("MergeHint"), std::span<const std::string>(&count, 1)));
    setPercent(0);
    join_ = std::make_unique<convert::MergeJoin>(request_, this, options_);
    setControlText("labelMergeFile", join_->mergedPath().filename().string());
    join_->Start();
}

void CMergeDlg::setPercent(int percent) {
    if (ui::Control* bar = find("progressMerge"))
        bar->setValue(percent);
    setControlText("labelMergePercent", std::to_string(percent) + "%");
}

void CMergeDlg::onClick(ui::Notify& n) {
    const std::string name = n.sender ? n.sender->name() : std::string();
    if (name == "btnStop") {
        if (join_)
            join_->Stop();
        merge_result_ = 0;
        close(0);
    } else if (name == "btnClose") {
        merge_result_ = 0;
        close(0);  // the destructor stops the join
    }
}

platform::LParam CMergeDlg::onCustomMessage(std::uint32_t id, platform::WParam wparam,
                                            platform::LParam lparam) {
    const platform::MergeDialogMessage message(platform::Message{id, wparam, lparam});
    switch (message.id()) {
        case platform::MergeDialogId::WM_MERGE_JOIN_PROGRESS:
            setPercent(platform::progressPercent(message));
            break;
        case platform::MergeDialogId::WM_MERGE_JOIN_DONE:
            merge_result_ = 1;
            setPercent(100);
            close(1);
            break;
        case platform::MergeDialogId::WM_MERGE_JOIN_FAILED:
            merge_result_ = 0;
            join_failed_ = true;
            close(0);
            break;
        default:
            break;
    }
    return 0;
}

int runMergeDialog(QWidget* owner, const convert::MergeRequest& request) {
    CMergeDlg dlg(owner, request);
    return dlg.run();
}

bool askOpenOutputFolder(QWidget* owner) {
    return app::messageBox(owner, app::getText("TransformSuccess", "Message"),
                           app::getText("Title", "Message"),
                           app::kMessageYesNo | app::kMessageInformation) == app::kResultYes;
}

bool openOutputFolder(const std::string& folder) {
    return desktopActions().open(folder);
}

}  // namespace mainframe::gui
