#include "ui/range_slider.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPointer>
#include <algorithm>

#include "ui/skin.h"

namespace ui {

QUORIN_UI_CONTROL("RangeSlider", CRangeSliderUI);

CRangeSliderUI::CRangeSliderUI() {
    setMouseTracking(true);  // the cursor changes over the thumbs
    setFocusPolicy(Qt::StrongFocus);
}

void CRangeSliderUI::setRange(int minimum, int maximum) {
    min_ = minimum;
    max_ = std::max(minimum, maximum);
    for (int& v : values_)
        v = std::clamp(v, min_, max_);
    update();
}

void CRangeSliderUI::setValue(int value, int thumb) {
    values_[index(thumb)] = std::clamp(value, min_, max_);
    update();
}

void CRangeSliderUI::setThumbImage(int thumb, const std::string& image) {
    images_[index(thumb)].normal = image;
    update();
}

void CRangeSliderUI::setThumbHotImage(int thumb, const std::string& image) {
    images_[index(thumb)].hot = image;
    update();
}

void CRangeSliderUI::setThumbPushedImage(int thumb, const std::string& image) {
    images_[index(thumb)].pushed = image;
    update();
}

void CRangeSliderUI::setThumbSize(const QSize& units) {
    const Skin& s = skin();
    const QSize px(s.scaled(units.width()), s.scaled(units.height()));
    thumb_size_[kFirst] = thumb_size_[kSecond] = px;
    update();
}

bool CRangeSliderUI::setAttribute(std::string_view name, std::string_view value) {
    const std::string v(value);
    auto number = [&] { return parseMargins(value).left(); };
    // The first thumb's images; the same names ending in "2" are the second's.
    using SetImage = void (CRangeSliderUI::*)(int, const std::string&);
    static constexpr std::pair<std::string_view, SetImage> kThumbImages[] = {
        {"thumbimage", &CRangeSliderUI::setThumbImage},
        {"thumbhotimage", &CRangeSliderUI::setThumbHotImage},
        {"thumbpushedimage", &CRangeSliderUI::setThumbPushedImage},
    };
    for (const auto& [image, set] : kThumbImages) {
        if (name.starts_with(image) && (name.size() == image.size() || name.substr(image.size()) == "2")) {
            (this->*set)(name.size() == image.size() ? kFirst : kSecond, v);
            return true;
        }
    }
    if (name == "step") {
        step_ = number();
    } else if (name == "thumbcenter") {
        thumb_center_ = value == "true";
    } else if (name == "value1") {
        setValue(number(), kFirst);
    } else if (name == "value2") {
        setValue(number(), kSecond);
    } else if (name == "min") {
        setRange(number(), max_);
    } else if (name == "max") {
        setRange(min_, number());
    } else if (name == "fgimage") {
        if (fore_image_ != v) {
            fore_image_ = v;
            update();
        }
    } else if (name == "fgrealsize") {
        fore_real_size_ = value == "true";
    } else if (name == "thumbsize") {
        const QMargins m = parseMargins(value);
        setThumbSize(QSize(m.left(), m.top()));
    } else if (name == "trackcolor") {
        track_color_ = parseColor(value);
        update();
    } else if (name == "forecolor") {
        fore_color_ = parseColor(value);
        update();
    } else if (name == "thumbcolor") {
        thumb_color_ = parseColor(value);
        update();
    } else {
        return Label::setAttribute(name, value);
    }
    return true;
}

int CRangeSliderUI::gap() const {
    return max_ > 0 ? width() / max_ : 0;
}

QRect CRangeSliderUI::thumbRect(int thumb) const {
    const int span = std::max(1, max_ - min_);
    const QSize size = thumb_size_[index(thumb)];
    const int top = (height() - size.height()) / 2;
    if (index(thumb) == kFirst) {
        const int x1 = width() * (values_[kFirst] - min_) / span;
        return QRect(x1, top, size.width(), size.height());
    }
    const int x2 = (values_[kSecond] - min_) * width() / span;
    return QRect(x2 - size.width(), top, size.width(), size.height());
}

int CRangeSliderUI::valueAt(int x, int thumb) const {
    const int w = thumb_size_[index(thumb)].width();
    const int right = width();
    if (x >= right - w)
        return max_;
    if (x <= w)
        return min_;
    return min_ + (max_ - min_) * x / std::max(1, right);
}

void CRangeSliderUI::publish(Event::Type type, const QPoint& point, int thumb) {
    const Event event{type, point, thumb};
    for (const Subscriber& s : subscribers_)
        s(*this, event);
}

void CRangeSliderUI::press(const QPoint& point) {
    if (!isEnabled())
        return;
    for (int t : {kFirst, kSecond}) {
        if (thumbRect(t).contains(point)) {
            state_[t] |= kCaptured;
            last_thumb_ = t;
        }
    }
    last_point_ = point;
    update();
    publish(Event::Type::ButtonDown, point);
}

void CRangeSliderUI::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton)
        return event->ignore();
    press(event->position().toPoint());
}

void CRangeSliderUI::mouseDoubleClickEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton)
        return event->ignore();
    press(event->position().toPoint());
}

void CRangeSliderUI::mouseMoveEvent(QMouseEvent* event) {
    const QPoint p = event->position().toPoint();
    const bool first = state_[kFirst] & kCaptured;
    const bool second = state_[kSecond] & kCaptured;
    if (first && second && p.x() != last_point_.x()) {
        // Thumbs on top of each other: the drag's direction tells which one is meant,
        // else they could never be pulled apart to the right.
        state_[p.x() > last_point_.x() ? kFirst : kSecond] &= ~kCaptured;
    }
    last_point_ = p;
    if (state_[kFirst] & kCaptured) {
        const int v = valueAt(p.x(), kFirst);
        if (allowed(v, values_[kSecond]))
            values_[kFirst] = v;
        update();
    } else if (state_[kSecond] & kCaptured) {
        const int v = valueAt(p.x(), kSecond);
        if (allowed(values_[kFirst], v))
            values_[kSecond] = v;
        update();
    } else if (isEnabled()) {
        const bool over = thumbRect(kFirst).contains(p) || thumbRect(kSecond).contains(p);
        setCursor(over ? Qt::PointingHandCursor : Qt::ArrowCursor);
    }
    publish(Event::Type::MouseMove, p);
}

void CRangeSliderUI::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton)
        return event->ignore();
    const bool captured = (state_[kFirst] | state_[kSecond]) & kCaptured;
    // Both are released: a second thumb still captured would follow the next hover.
    state_[kFirst] &= ~kCaptured;
    state_[kSecond] &= ~kCaptured;
    update();
    publish(Event::Type::ButtonUp, event->position().toPoint());
    if (captured)
        notify("valuechanged");
}

void CRangeSliderUI::keyPressEvent(QKeyEvent* event) {
    if (!isEnabled())
        return event->ignore();
    const int page = std::max(1, (max_ - min_) / 10);
    const int unit = std::max(1, step_);
    int delta = 0;
    switch (event->key()) {
        case Qt::Key_Left:
        case Qt::Key_Down:
            delta = -unit;
            break;
        case Qt::Key_Right:
        case Qt::Key_Up:
            delta = unit;
            break;
        case Qt::Key_PageDown:
            delta = -page;
            break;
        case Qt::Key_PageUp:
            delta = page;
            break;
        case Qt::Key_Home:
            last_thumb_ = kFirst;
            update();
            return;
        case Qt::Key_End:
            last_thumb_ = kSecond;
            update();
            return;
        default:
            return Label::keyPressEvent(event);
    }
    const int t = last_thumb_;
    int v = std::clamp(values_[t] + delta, min_, max_);
    // As far as the other thumb allows.
    if (t == kFirst)
        v = std::min(v, values_[kSecond] - gap());
    else
        v = std::max(v, values_[kFirst] + gap());
    v = std::clamp(v, min_, max_);
    if (v == values_[t])
        return;
    values_[t] = v;
    update();
    publish(Event::Type::Key, QPoint(), t);
    notify("valuechanged");
}

void CRangeSliderUI::enterEvent(QEnterEvent*) {
    if (!isEnabled())
        return;
    state_[kFirst] |= kHot;
    state_[kSecond] |= kHot;
    update();
}

void CRangeSliderUI::leaveEvent(QEvent*) {
    if (!isEnabled())
        return;
    state_[kFirst] &= ~kHot;
    state_[kSecond] &= ~kHot;
    update();
}

void CRangeSliderUI::wheelEvent(QWheelEvent* event) {
    event->accept();
}

void CRangeSliderUI::changeEvent(QEvent* event) {
    if (event->type() == QEvent::EnabledChange && !isEnabled()) {
        state_[kFirst] = state_[kSecond] = 0;
        setCursor(Qt::ArrowCursor);
        update();
    }
    Label::changeEvent(event);
}

void CRangeSliderUI::paintContent(QPainter& painter) {
    const Skin& s = skin();
    painter.setRenderHint(QPainter::Antialiasing);
    const int bar = s.scaled(4);
    const QRectF track(0, (height() - bar) / 2.0, width(), bar);
    painter.setPen(Qt::NoPen);
    painter.setBrush(track_color_);
    painter.drawRoundedRect(track, bar / 2.0, bar / 2.0);
    if (thumb_center_) {
        // The chosen range, from the first thumb's value to the second's.
        const int x1 = thumbRect(kFirst).left();
        const int x2 = thumbRect(kSecond).right() + 1;
        const QRect range(x1, 0, std::max(0, x2 - x1), height());
        ImageSpec fore = parseImageString(fore_image_);
        if (!fore.empty()) {
            if (!paintImage(painter, range, fore))
                fore_image_.clear();
        } else if (fore_color_.isValid() && x2 > x1) {
            painter.setBrush(fore_color_);
            painter.drawRect(QRectF(x1, track.top(), x2 - x1, bar));
        }
    }
    paintThumb(painter, kFirst);
    paintThumb(painter, kSecond);
}

void CRangeSliderUI::paintThumb(QPainter& painter, int thumb) {
    const QRect r = thumbRect(thumb);
    Images& img = images_[thumb];
    std::string* state_image = nullptr;
    if (state_[thumb] & kCaptured)
        state_image = &img.pushed;
    else if (state_[thumb] & kHot)
        state_image = &img.hot;
    if (state_image && !state_image->empty()) {
        if (paintImage(painter, r, parseImageString(*state_image)))
            return;
        state_image->clear();
    }
    if (!img.normal.empty()) {
        if (paintImage(painter, r, parseImageString(img.normal)))
            return;
        img.normal.clear();
    }
    // No image: a rounded handle, ringed in the range colour; darker while dragged.
    const qreal pen = std::max(1, skin().scaled(2));
    QColor fill = thumb_color_;
    if (state_[thumb] & kCaptured)
        fill = fill.darker(112);
    painter.setPen(QPen(hasFocus() && thumb == last_thumb_ ? fore_color_.darker(130) : fore_color_, pen));
    painter.setBrush(fill);
    const QRectF handle = QRectF(r).adjusted(pen / 2, pen / 2, -pen / 2, -pen / 2);
    painter.drawRoundedRect(handle, handle.width() / 3, handle.width() / 3);
}

}  // namespace ui
