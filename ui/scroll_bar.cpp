#include <QScrollBar>

#include "ui/controls.h"

namespace ui {

QUORIN_UI_CONTROL("ScrollBar", ScrollBar);

ScrollBar::ScrollBar() : bar_(new QScrollBar(Qt::Vertical, this)) {
    connect(bar_, &QScrollBar::valueChanged, this, [this] { notify("valuechanged"); });
}

int ScrollBar::value() const {
    return bar_->value();
}
void ScrollBar::setValue(int value) {
    bar_->setValue(value);
}
int ScrollBar::minimum() const {
    return bar_->minimum();
}
int ScrollBar::maximum() const {
    return bar_->maximum();
}
void ScrollBar::setRange(int minimum, int maximum) {
    bar_->setRange(minimum, maximum);
}

bool ScrollBar::setAttribute(std::string_view name, std::string_view value) {
    if (name == "hor") {
        bar_->setOrientation(parseBool(value) ? Qt::Horizontal : Qt::Vertical);
    } else if (name == "range") {
        QMargins m = parseMargins(value);
        setRange(m.left(), m.top());
    } else if (name == "value") {
        setValue(parseMargins(value).left());
    } else {
        return Control::setAttribute(name, value);
    }
    return true;
}

void ScrollBar::resizeEvent(QResizeEvent* event) {
    Control::resizeEvent(event);
    bar_->setGeometry(rect());
}

}  // namespace ui
