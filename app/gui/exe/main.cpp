// QuorinVideoConverter: the GUI program.

#include "app/gui/startup.h"
#include "mainframe/gui/main_frame.h"
#ifdef QUORIN_WITH_ONLINE
#include "online/gui/online_services.h"
#endif

int main(int argc, char** argv) {
#ifdef QUORIN_WITH_ONLINE
    online::gui::installOnlineServices();
#endif
    mainframe::installMainFrame();
    return app::runGuiProgram(argc, argv);
}
