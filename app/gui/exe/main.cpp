// QuorinVideoConverter: the GUI program.

#include "app/gui/startup.h"
#ifdef QUORIN_WITH_ONLINE
#include "online/gui/online_services.h"
#endif

int main(int argc, char** argv) {
#ifdef QUORIN_WITH_ONLINE
    online::gui::installOnlineServices();
#endif
    return app::runGuiProgram(argc, argv);
}
