#pragma once
// Controls that hold controls. Container stacks its children on top of each
// other (each fills it); VerticalLayout and HorizontalLayout line them up, a child
// with a fixed size along the line keeps it and the others share the rest;
// TabLayout shows one child at a time. "inset" is the inner margin, "childpadding"
// the gap between children; a "float" child sits at its "pos" instead.

#include <vector>

#include "ui/control.h"

class QBoxLayout;
class QStackedLayout;
class QLayout;

namespace ui {

// The children of a container or the rows of a list, in order, by index as the skin's
// containers count them. Holds the pointers only; the owner deletes and lays out.
class ControlOrder {
public:
    int count() const { return static_cast<int>(items_.size()); }
    // Null outside 0..count()-1.
    Control* at(int index) const;
    // -1 when `control` is not there.
    int indexOf(const Control* control) const;
    // At `index`, or at the end when `index` is outside 0..count(); where it went.
    int insert(Control* control, int index);
    // Takes `control` out; its index, or -1 when it was not there.
    int erase(const Control* control);
    // Moves `control` to `index`; false when it is not there or `index` is outside.
    bool move(Control* control, int index);
    // Every entry, handed over; the order is empty after.
    std::vector<Control*> takeAll();
    std::vector<Control*>::const_iterator begin() const { return items_.begin(); }
    std::vector<Control*>::const_iterator end() const { return items_.end(); }

private:
    std::vector<Control*> items_;
};

class Container : public Control {
    Q_OBJECT
public:
    enum class Arrange { Stack, Vertical, Horizontal, Tab };
    explicit Container(Arrange arrange = Arrange::Stack, QWidget* parent = nullptr);

    // Takes ownership. `index` out of range appends.
    virtual void add(Control* child) { addAt(child, count()); }
    virtual void addAt(Control* child, int index);
    // Deletes the child; false when it is not ours.
    virtual bool remove(Control* child);
    virtual void removeAll();
    // Moves a child to `index`.
    bool setItemIndex(Control* child, int index);

    int count() const { return items_.count(); }
    Control* itemAt(int index) const { return items_.at(index); }
    int indexOf(const Control* child) const { return items_.indexOf(child); }

    bool setAttribute(std::string_view name, std::string_view value) override;

protected:
    void changeEvent(QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    int autoWidthPixels() const override;
    void relayout();
    void placeFloats();
    Arrange arrange() const { return arrange_; }
    QStackedLayout* stack() const;

private:
    Arrange arrange_;
    QLayout* layout_ = nullptr;
    ControlOrder items_;
    QMargins inset_;
    int child_padding_ = 0;
    Qt::Alignment child_align_ = Qt::AlignHCenter;   // cross axis of a vertical layout
    Qt::Alignment child_valign_ = Qt::AlignVCenter;  // cross axis of a horizontal layout
};

class VerticalLayout : public Container {
    Q_OBJECT
public:
    VerticalLayout() : Container(Arrange::Vertical) {}
};

class HorizontalLayout : public Container {
    Q_OBJECT
public:
    HorizontalLayout() : Container(Arrange::Horizontal) {}
};

// One page at a time; "selectedid" picks the first page. Selecting a page sends
// "tabselect" (wparam the new page, lparam the old one).
class TabLayout : public Container {
    Q_OBJECT
public:
    TabLayout() : Container(Arrange::Tab) {}
    int currentSelection() const;
    // False when `index` is out of range.
    bool selectItem(int index);
    bool setAttribute(std::string_view name, std::string_view value) override;
    void addAt(Control* child, int index) override;

private:
    int wanted_ = 0;
};

}  // namespace ui
