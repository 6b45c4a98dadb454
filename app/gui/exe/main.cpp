// QuorinVideoConverter: the GUI program.

#include "app/gui/startup.h"

int main(int argc, char** argv) {
    return app::runGuiProgram(argc, argv);
}
