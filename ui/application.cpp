#include "ui/application.h"

#include <QEvent>

namespace ui {

Application::Application(int& argc, char** argv) : QApplication(argc, argv) {}

bool Application::compressEvent(QEvent* event, QObject* receiver, QPostEventList* posted) {
    if (event->type() == QEvent::LayoutRequest)
        return false;
    return QApplication::compressEvent(event, receiver, posted);
}

}  // namespace ui
