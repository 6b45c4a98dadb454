#include <QEvent>
#include <QLineEdit>
#include <QPainter>
#include <QPalette>
#include <QRegularExpressionValidator>

#include "ui/controls.h"
#include "ui/skin.h"

namespace ui {

QUORIN_UI_CONTROL("Edit", Edit);

Edit::Edit() : line_(new QLineEdit(this)) {
    line_->setFrame(false);
    line_->setObjectName(QString());  // only the Edit is found by name
    // Transparent through the palette, not a style sheet: style sheets make every
    // insertion of a row with an edit restyle it, which is slow in long lists.
    QPalette palette = line_->palette();
    palette.setColor(QPalette::Base, Qt::transparent);
    line_->setPalette(palette);
    line_->setAutoFillBackground(false);
    line_->installEventFilter(this);
    setCursor(Qt::IBeamCursor);
    setFocusProxy(line_);
    connect(line_, &QLineEdit::textEdited, this, [this] { notify("textchanged"); });
    connect(line_, &QLineEdit::returnPressed, this, [this] { notify("return"); });
    connect(line_, &QLineEdit::textChanged, this, &Edit::followTextDirection);
    connect(line_, &QLineEdit::textChanged, this, &Edit::updateElision);
}

// QLineEdit cuts a text that does not fit at the edge. A disabled edit (a row's name
// while it is not being renamed) paints such a text itself, ended with "…", and
// brings the line back when it is enabled for editing.
void Edit::updateElision() {
    line_->setHidden(!isEnabled() &&
                     QFontMetrics(controlFont()).horizontalAdvance(line_->text()) > textRoom());
    update();
}

void Edit::paintContent(QPainter& painter) {
    if (!line_->isHidden())
        return;
    // Where QLineEdit puts its text: inside the same margins.
    const QRect area = line_->geometry().adjusted(2, 0, -2, 0);
    painter.setFont(controlFont());
    painter.setPen(currentTextColor());
    QString shown = painter.fontMetrics().elidedText(line_->text(), Qt::ElideRight, area.width());
    if (layoutDirection() == Qt::RightToLeft && !hasRightToLeftLetter(shown))
        shown = QChar(0x2066) + shown + QChar(0x2069);
    painter.drawText(area, int(line_->alignment()) | Qt::TextSingleLine, shown);
}

// In a mirrored window a text without a right-to-left letter (a path, a file name such
// as "clip (2).mp4") reads left to right, kept at the right edge; QLineEdit would
// otherwise take the window's direction for it and move "/" and brackets to the ends.
void Edit::followTextDirection() {
    const QString shown = line_->text().isEmpty() ? line_->placeholderText() : line_->text();
    if (layoutDirection() == Qt::RightToLeft && !hasRightToLeftLetter(shown)) {
        line_->setLayoutDirection(Qt::LeftToRight);
        line_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    } else {
        line_->unsetLayoutDirection();
        line_->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    }
}

void Edit::changeEvent(QEvent* event) {
    Control::changeEvent(event);
    if (event->type() == QEvent::LayoutDirectionChange)
        followTextDirection();
    if (event->type() == QEvent::EnabledChange || event->type() == QEvent::FontChange)
        updateElision();
}

std::string Edit::text() const {
    return line_->text().toStdString();
}

void Edit::setText(const std::string& text) {
    line_->setText(QString::fromStdString(text));
}

bool Edit::setAttribute(std::string_view name, std::string_view value) {
    if (name == "text") {
        setText(std::string(value));
    } else if (name == "maxchar") {
        line_->setMaxLength(parseMargins(value).left());
    } else if (name == "numberonly") {
        line_->setValidator(parseBool(value)
                                ? new QRegularExpressionValidator(QRegularExpression("[0-9]*"), line_)
                                : nullptr);
    } else if (name == "readonly") {
        line_->setReadOnly(parseBool(value));
    } else if (name == "password") {
        line_->setEchoMode(parseBool(value) ? QLineEdit::Password : QLineEdit::Normal);
    } else if (name == "prompttext") {
        line_->setPlaceholderText(QString::fromStdString(std::string(value)));
        followTextDirection();
    } else {
        return Control::setAttribute(name, value);
    }
    return true;
}

void Edit::resizeEvent(QResizeEvent* event) {
    Control::resizeEvent(event);
    QRect r = textRect();
    if (r == rect())
        r = rect().adjusted(skin().scaled(8), 0, -skin().scaled(8), 0);
    line_->setGeometry(r);
    QFont font = controlFont();
    line_->setFont(font);
    QPalette palette = line_->palette();
    palette.setColor(QPalette::Text, currentTextColor());
    line_->setPalette(palette);
    updateElision();
}

// QLineEdit keeps a small margin on each side of its text.
int Edit::textRoom() const {
    return line_->contentsRect().width() - 4;
}

bool Edit::textFits() const {
    const int room = textRoom();
    const QFontMetrics metrics(controlFont());
    return metrics.horizontalAdvance(line_->placeholderText()) <= room &&
           metrics.horizontalAdvance(line_->text()) <= room;
}

bool Edit::eventFilter(QObject* watched, QEvent* event) {
    if (watched == line_) {
        if (event->type() == QEvent::FocusIn)
            update();
        if (event->type() == QEvent::FocusOut) {
            update();
            notify("killfocus");
        }
    }
    return Control::eventFilter(watched, event);
}

}  // namespace ui
