#include <QMouseEvent>
#include <QPainter>
#include <QStyle>
#include <algorithm>

#include "ui/controls.h"
#include "ui/skin.h"

namespace ui {

QUORIN_UI_CONTROL("Progress", Progress);
QUORIN_UI_CONTROL("Slider", Slider);

void Progress::setValue(int value) {
    value = std::clamp(value, min_, std::max(min_, max_));
    if (value == value_)
        return;
    value_ = value;
    update();
}

void Progress::setRange(int minimum, int maximum) {
    min_ = minimum;
    max_ = std::max(minimum, maximum);
    value_ = std::clamp(value_, min_, max_);
    update();
}

bool Progress::setAttribute(std::string_view name, std::string_view value) {
    auto number = [&] { return parseMargins(value).left(); };
    if (name == "min") {
        setRange(number(), max_);
    } else if (name == "max") {
        setRange(min_, number());
    } else if (name == "value") {
        setValue(number());
    } else if (name == "forecolor") {
        fore_color_ = parseColor(value);
    } else if (name == "trackcolor") {
        track_color_ = parseColor(value);
    } else if (name == "foreimage") {
        fore_fill_ = parseImageString(std::string(value));
    } else if (name == "barheight") {
        bar_height_ = number();
    } else {
        return Control::setAttribute(name, value);
    }
    update();
    return true;
}

double Progress::fraction() const {
    return max_ > min_ ? double(value_ - min_) / double(max_ - min_) : 0.0;
}

QRect Progress::barRect() const {
    if (!bar_height_)
        return rect();
    int h = skin().scaled(bar_height_);
    return QRect(0, (height() - h) / 2, width(), h);
}

void Progress::paintContent(QPainter& painter) {
    QRect bar = barRect();
    const int done = static_cast<int>(bar.width() * fraction() + 0.5);
    if (track_color_.isValid()) {
        const qreal r = std::min(radius(), bar.height() / 2);
        painter.setPen(Qt::NoPen);
        painter.setBrush(track_color_);
        painter.drawRoundedRect(QRectF(bar), r, r);
    }
    if (done > 0) {
        // Right to left the bar fills from the right.
        QRect part =
            QStyle::visualRect(layoutDirection(), bar, QRect(bar.left(), bar.top(), done, bar.height()));
        if (!fore_fill_.empty()) {
            painter.save();
            painter.setClipRect(part);
            paintImage(painter, bar, fore_fill_);
            painter.restore();
        } else if (fore_color_.isValid()) {
            const qreal r = std::min(radius(), bar.height() / 2);
            painter.setPen(Qt::NoPen);
            painter.setBrush(fore_color_);
            painter.drawRoundedRect(QRectF(part), r, r);
        }
    }
    Control::paintContent(painter);
}

Slider::Slider() {
    setCursor(Qt::PointingHandCursor);
    setAttribute("barheight", "4");
}

bool Slider::setAttribute(std::string_view name, std::string_view value) {
    if (name == "thumbsize") {
        QMargins m = parseMargins(value);
        thumb_units_ = QSize(m.left(), m.top());
    } else if (name == "thumbcolor") {
        thumb_color_ = parseColor(value);
    } else if (name == "thumbimage") {
        thumb_image_ = parseImageString(std::string(value));
    } else if (name == "step") {
        step_ = std::max(1, parseMargins(value).left());
    } else {
        return Progress::setAttribute(name, value);
    }
    update();
    return true;
}

void Slider::paintContent(QPainter& painter) {
    Progress::paintContent(painter);
    const Skin& s = skin();
    QSize thumb(s.scaled(thumb_units_.width()), s.scaled(thumb_units_.height()));
    int x = static_cast<int>((width() - thumb.width()) * fraction());
    QRect r = QStyle::visualRect(layoutDirection(), rect(),
                                 QRect(x, (height() - thumb.height()) / 2, thumb.width(), thumb.height()));
    if (paintImage(painter, r, thumb_image_))
        return;
    painter.setPen(QPen(fore_color_, s.scaled(2)));
    painter.setBrush(thumb_color_);
    painter.drawEllipse(QRectF(r).adjusted(1, 1, -1, -1));
}

int Slider::valueAt(int x) const {
    const int span = std::max(1, width());
    if (layoutDirection() == Qt::RightToLeft)
        x = width() - x;
    int v = min_ + static_cast<int>(std::lround(double(x) / span * (max_ - min_)));
    v = min_ + (v - min_) / step_ * step_;
    return std::clamp(v, min_, max_);
}

void Slider::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton || !isEnabled())
        return event->ignore();
    dragging_ = true;
    setValue(valueAt(event->position().toPoint().x()));
    notify("movevaluechanged");
}

void Slider::mouseMoveEvent(QMouseEvent* event) {
    if (!dragging_)
        return;
    int v = valueAt(event->position().toPoint().x());
    if (v == value_)
        return;
    setValue(v);
    notify("movevaluechanged");
}

void Slider::mouseReleaseEvent(QMouseEvent* event) {
    if (!dragging_)
        return event->ignore();
    dragging_ = false;
    setValue(valueAt(event->position().toPoint().x()));
    notify("valuechanged");
}

}  // namespace ui
