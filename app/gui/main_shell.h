#pragma once
// The main window shell from "skin.xml": its title, caption buttons and the six
// mode options (the lists and rows come with the converter window).

#include <QCoreApplication>

#include "app/gui/startup.h"
#include "ui/window.h"

namespace app {

class CMainShell : public ui::Window {
    Q_OBJECT
public:
    explicit CMainShell(const MainWindowContext& context);
    bool createFromSkin();
    // The mode whose option is selected: 0 video ... 5 compress.
    int currentMode() const { return mode_; }
    void selectMode(int mode);

protected:
    void notify(ui::Notify& notify) override;

private:
    void setControlShown(const char* name, bool shown);
    MainWindowContext context_;
    int mode_ = 0;
};

}  // namespace app
