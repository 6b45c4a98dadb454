#pragma once
// What the main window and start-up use of the online services.

#include <QPoint>
#include <string>

namespace ui {
class Window;
}

namespace online::gui {

// Hands the start-up hooks to app::setOnlineHooks: endpoints and report values,
// the start and uninstall reports, the daily update and toolbox checks once the
// main window shows, and at exit the conversion summary (when cd.dat's
// "FormatAnalysis" allows it, at most 2 s) and the end of every worker.
void installOnlineServices();

// "menuUpdate" is offered only when an update host (or oem.ini's version page) is set.
bool updateMenuVisible();
// "menuUpdate": the manual check; its answers come as message dialogs on `main`.
void checkForUpdates(ui::Window& main);
// Message 1033 (WM_UPDATE_FOUND): the update dialog; after a finished download the
// installer starts and the main window closes, or "ErrWhenRunUpdateInstallFile".
void onUpdateFound(ui::Window& main);

// Whether "LayoutToolbox" shows (cd.dat switch and a package present); message 1030
// (WM_TOOLBOX_READY) means it may have changed.
bool toolboxAvailable();
// "btnToolbox": the popup at `screen_pos` (the button's lower-left corner).
void openToolbox(ui::Window& main, QPoint screen_pos);
// Whether the popup shows now; hides it (the button toggles it).
bool toolboxShown();
void hideToolbox();
// Main window destruction.
void closeToolbox();

// A conversion ended (the usage summary sent at exit).
void recordConversion(bool success, const std::string& source_ext, const std::string& target_ext);

}  // namespace online::gui
