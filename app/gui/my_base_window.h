#pragma once
// MyBaseWindow: the common base of the program's skinned dialogs. It loads the
// dialog's layout (its name + ".xml") from the skin, draws the shadow when the
// skin's shadow setting is on (the program Config.ini "EnableShadow"), closes at
// once on a close request, runs modally centred on its owner and hands
// "windowinit" and "click" to the dialog's hooks.

#include <string>

#include "ui/window.h"

namespace app {

class MyBaseWindow : public ui::Window {
    Q_OBJECT
public:
    // `layout_name` without ".xml" ("dlg_message").
    MyBaseWindow(QWidget* owner, std::string layout_name);

    // Builds the window from the skin; false when the layout is missing.
    bool createFromSkin();
    // Builds (once), centres on the owner and runs modally. Returns the dialog's
    // result, `default_result` when it was closed otherwise, and 0 when the layout
    // could not be loaded (neither yes nor no).
    int doModal(int default_result);

    const std::string& layoutName() const { return layout_name_; }

protected:
    void notify(ui::Notify& notify) override;
    // Escape closes a dialog as its close button would (the default result).
    void keyPressEvent(QKeyEvent* event) override;
    virtual void initWindow() {}
    virtual void onClick(ui::Notify& notify) {}
    // Sets a control's text when the layout has it; a missing control is skipped.
    void setControlText(const char* name, const std::string& text);
    void setControlVisible(const char* name, bool visible);

private:
    std::string layout_name_;
    bool created_ = false;
};

}  // namespace app
