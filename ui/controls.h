#pragma once
// The built-in controls that code works with by type. Each lives in its own
// source file together with its registration under its layout tag.

#include <QPointer>
#include <functional>

#include "ui/container.h"

class QLineEdit;
class QScrollArea;
class QScrollBar;
class QVBoxLayout;

namespace ui {

// "Label" and "Text": static text, plain or the HTML subset ("showhtml").
class Label : public Control {
    Q_OBJECT
};

// "Button": sends "click". State images: normalimage, hotimage, pushedimage,
// disabledimage; colours: hotbkcolor, pushedbkcolor, disabledbkcolor, hottextcolor,
// pushedtextcolor.
class Button : public Control {
    Q_OBJECT
public:
    Button();
    bool setAttribute(std::string_view name, std::string_view value) override;
    // What a mouse click does: "click" (and for options the selection).
    virtual void activate();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    const ImageSpec& currentImage() const override;
    QColor currentBackground() const override;
    QColor currentTextColor() const override;
    bool pushed() const { return pushed_; }

private:
    bool pushed_ = false;
    ImageSpec normal_, hot_image_, pushed_image_, disabled_image_;
    QColor hot_bk_, pushed_bk_, disabled_bk_, hot_text_, pushed_text_;
};

// "Option": a button that stays selected; options of one "group" in a window
// exclude each other. Selection changes send "selectchanged". Extra attributes:
// selected, selectedimage, selectedhotimage, selectedbkcolor, selectedtextcolor,
// indicator (none | check | radio: a drawn box or circle left of the text).
class Option : public Button {
    Q_OBJECT
public:
    Option();
    bool isChecked() const override { return selected_; }
    void setChecked(bool selected) override;
    const std::string& group() const { return group_; }
    bool setAttribute(std::string_view name, std::string_view value) override;
    void activate() override;

protected:
    const ImageSpec& currentImage() const override;
    QColor currentBackground() const override;
    QColor currentTextColor() const override;
    void paintContent(QPainter& painter) override;
    QRect textArea() const override;
    enum class Indicator { None, Check, Radio };
    Indicator indicator_ = Indicator::None;

private:
    bool selected_ = false;
    std::string group_;
    ImageSpec selected_image_, selected_hot_image_;
    QColor selected_bk_, selected_text_, indicator_color_{0x2D, 0x7F, 0xF9};
};

// "CheckBox": an option without a group that toggles, drawn with a check box.
class CheckBox : public Option {
    Q_OBJECT
public:
    CheckBox();
};

// "Edit": one line of text. Sends "textchanged" on user edits, "return" on Enter,
// "killfocus" when it loses the focus. Attributes: maxchar, numberonly, readonly,
// password, prompttext.
class Edit : public Control {
    Q_OBJECT
public:
    Edit();
    std::string text() const override;
    void setText(const std::string& text) override;
    bool setAttribute(std::string_view name, std::string_view value) override;
    QLineEdit* lineEdit() const { return line_; }
    // The prompt text (and the text) against the line's width.
    bool textFits() const override;

protected:
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void paintContent(QPainter& painter) override;

private:
    void followTextDirection();
    void updateElision();
    int textRoom() const;
    QLineEdit* line_;
};

// "Progress": a bar from minimum to maximum. forecolor / foreimage fill the done part,
// trackcolor the whole bar under it.
class Progress : public Control {
    Q_OBJECT
public:
    int value() const override { return value_; }
    void setValue(int value) override;
    int minimum() const override { return min_; }
    int maximum() const override { return max_; }
    void setRange(int minimum, int maximum) override;
    bool setAttribute(std::string_view name, std::string_view value) override;

protected:
    void paintContent(QPainter& painter) override;
    double fraction() const;
    QRect barRect() const;

    int min_ = 0, max_ = 100, value_ = 0;
    QColor fore_color_{0x2D, 0x7F, 0xF9};
    QColor track_color_;
    ImageSpec fore_fill_;
    int bar_height_ = 0;  // layout units; 0 = the whole height
};

// "Slider": a progress bar with a thumb. Dragging sends "movevaluechanged"; the
// release (or a click) sends "valuechanged". Attributes: thumbsize, thumbcolor,
// thumbimage, step.
class Slider : public Progress {
    Q_OBJECT
public:
    Slider();
    bool setAttribute(std::string_view name, std::string_view value) override;

protected:
    void paintContent(QPainter& painter) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    int valueAt(int x) const;
    QSize thumb_units_{14, 14};
    QColor thumb_color_{0xFF, 0xFF, 0xFF};
    ImageSpec thumb_image_;
    int step_ = 1;
    bool dragging_ = false;
};

// "ScrollBar": a stand-alone scroll bar; sends "valuechanged".
class ScrollBar : public Control {
    Q_OBJECT
public:
    ScrollBar();
    int value() const override;
    void setValue(int value) override;
    int minimum() const override;
    int maximum() const override;
    void setRange(int minimum, int maximum) override;
    bool setAttribute(std::string_view name, std::string_view value) override;

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    QScrollBar* bar_;
};

// "ListContainerElement": a list row (a horizontal layout) that shows selection
// with selectedbkcolor and hover with hotbkcolor.
class ListRow : public HorizontalLayout {
    Q_OBJECT
public:
    bool isChecked() const override { return selected_; }
    void setChecked(bool selected) override;
    bool setAttribute(std::string_view name, std::string_view value) override;

protected:
    QColor currentBackground() const override;

private:
    bool selected_ = false;
    QColor selected_bk_, hot_bk_;
};

// "List": rows under each other in a vertical scroll area. A click on a row
// selects it ("itemselect", wparam the new index, lparam the old) and sends
// "itemclick" with the row as sender.
// With a row realizer set, a list of many rows stays cheap: rows may be added as empty
// frames of their height, and the realizer is called for each shown row within a page
// of the visible part (again after every scroll, resize or change of rows; it must do
// nothing for a row it has already filled).
class List : public Control {
    Q_OBJECT
public:
    List();
    void add(Control* row) { addAt(row, count()); }
    void addAt(Control* row, int index);
    bool remove(Control* row);
    void removeAll();
    bool setItemIndex(Control* row, int index);
    int count() const { return rows_.count(); }
    Control* itemAt(int index) const { return rows_.at(index); }
    int indexOf(const Control* row) const { return rows_.indexOf(row); }
    int currentSelection() const { return selected_; }
    bool selectItem(int index);
    bool setAttribute(std::string_view name, std::string_view value) override;
    QScrollArea* scrollArea() const { return area_; }
    void setRowRealizer(std::function<void(Control*)> realize);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void reinsert();
    void scheduleRealize();
    void realizeNearView();
    std::function<void(Control*)> realize_;
    bool realize_pending_ = false;
    QScrollArea* area_;
    QWidget* body_;
    QVBoxLayout* column_;
    ControlOrder rows_;
    int selected_ = -1;
};

}  // namespace ui
