#include "app/gui/my_base_window.h"

#include <QKeyEvent>

namespace app {

MyBaseWindow::MyBaseWindow(QWidget* owner, std::string layout_name)
    : ui::Window(owner), layout_name_(std::move(layout_name)) {
    setObjectName(QStringLiteral("QuorinVideoConvertDialogClass"));
}

bool MyBaseWindow::createFromSkin() {
    if (!created_)
        created_ = create(layout_name_ + ".xml");
    return created_;
}

int MyBaseWindow::doModal(int default_result) {
    if (!createFromSkin())
        return 0;
    return showModal(default_result);
}

void MyBaseWindow::notify(ui::Notify& n) {
    if (n.type == "windowinit") {
        initWindow();
    } else if (n.type == "click") {
        onClick(n);
    }
}

void MyBaseWindow::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape) {
        QWidget::close();
        return;
    }
    ui::Window::keyPressEvent(event);
}

void MyBaseWindow::setControlText(const char* name, const std::string& text) {
    if (ui::Control* c = find(name))
        c->setText(text);
}

void MyBaseWindow::setControlVisible(const char* name, bool visible) {
    if (ui::Control* c = find(name))
        c->setShown(visible);
}

}  // namespace app
