#include <QMouseEvent>
#include <QPointer>
#include <QScrollArea>
#include <QScrollBar>
#include <QVBoxLayout>
#include <algorithm>

#include "ui/controls.h"
#include "ui/skin.h"

namespace ui {

QUORIN_UI_CONTROL("List", List);
QUORIN_UI_CONTROL("ListContainerElement", ListRow);

void ListRow::setChecked(bool selected) {
    selected_ = selected;
    update();
}

bool ListRow::setAttribute(std::string_view name, std::string_view value) {
    static constexpr std::pair<std::string_view, QColor ListRow::*> kColors[] = {
        {"selectedbkcolor", &ListRow::selected_bk_},
        {"hotbkcolor", &ListRow::hot_bk_},
    };
    if (!setMemberAttribute(*this, kColors, name, value, parseColor))
        return HorizontalLayout::setAttribute(name, value);
    update();
    return true;
}

QColor ListRow::currentBackground() const {
    const QColor* look = stateLook<QColor>({{selected_, &selected_bk_}, {hot(), &hot_bk_}});
    return look ? *look : HorizontalLayout::currentBackground();
}

// On the scroll bar alone: a style sheet on the area would reach every control of
// every row, and restyling thousands of widgets on each insertion is slow.
static const char* kScrollBarStyle =
    "QScrollBar:vertical { background: transparent; width: %1px; margin: 0; }"
    "QScrollBar::handle:vertical { background: #C9CED6; border-radius: %2px; min-height: 24px; }"
    "QScrollBar::handle:vertical:hover { background: #A9B0BB; }"
    "QScrollBar::add-line, QScrollBar::sub-line { height: 0; width: 0; }"
    "QScrollBar::add-page, QScrollBar::sub-page { background: transparent; }";

List::List() : area_(new QScrollArea(this)), body_(new QWidget), column_(new QVBoxLayout(body_)) {
    area_->setWidgetResizable(true);
    area_->setFrameShape(QFrame::NoFrame);
    area_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    const int w = skin().scaled(8);
    area_->verticalScrollBar()->setStyleSheet(QString::fromLatin1(kScrollBarStyle).arg(w).arg(w / 2));
    area_->setAutoFillBackground(false);
    body_->setAttribute(Qt::WA_TranslucentBackground);
    area_->viewport()->setAutoFillBackground(false);
    column_->setContentsMargins(0, 0, 0, 0);
    column_->setSpacing(0);
    column_->addStretch(1);
    area_->setWidget(body_);
    // After setWidget, which turns it on: a filled body hides the list's background
    // (black on a screen, or see-through in a translucent window).
    body_->setAutoFillBackground(false);
    body_->installEventFilter(this);
    connect(area_->verticalScrollBar(), &QScrollBar::valueChanged, this, [this] { scheduleRealize(); });
}

void List::setRowRealizer(std::function<void(Control*)> realize) {
    realize_ = std::move(realize);
    scheduleRealize();
}

// Queued: the rows' places are known once the layout has run, and a queued call comes
// before the paint, which Qt posts at a lower priority.
void List::scheduleRealize() {
    if (!realize_ || realize_pending_)
        return;
    realize_pending_ = true;
    QMetaObject::invokeMethod(
        this, [this] { realizeNearView(); }, Qt::QueuedConnection);
}

void List::realizeNearView() {
    realize_pending_ = false;
    if (!realize_ || !isVisible())
        return;  // a hidden list has no places yet; showing it asks again
    // The scroll area grows the body a turn later; until then the column squeezes
    // the rows into the old height.
    if (const int need = column_->minimumSize().height(); body_->height() < need)
        body_->resize(body_->width(), need);
    column_->activate();
    const int page = std::max(area_->viewport()->height(), 1);
    const int top = -body_->y();
    const QRect band(0, top - page, std::max(body_->width(), 1), 3 * page);
    for (Control* row : rows_) {
        if (row->isHidden())
            continue;
        if (row->y() > band.bottom())
            break;
        if (row->geometry().intersects(band))
            realize_(row);
    }
}

void List::addAt(Control* row, int index) {
    if (!row)
        return;
    row->setParent(body_);
    index = rows_.insert(row, index);
    column_->insertWidget(index, row);
    if (selected_ >= index)
        ++selected_;
    scheduleRealize();
    if (!row->testAttribute(Qt::WA_WState_ExplicitShowHide) || !row->isHidden())
        row->show();
    row->installEventFilter(this);
}

bool List::remove(Control* row) {
    const int index = rows_.erase(row);
    if (index < 0)
        return false;
    column_->removeWidget(row);
    if (selected_ == index)
        selected_ = -1;
    else if (selected_ > index)
        --selected_;
    delete row;
    return true;
}

void List::removeAll() {
    for (Control* row : rows_.takeAll()) {
        column_->removeWidget(row);
        delete row;
    }
    selected_ = -1;
}

bool List::setItemIndex(Control* row, int index) {
    Control* chosen = itemAt(selected_);
    if (!rows_.move(row, index))
        return false;
    reinsert();
    selected_ = indexOf(chosen);
    return true;
}

void List::reinsert() {
    for (Control* row : rows_)
        column_->removeWidget(row);
    for (int i = 0; i < rows_.count(); ++i)
        column_->insertWidget(i, rows_.at(i));
    scheduleRealize();
}

bool List::selectItem(int index) {
    if (index < -1 || index >= count())
        return false;
    int old = selected_;
    if (Control* before = itemAt(old))
        before->setChecked(false);
    selected_ = index;
    if (Control* now = itemAt(index))
        now->setChecked(true);
    if (old != index)
        notify("itemselect", index, old);
    return true;
}

bool List::setAttribute(std::string_view name, std::string_view value) {
    if (name == "childpadding") {
        column_->setSpacing(skin().scaled(parseMargins(value).left()));
    } else if (name == "inset") {
        const Skin& s = skin();
        QMargins m = parseMargins(value);
        column_->setContentsMargins(s.scaled(m.left()), s.scaled(m.top()), s.scaled(m.right()),
                                    s.scaled(m.bottom()));
    } else if (name == "vscrollbar") {
        area_->setVerticalScrollBarPolicy(parseBool(value) ? Qt::ScrollBarAsNeeded : Qt::ScrollBarAlwaysOff);
    } else {
        return Control::setAttribute(name, value);
    }
    return true;
}

bool List::eventFilter(QObject* watched, QEvent* event) {
    // Rows that moved, were hidden or shown, or removed change what is near the view.
    if (watched == body_ && (event->type() == QEvent::LayoutRequest || event->type() == QEvent::Resize))
        scheduleRealize();
    // A press that no button of the row took lands on the row (or the list body):
    // that selects the row.
    if (event->type() == QEvent::MouseButtonPress) {
        auto* row = dynamic_cast<Control*>(watched);
        int index = row ? indexOf(row) : -1;
        if (index >= 0) {
            QPointer<Control> guard(row);
            selectItem(index);
            if (guard)
                guard->notify("itemclick", index, 0);
            return guard.isNull();
        }
    }
    return Control::eventFilter(watched, event);
}

void List::resizeEvent(QResizeEvent* event) {
    Control::resizeEvent(event);
    area_->setGeometry(rect());
    scheduleRealize();
}

void List::showEvent(QShowEvent* event) {
    Control::showEvent(event);
    scheduleRealize();
}

}  // namespace ui
