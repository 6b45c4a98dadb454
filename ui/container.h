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

    int count() const { return static_cast<int>(items_.size()); }
    Control* itemAt(int index) const;
    int indexOf(const Control* child) const;

    bool setAttribute(std::string_view name, std::string_view value) override;

protected:
    void changeEvent(QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void relayout();
    void placeFloats();
    Arrange arrange() const { return arrange_; }
    QStackedLayout* stack() const;

private:
    Arrange arrange_;
    QLayout* layout_ = nullptr;
    std::vector<Control*> items_;
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
