// QuorinVideoConverter: the GUI program.

#include "app/gui/startup.h"
#include "mainframe/gui/main_frame.h"
#ifdef QUORIN_WITH_ONLINE
#include "online/gui/online_services.h"
#include "platform/window_messages.h"
#endif

int main(int argc, char** argv) {
#ifdef QUORIN_WITH_ONLINE
    online::gui::installOnlineServices();
    mainframe::setOnlineServices({
        .update_menu_visible = online::gui::updateMenuVisible,
        .check_for_updates = online::gui::checkForUpdates,
        .update_found_message = platform::WM_UPDATE_FOUND,
        .update_found = online::gui::onUpdateFound,
        .toolbox_ready_message = platform::WM_TOOLBOX_READY,
        .toolbox_available = online::gui::toolboxAvailable,
        .toolbox_shown = online::gui::toolboxShown,
        .open_toolbox = online::gui::openToolbox,
        .hide_toolbox = online::gui::hideToolbox,
        .close_toolbox = online::gui::closeToolbox,
        .record = online::gui::recordConversion,
    });
#endif
    mainframe::installMainFrame();
    return app::runGuiProgram(argc, argv);
}
