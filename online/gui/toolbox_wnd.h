#pragma once
// CToolbox: the toolbox popup, built from the layouts of the downloaded package. Each
// row offers its web page ("learn"), the installed tool ("open") or its installer
// ("get", then "installing" while it runs).

#include <QPoint>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <thread>

#include "online/toolbox.h"
#include "ui/controls.h"
#include "ui/window.h"

namespace online::gui {

class CToolbox : public ui::Window {
    Q_OBJECT
public:
    explicit CToolbox(QWidget* owner);
    // Ends every installer wait and waits for the install threads.
    ~CToolbox() override;

    // Reads the package (first time), builds the popup and shows it at `screen_pos`
    // inside its screen. False when the package cannot be read or built.
    bool open(QPoint screen_pos);
    // Hides the popup and gives the skin back to the main window.
    void hidePopup();
    // The caption of row `index` (tests).
    std::string rowCaption(int index) const;
    int rowCount() const;
    // How the toolbox opens pages and programs (the desktop by default; tests swap it).
    void setOpener(std::function<bool(const std::string&)> opener) { opener_ = std::move(opener); }

protected:
    void notify(ui::Notify& notify) override;
    platform::LParam onCustomMessage(std::uint32_t id, platform::WParam wparam,
                                     platform::LParam lparam) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    bool build();
    void refreshCaptions();
    void setRowState(int row, const std::string& caption, bool enabled, bool progress_shown);
    void clickRow(int row);
    ui::Control* rowAt(int row) const;
    void placeAt(QPoint screen_pos);
    void useOverlay();

    std::string open_, get_, learn_, installing_;
    std::shared_ptr<ZipInMemory> package_;
    ui::List* list_ = nullptr;
    QPoint pos_;
    bool built_ = false;
    std::shared_ptr<QuitEvent> quit_ = std::make_shared<QuitEvent>();
    std::set<int> installing_rows_;
    std::map<int, std::thread> install_threads_;
    std::function<bool(const std::string&)> opener_;
};

}  // namespace online::gui
