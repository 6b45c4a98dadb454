#pragma once
// CUpdateDlg: the release notes of the newer versions, then the installer download
// with its progress. run() returns 1 when the installer arrived complete.

#include <atomic>
#include <mutex>
#include <string>
#include <thread>

#include "app/gui/my_base_window.h"

namespace online {
class CUpdate;
}

namespace online::gui {

class CUpdateDlg : public app::MyBaseWindow {
    Q_OBJECT
public:
    CUpdateDlg(QWidget* owner, CUpdate& update);
    ~CUpdateDlg() override;  // a running download is cancelled and waited for

    int run() { return doModal(0); }
    bool downloadFinished() const { return finished_; }
    // The notes text shown in "Content" (tests).
    std::string notes() const;
    // Shows `text` in "Content", its list row as tall as the wrapped text.
    void showNotes(const std::string& text);

protected:
    void initWindow() override;
    void onClick(ui::Notify& notify) override;
    void notify(ui::Notify& notify) override;
    platform::LParam onCustomMessage(std::uint32_t id, platform::WParam wparam,
                                     platform::LParam lparam) override;

private:
    void startDownload();
    void cancelAndClose();
    void join(std::thread& thread);

    CUpdate& update_;
    std::thread notes_thread_, download_thread_;
    std::atomic<bool> cancel_{false};
    bool finished_ = false;
    mutable std::mutex notes_mutex_;
    std::string notes_;  // guarded by notes_mutex_
};

}  // namespace online::gui
