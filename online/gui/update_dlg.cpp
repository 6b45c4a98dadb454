#include "online/gui/update_dlg.h"

#include <QApplication>
#include <QLayout>

#include "app/gui/message_dlg.h"
#include "app/language.h"
#include "app/version.h"
#include "online/endpoints.h"
#include "online/http.h"
#include "online/update.h"
#include "online/version_page.h"
#include "platform/window_messages.h"
#include "ui/controls.h"
#include "ui/skin.h"

namespace online::gui {
namespace {

constexpr std::uint32_t kNotesReady = 1040;  // private: the release notes arrived

}  // namespace

CUpdateDlg::CUpdateDlg(QWidget* owner, CUpdate& update)
    : app::MyBaseWindow(owner, "dlg_update"), update_(update) {}

CUpdateDlg::~CUpdateDlg() {
    cancel_.store(true);
    join(download_thread_);
    join(notes_thread_);
}

void CUpdateDlg::join(std::thread& thread) {
    if (thread.joinable())
        thread.join();
}

std::string CUpdateDlg::notes() const {
    std::lock_guard lock(notes_mutex_);
    return notes_;
}

void CUpdateDlg::showNotes(const std::string& text) {
    ui::Control* content = find("Content");
    ui::Control* list = find("ContentList");
    auto* row = content ? qobject_cast<ui::Control*>(content->parentWidget()) : nullptr;
    if (!row || !list)
        return;
    content->setText(text);
    // A list row asks for no height of its own: without one the notes would not show.
    // The room leaves out the scroll bar, which long notes bring.
    if (QLayout* layout = this->layout())
        layout->activate();
    const int room = list->width() - ui::skin().scaled(8);
    row->setFixedHeight(content->textHeightForWidth(room));
}

void CUpdateDlg::initWindow() {
    setControlText("Title", app::getText("ProductName"));
    const std::string version = app::programVersion().text;
    if (ui::Control* description = find("Description")) {
        const std::string args[] = {version};
        description->setText(app::fillTextFormat(description->text(), args));
    }
    if (ui::Control* label = find("newVersion")) {
        const std::string args[] = {update_.newVersion()};
        label->setText(app::fillTextFormat(label->text(), args));
    }
    setControlVisible("Cancel", false);
    setControlVisible("layDownload", false);
    const std::string host = endpoints().update;
    if (host.empty())
        return;
    // The notes come from the network: never on the window's thread.
    notes_thread_ =
        std::thread([this, target = messageTarget(), url = host + "/videoconvert/version.htm", version] {
            HttpOptions options;
            options.max_bytes = 1024 * 1024;
            options.abort = &cancel_;
            std::string text = releaseNotesText(fetchText(url, options), version);
            {
                std::lock_guard lock(notes_mutex_);
                notes_ = std::move(text);
            }
            target->post(kNotesReady, 0, 0);
        });
}

void CUpdateDlg::notify(ui::Notify& n) {
    // The close button cancels a download first.
    if (n.type == "click" && n.sender && n.sender->name() == "btnClose") {
        cancelAndClose();
        return;
    }
    app::MyBaseWindow::notify(n);
}

void CUpdateDlg::onClick(ui::Notify& n) {
    const std::string name = n.sender ? n.sender->name() : std::string();
    if (name == "Update") {
        startDownload();
    } else if (name == "LaterReminder") {
        close(0);
    } else if (name == "Cancel") {
        cancelAndClose();
    }
}

void CUpdateDlg::startDownload() {
    if (download_thread_.joinable())
        return;
    for (const char* name : {"layName", "layContent", "LaterReminder", "Update"})
        setControlVisible(name, false);
    setControlVisible("Cancel", true);
    setControlVisible("layDownload", true);
    const int height_units = height() * 96 / ui::skin().scaleDpi();
    resizeClient(-1, std::max(120, height_units - 200));
    download_thread_ = std::thread([this, target = messageTarget()] {
        const auto status = update_.downloadInstaller(
            [&](std::int64_t received, std::int64_t total) {
                if (total > 0)
                    target->post(
                        platform::WM_DOWNLOAD_PROGRESS,
                        static_cast<platform::WParam>(
                            static_cast<double>(received) * 100.0 / static_cast<double>(total) + 0.5),
                        0);
                return !cancel_.load();
            },
            &cancel_);
        if (status == DownloadStatus::Ok)
            target->post(platform::WM_DOWNLOAD_DONE, 0, 0);
        else if (!cancel_.load())
            target->post(platform::WM_DOWNLOAD_FAILED, 0, 0);
    });
}

void CUpdateDlg::cancelAndClose() {
    if (download_thread_.joinable()) {
        cancel_.store(true);
        QApplication::setOverrideCursor(Qt::WaitCursor);
        // The transfer checks the flag between blocks and in libcurl's progress
        // callback, so it ends at once.
        download_thread_.join();
        QApplication::restoreOverrideCursor();
    }
    close(0);
}

platform::LParam CUpdateDlg::onCustomMessage(std::uint32_t id, platform::WParam wparam,
                                             platform::LParam lparam) {
    switch (id) {
        case kNotesReady:
            showNotes(notes());
            return 0;
        case platform::WM_DOWNLOAD_PROGRESS:
            if (auto* progress = find<ui::Progress>("progress"))
                progress->setValue(static_cast<int>(std::min<platform::WParam>(wparam, 100)));
            return 0;
        case platform::WM_DOWNLOAD_DONE:
            finished_ = true;
            join(download_thread_);
            close(1);
            return 0;
        case platform::WM_DOWNLOAD_FAILED:
            join(download_thread_);
            app::showMessage(this, "DownloadFailure", app::kMessageInformation);
            close(0);
            return 0;
        default:
            return app::MyBaseWindow::onCustomMessage(id, wparam, lparam);
    }
}

}  // namespace online::gui
