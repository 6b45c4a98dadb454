#include "ui/container.h"

#include <QBoxLayout>
#include <QResizeEvent>
#include <QStackedLayout>
#include <QStyle>
#include <algorithm>

#include "ui/skin.h"

namespace ui {

QUORIN_UI_CONTROL("Container", Container);
QUORIN_UI_CONTROL("VerticalLayout", VerticalLayout);
QUORIN_UI_CONTROL("HorizontalLayout", HorizontalLayout);
QUORIN_UI_CONTROL("TabLayout", TabLayout);

Container::Container(Arrange arrange, QWidget* parent) : Control(parent), arrange_(arrange) {
    switch (arrange) {
        case Arrange::Vertical:
            layout_ = new QVBoxLayout(this);
            break;
        case Arrange::Horizontal:
            layout_ = new QHBoxLayout(this);
            break;
        case Arrange::Stack:
        case Arrange::Tab: {
            auto* stack = new QStackedLayout(this);
            stack->setStackingMode(arrange == Arrange::Stack ? QStackedLayout::StackAll
                                                             : QStackedLayout::StackOne);
            layout_ = stack;
            break;
        }
    }
    layout_->setContentsMargins(0, 0, 0, 0);
    layout_->setSpacing(0);
}

QStackedLayout* Container::stack() const {
    return qobject_cast<QStackedLayout*>(layout_);
}

Control* ControlOrder::at(int index) const {
    return index >= 0 && index < count() ? items_[static_cast<size_t>(index)] : nullptr;
}

int ControlOrder::indexOf(const Control* control) const {
    auto it = std::find(items_.begin(), items_.end(), control);
    return it == items_.end() ? -1 : static_cast<int>(it - items_.begin());
}

int ControlOrder::insert(Control* control, int index) {
    if (index < 0 || index > count())
        index = count();
    items_.insert(items_.begin() + index, control);
    return index;
}

int ControlOrder::erase(const Control* control) {
    const int index = indexOf(control);
    if (index >= 0)
        items_.erase(items_.begin() + index);
    return index;
}

bool ControlOrder::move(Control* control, int index) {
    const int from = indexOf(control);
    if (from < 0 || index < 0 || index >= count())
        return false;
    items_.erase(items_.begin() + from);
    items_.insert(items_.begin() + index, control);
    return true;
}

std::vector<Control*> ControlOrder::takeAll() {
    std::vector<Control*> all;
    all.swap(items_);
    return all;
}

void Container::addAt(Control* child, int index) {
    if (!child)
        return;
    child->setParent(this);
    items_.insert(child, index);
    relayout();
    // Children show with their container unless a layout or code hid them on purpose.
    if (!child->testAttribute(Qt::WA_WState_ExplicitShowHide) || !child->isHidden())
        child->show();
}

bool Container::remove(Control* child) {
    if (items_.erase(child) < 0)
        return false;
    layout_->removeWidget(child);
    delete child;
    relayout();
    return true;
}

void Container::removeAll() {
    for (Control* c : items_.takeAll()) {
        layout_->removeWidget(c);
        delete c;
    }
    relayout();
}

bool Container::setItemIndex(Control* child, int index) {
    if (!items_.move(child, index))
        return false;
    relayout();
    return true;
}

// Rebuilds the Qt layout from items_: cheap for the few children a layout has,
// and it keeps paddings and order in one place.
void Container::relayout() {
    const Skin& s = skin();
    // The widget's own margins: stacked layouts ignore a layout's margins.
    // Insets are given left to right; box layouts mirror their items themselves.
    const bool rtl = layoutDirection() == Qt::RightToLeft;
    const int left = s.scaled(rtl ? inset_.right() : inset_.left());
    const int right = s.scaled(rtl ? inset_.left() : inset_.right());
    setContentsMargins(left, s.scaled(inset_.top()), right, s.scaled(inset_.bottom()));
    while (QLayoutItem* item = layout_->takeAt(0))
        delete item;
    if (auto* box = qobject_cast<QBoxLayout*>(layout_)) {
        const bool vertical = arrange_ == Arrange::Vertical;
        box->setSpacing(s.scaled(child_padding_));
        for (Control* c : items_) {
            if (c->isFloat())
                continue;
            const QMargins pad = c->paddingUnits();
            const int before = vertical ? pad.top() : pad.left();
            const int after = vertical ? pad.bottom() : pad.right();
            if (before)
                box->addSpacing(s.scaled(before));
            const bool fixed_main =
                vertical ? c->fixedHeightUnits() > 0 : c->fixedWidthUnits() > 0 || c->autoWidth();
            const bool fixed_cross = vertical ? c->fixedWidthUnits() > 0 : c->fixedHeightUnits() > 0;
            Qt::Alignment align;
            if (fixed_cross)
                align = vertical ? child_align_ : child_valign_;
            box->addWidget(c, fixed_main ? 0 : 1, align);
            if (after)
                box->addSpacing(s.scaled(after));
        }
    } else if (QStackedLayout* st = stack()) {
        for (Control* c : items_) {
            if (!c->isFloat())
                st->addWidget(c);
        }
    }
    placeFloats();
}

int Container::autoWidthPixels() const {
    return std::max(layout_->sizeHint().width(), minimumWidth());
}

void Container::placeFloats() {
    const Skin& s = skin();
    for (Control* c : items_) {
        if (!c->isFloat())
            continue;
        QRect p = c->floatPosUnits();
        int w = c->fixedWidthUnits() ? c->fixedWidthUnits() : p.width();
        int h = c->fixedHeightUnits() ? c->fixedHeightUnits() : p.height();
        c->setGeometry(
            QStyle::visualRect(layoutDirection(), rect(),
                               QRect(s.scaled(p.left()), s.scaled(p.top()), s.scaled(w), s.scaled(h))));
        c->raise();
    }
}

void Container::changeEvent(QEvent* event) {
    Control::changeEvent(event);
    if (event->type() == QEvent::LayoutDirectionChange)
        relayout();
}

void Container::resizeEvent(QResizeEvent* event) {
    Control::resizeEvent(event);
    placeFloats();
}

bool Container::setAttribute(std::string_view name, std::string_view value) {
    if (name == "inset") {
        inset_ = parseMargins(value);
    } else if (name == "childpadding") {
        child_padding_ = parseMargins(value).left();
    } else if (name == "childalign") {
        child_align_ = value == "left" ? Qt::AlignLeft : value == "right" ? Qt::AlignRight : Qt::AlignHCenter;
    } else if (name == "childvalign") {
        child_valign_ = value == "top"      ? Qt::AlignTop
                        : value == "bottom" ? Qt::AlignBottom
                                            : Qt::AlignVCenter;
    } else {
        return Control::setAttribute(name, value);
    }
    relayout();
    return true;
}

int TabLayout::currentSelection() const {
    return stack() ? indexOf(dynamic_cast<Control*>(stack()->currentWidget())) : -1;
}

bool TabLayout::selectItem(int index) {
    Control* page = itemAt(index);
    if (!page)
        return false;
    int old = currentSelection();
    wanted_ = index;
    stack()->setCurrentWidget(page);
    if (old != index)
        notify("tabselect", index, old);
    return true;
}

void TabLayout::addAt(Control* child, int index) {
    Container::addAt(child, index);
    if (Control* page = itemAt(wanted_))
        stack()->setCurrentWidget(page);
}

bool TabLayout::setAttribute(std::string_view name, std::string_view value) {
    if (name == "selectedid") {
        wanted_ = parseMargins(value).left();
        if (Control* page = itemAt(wanted_))
            stack()->setCurrentWidget(page);
        return true;
    }
    return Container::setAttribute(name, value);
}

}  // namespace ui
