#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>

#include "ui/controls.h"
#include "ui/skin.h"
#include "ui/window.h"

namespace ui {

QUORIN_UI_CONTROL("Button", Button);
QUORIN_UI_CONTROL("Option", Option);
QUORIN_UI_CONTROL("CheckBox", CheckBox);

Button::Button() {
    setCursor(Qt::PointingHandCursor);
    setAttribute("align", "center");
}

bool Button::setAttribute(std::string_view name, std::string_view value) {
    static constexpr std::pair<std::string_view, ImageSpec Button::*> kImages[] = {
        {"normalimage", &Button::normal_},
        {"hotimage", &Button::hot_image_},
        {"pushedimage", &Button::pushed_image_},
        {"disabledimage", &Button::disabled_image_},
    };
    static constexpr std::pair<std::string_view, QColor Button::*> kColors[] = {
        {"hotbkcolor", &Button::hot_bk_},           {"pushedbkcolor", &Button::pushed_bk_},
        {"disabledbkcolor", &Button::disabled_bk_}, {"hottextcolor", &Button::hot_text_},
        {"pushedtextcolor", &Button::pushed_text_},
    };
    const auto image = [](std::string_view v) { return parseImageString(std::string(v)); };
    if (!setMemberAttribute(*this, kImages, name, value, image) &&
        !setMemberAttribute(*this, kColors, name, value, parseColor))
        return Control::setAttribute(name, value);
    update();
    return true;
}

void Button::activate() {
    notify("click");
}

void Button::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton)
        return event->ignore();
    pushed_ = true;
    update();
}

void Button::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton)
        return event->ignore();
    const bool was_pushed = pushed_;
    pushed_ = false;
    update();
    // The notification may close or delete the window; nothing of `this` is used after it.
    if (was_pushed && rect().contains(event->position().toPoint()) && isEnabled())
        activate();
}

void Button::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Space || event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        activate();
        return;
    }
    Control::keyPressEvent(event);
}

const ImageSpec& Button::currentImage() const {
    const ImageSpec* look = stateLook<ImageSpec>({{!isEnabled(), &disabled_image_},
                                                  {pushed_, &pushed_image_},
                                                  {hot(), &hot_image_},
                                                  {true, &normal_}});
    return look ? *look : Control::currentImage();
}

QColor Button::currentBackground() const {
    const QColor* look = stateLook<QColor>(
        {{!isEnabled(), &disabled_bk_}, {pushed_, &pushed_bk_}, {hot() || pushed_, &hot_bk_}});
    return look ? *look : Control::currentBackground();
}

QColor Button::currentTextColor() const {
    const QColor* look =
        stateLook<QColor>({{isEnabled() && pushed_, &pushed_text_}, {isEnabled() && hot(), &hot_text_}});
    return look ? *look : Control::currentTextColor();
}

Option::Option() = default;

void Option::setChecked(bool selected) {
    if (selected == selected_)
        return;
    selected_ = selected;
    update();
    if (selected && !group_.empty()) {
        if (Window* window = ownerWindow()) {
            for (Option* other : window->findChildren<Option*>()) {
                if (other != this && other->group_ == group_ && other->selected_)
                    other->setChecked(false);
            }
        }
    }
    notify("selectchanged");
}

void Option::activate() {
    // A grouped option stays selected when clicked again, as radio buttons do.
    QPointer<Option> self(this);
    setChecked(group_.empty() ? !selected_ : true);
    if (self)
        notify("click");
}

bool Option::setAttribute(std::string_view name, std::string_view value) {
    const std::string v(value);
    if (name == "selected") {
        // Layout state, not a user action: no notification yet.
        selected_ = parseBool(value);
    } else if (name == "group") {
        group_ = v;
    } else if (name == "selectedimage") {
        selected_image_ = parseImageString(v);
    } else if (name == "selectedhotimage") {
        selected_hot_image_ = parseImageString(v);
    } else if (name == "selectedbkcolor") {
        selected_bk_ = parseColor(value);
    } else if (name == "selectedtextcolor") {
        selected_text_ = parseColor(value);
    } else if (name == "indicatorcolor") {
        indicator_color_ = parseColor(value);
    } else if (name == "indicator") {
        indicator_ = value == "check"   ? Indicator::Check
                     : value == "radio" ? Indicator::Radio
                                        : Indicator::None;
        if (indicator_ != Indicator::None) {
            Control::setAttribute("align", "left");
        }
    } else {
        return Button::setAttribute(name, value);
    }
    update();
    return true;
}

const ImageSpec& Option::currentImage() const {
    const ImageSpec* look =
        stateLook<ImageSpec>({{selected_ && hot(), &selected_hot_image_}, {selected_, &selected_image_}});
    return look ? *look : Button::currentImage();
}

QColor Option::currentBackground() const {
    if (selected_ && selected_bk_.isValid())
        return selected_bk_;
    return Button::currentBackground();
}

QColor Option::currentTextColor() const {
    if (selected_ && selected_text_.isValid() && isEnabled())
        return selected_text_;
    return Button::currentTextColor();
}

void Option::paintContent(QPainter& painter) {
    if (indicator_ == Indicator::None)
        return Button::paintContent(painter);
    const Skin& s = skin();
    const int box = s.scaled(16);
    QRect area = textRect();
    // The mark stands before the text: on the left, or on the right right to left.
    const bool rtl = layoutDirection() == Qt::RightToLeft;
    const qreal mark_x = rtl ? area.right() + 1 - box + 0.5 : area.left() + 0.5;
    QRectF mark(mark_x, area.top() + (area.height() - box) / 2.0 + 0.5, box - 1, box - 1);
    QColor accent = isEnabled() ? indicator_color_ : QColor(0xC8, 0xCC, 0xD2);
    painter.setPen(QPen(selected_ ? accent : (hot() ? accent : QColor(0xB8, 0xBE, 0xC8)), s.scaled(1) + 0.5));
    painter.setBrush(selected_ && indicator_ == Indicator::Check ? accent : QColor(Qt::white));
    if (indicator_ == Indicator::Check) {
        painter.drawRoundedRect(mark, s.scaled(4), s.scaled(4));
        if (selected_) {
            QPainterPath tick;
            tick.moveTo(mark.left() + mark.width() * 0.24, mark.top() + mark.height() * 0.52);
            tick.lineTo(mark.left() + mark.width() * 0.43, mark.top() + mark.height() * 0.70);
            tick.lineTo(mark.left() + mark.width() * 0.77, mark.top() + mark.height() * 0.32);
            painter.setPen(QPen(Qt::white, s.scaled(2), Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
            painter.setBrush(Qt::NoBrush);
            painter.drawPath(tick);
        }
    } else {
        painter.drawEllipse(mark);
        if (selected_) {
            painter.setPen(Qt::NoPen);
            painter.setBrush(accent);
            painter.drawEllipse(mark.center(), box * 0.25, box * 0.25);
        }
    }
    paintText(painter, text_, textArea(), currentTextColor());
}

QRect Option::textArea() const {
    const QRect area = textRect();
    if (indicator_ == Indicator::None)
        return area;
    const int before_text = skin().scaled(16) + skin().scaled(8);
    return layoutDirection() == Qt::RightToLeft ? area.adjusted(0, 0, -before_text, 0)
                                                : area.adjusted(before_text, 0, 0, 0);
}

CheckBox::CheckBox() {
    setAttribute("indicator", "check");
}

}  // namespace ui
