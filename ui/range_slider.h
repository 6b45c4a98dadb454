#pragma once
// "RangeSlider": two thumbs on one horizontal track, a first value (left thumb) and a
// second value (right thumb) between a minimum and a maximum. The first thumb lies
// right of its value's position and the second left of its own, so both sit inside
// the chosen range. Dragging moves the captured thumb without notifications (the
// first never passes the second); the release sends "valuechanged". Every mouse and
// key event also goes to the subscribers, which see which thumb is captured.
//
// Attributes: thumbimage, thumbhotimage, thumbpushedimage (and the same with "2" for
// the second thumb), thumbsize "w,h", step, thumbcenter, fgimage, fgrealsize,
// value1, value2, min, max; trackcolor, forecolor and thumbcolor draw the parts
// that have no image.

#include <QPoint>
#include <QRect>
#include <QSize>
#include <functional>
#include <string>
#include <vector>

#include "ui/controls.h"

namespace ui {

class CRangeSliderUI : public Label {
    Q_OBJECT
public:
    static constexpr int kFirst = 0;
    static constexpr int kSecond = 1;
    // Thumb state bits.
    static constexpr int kHot = 0x08;
    static constexpr int kCaptured = 0x40;

    struct Event {
        enum class Type { ButtonDown, MouseMove, ButtonUp, Key };
        Type type;
        QPoint point;    // control pixels (mouse events)
        int thumb = -1;  // Key: the thumb that moved
    };
    using Subscriber = std::function<void(CRangeSliderUI& slider, const Event& event)>;

    CRangeSliderUI();
    static const char* className() { return "RangeSliderUI"; }

    void subscribe(Subscriber subscriber) { subscribers_.push_back(std::move(subscriber)); }

    int minimum() const override { return min_; }
    int maximum() const override { return max_; }
    void setRange(int minimum, int maximum) override;
    // The first value, as for a one-thumb slider.
    int value() const override { return values_[kFirst]; }
    void setValue(int value) override { setValue(value, kFirst); }
    int value(int thumb) const { return values_[index(thumb)]; }
    // Clamped to the range; repaints.
    void setValue(int value, int thumb);

    // Image strings of a thumb: normal, hot, pushed.
    const std::string& thumbImage(int thumb) const { return images_[index(thumb)].normal; }
    const std::string& thumbHotImage(int thumb) const { return images_[index(thumb)].hot; }
    const std::string& thumbPushedImage(int thumb) const { return images_[index(thumb)].pushed; }
    void setThumbImage(int thumb, const std::string& image);
    void setThumbHotImage(int thumb, const std::string& image);
    void setThumbPushedImage(int thumb, const std::string& image);
    // Pixels. setThumbSize takes layout units and scales them (both thumbs).
    QSize thumbSize(int thumb) const { return thumb_size_[index(thumb)]; }
    void setThumbSize(const QSize& units);
    int thumbState(int thumb) const { return state_[index(thumb)]; }
    int step() const { return step_; }

    // Control pixels: the thumb's rectangle, and the value a captured thumb takes at x.
    QRect thumbRect(int thumb) const;
    int valueAt(int x, int thumb) const;

    bool setAttribute(std::string_view name, std::string_view value) override;

protected:
    void paintContent(QPainter& painter) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    struct Images {
        std::string normal, hot, pushed;
    };
    static int index(int thumb) { return thumb == kSecond ? kSecond : kFirst; }
    // Units the thumbs keep apart: the track's pixels per unit, rounded down.
    int gap() const;
    bool allowed(int first, int second) const { return first <= second - gap(); }
    void press(const QPoint& point);
    void publish(Event::Type type, const QPoint& point, int thumb = -1);
    void paintThumb(QPainter& painter, int thumb);

    QSize thumb_size_[2] = {{10, 10}, {10, 10}};
    int state_[2] = {0, 0};
    int step_ = 1;
    bool thumb_center_ = true;
    bool fore_real_size_ = false;
    int max_ = 100;
    int min_ = 0;
    int values_[2] = {0, 0};
    Images images_[2];
    std::string fore_image_;
    QColor track_color_{0xE3, 0xE6, 0xEB};
    QColor fore_color_{0x2D, 0x7F, 0xF9};
    QColor thumb_color_{0xFF, 0xFF, 0xFF};
    int last_thumb_ = kFirst;  // the thumb keys move
    QPoint last_point_;
    std::vector<Subscriber> subscribers_;
};

}  // namespace ui
