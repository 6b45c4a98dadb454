#include "ui/control.h"

#include <QEvent>
#include <QHash>
#include <QPainter>
#include <QPainterPath>
#include <QTextDocument>
#include <charconv>
#include <map>
#include <mutex>

#include "ui/skin.h"
#include "ui/window.h"

namespace ui {

bool Notify::is(std::string_view t, std::string_view sender_name) const {
    return type == t && sender &&
           sender->objectName() == QLatin1StringView(sender_name.data(), sender_name.size());
}

QColor parseColor(std::string_view text) {
    std::string_view hex = text;
    if (hex.starts_with("#")) {
        hex.remove_prefix(1);
    } else if (hex.starts_with("0x") || hex.starts_with("0X")) {
        hex.remove_prefix(2);
    } else {
        return {};
    }
    std::uint32_t v = 0;
    auto [end, ec] = std::from_chars(hex.data(), hex.data() + hex.size(), v, 16);
    if (ec != std::errc() || end != hex.data() + hex.size())
        return {};
    if (hex.size() == 6)
        return QColor::fromRgb(0xFF000000u | v);
    if (hex.size() == 8)
        return QColor::fromRgba(v);
    return {};
}

QMargins parseMargins(std::string_view text) {
    int v[4] = {0, 0, 0, 0};
    int i = 0;
    const char* p = text.data();
    const char* end = p + text.size();
    while (p < end && i < 4) {
        while (p < end && (*p == ' ' || *p == ','))
            ++p;
        auto [next, ec] = std::from_chars(p, end, v[i]);
        if (ec != std::errc())
            break;
        p = next;
        ++i;
    }
    return QMargins(v[0], v[1], v[2], v[3]);
}

bool parseBool(std::string_view text) {
    return text == "true" || text == "1" || text == "yes";
}

static int parseInt(std::string_view text) {
    int v = 0;
    std::from_chars(text.data(), text.data() + text.size(), v);
    return v;
}

namespace {
struct Registry {
    std::mutex mutex;
    std::map<std::string, ControlCreator> creators;  // lower-case tag
};
Registry& registry() {
    static Registry r;
    return r;
}
std::string lower(std::string_view s) {
    std::string out(s);
    for (char& c : out)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}
}  // namespace

bool registerControl(const std::string& tag, ControlCreator creator) {
    std::lock_guard lock(registry().mutex);
    registry().creators[lower(tag)] = std::move(creator);
    return true;
}

Control* createRegisteredControl(std::string_view tag) {
    ControlCreator creator;
    {
        std::lock_guard lock(registry().mutex);
        auto it = registry().creators.find(lower(tag));
        if (it == registry().creators.end())
            return nullptr;
        creator = it->second;
    }
    return creator();
}

Control::Control(QWidget* parent) : QWidget(parent) {
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
}

Control::~Control() = default;

void Control::setText(const std::string& text) {
    text_ = QString::fromStdString(text);
    update();
}

QSize Control::sizeHint() const {
    const Skin& s = skin();
    return {fixed_width_ ? s.scaled(fixed_width_) : 0, fixed_height_ ? s.scaled(fixed_height_) : 0};
}

bool Control::setAttribute(std::string_view name, std::string_view value) {
    const Skin& s = skin();
    const std::string v(value);
    if (name == "name") {
        setName(v);
    } else if (name == "text") {
        setText(v);
    } else if (name == "tooltip") {
        setToolTipText(v);
    } else if (name == "visible") {
        setVisible(parseBool(value));
    } else if (name == "enabled") {
        setEnabled(parseBool(value));
    } else if (name == "userdata") {
        setUserData(v);
    } else if (name == "width") {
        fixed_width_ = parseInt(value);
        if (fixed_width_ > 0)
            setFixedWidth(s.scaled(fixed_width_));
    } else if (name == "height") {
        fixed_height_ = parseInt(value);
        if (fixed_height_ > 0)
            setFixedHeight(s.scaled(fixed_height_));
    } else if (name == "minwidth") {
        setMinimumWidth(s.scaled(parseInt(value)));
    } else if (name == "minheight") {
        setMinimumHeight(s.scaled(parseInt(value)));
    } else if (name == "maxwidth") {
        setMaximumWidth(s.scaled(parseInt(value)));
    } else if (name == "maxheight") {
        setMaximumHeight(s.scaled(parseInt(value)));
    } else if (name == "padding") {
        padding_ = parseMargins(value);
    } else if (name == "float") {
        float_ = parseBool(value);
    } else if (name == "pos") {
        QMargins m = parseMargins(value);
        float_pos_ = QRect(QPoint(m.left(), m.top()), QPoint(m.right() - 1, m.bottom() - 1));
    } else if (name == "bkcolor") {
        bk_color_ = parseColor(value);
    } else if (name == "bkcolor2") {
        bk_color2_ = parseColor(value);
    } else if (name == "bordercolor") {
        border_color_ = parseColor(value);
    } else if (name == "focusbordercolor") {
        focus_border_color_ = parseColor(value);
    } else if (name == "bordersize") {
        border_size_ = parseInt(value);
    } else if (name == "borderround") {
        border_round_ = parseInt(value);
    } else if (name == "bkimage") {
        bk_image_ = parseImageString(v);
    } else if (name == "foreimage") {
        fore_image_ = parseImageString(v);
    } else if (name == "textcolor") {
        text_color_ = parseColor(value);
    } else if (name == "disabledtextcolor") {
        disabled_text_color_ = parseColor(value);
    } else if (name == "textpadding") {
        text_padding_ = parseMargins(value);
    } else if (name == "align") {
        int h = value.find("center") != std::string_view::npos  ? Qt::AlignHCenter
                : value.find("right") != std::string_view::npos ? Qt::AlignRight
                                                                : Qt::AlignLeft;
        align_ = (align_ & ~Qt::AlignHorizontal_Mask) | h;
    } else if (name == "valign") {
        int vv = value.find("top") != std::string_view::npos      ? Qt::AlignTop
                 : value.find("bottom") != std::string_view::npos ? Qt::AlignBottom
                                                                  : Qt::AlignVCenter;
        align_ = (align_ & ~Qt::AlignVertical_Mask) | vv;
    } else if (name == "wordbreak" || name == "multiline") {
        align_ = parseBool(value) ? (align_ & ~Qt::TextSingleLine) | Qt::TextWordWrap
                                  : (align_ & ~Qt::TextWordWrap) | Qt::TextSingleLine;
    } else if (name == "endellipsis") {
        end_ellipsis_ = parseBool(value);
    } else if (name == "showhtml") {
        show_html_ = parseBool(value);
    } else if (name == "font") {
        font_id_ = parseInt(value);
    } else if (name == "fontsize") {
        font_size_ = parseInt(value);
    } else if (name == "bold") {
        font_weight_ = parseBool(value) ? QFont::DemiBold : QFont::Normal;
    } else if (name == "cursor") {
        if (value == "hand")
            setCursor(Qt::PointingHandCursor);
    } else {
        return false;
    }
    update();
    return true;
}

Control* Control::find(std::string_view name) const {
    return findChild<Control*>(QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size())));
}

Window* Control::ownerWindow() const {
    for (QWidget* w = parentWidget(); w; w = w->parentWidget()) {
        if (auto* window = dynamic_cast<Window*>(w))
            return window;
    }
    return nullptr;
}

void Control::notify(std::string_view type, std::intptr_t wparam, std::intptr_t lparam) {
    if (Window* window = ownerWindow())
        window->sendNotify(Notify{std::string(type), this, wparam, lparam});
}

QFont Control::controlFont() const {
    Window* window = ownerWindow();
    QFont font = window ? window->layoutFont(font_id_) : QFont();
    if (font_size_ > 0)
        font.setPixelSize(skin().scaled(font_size_));
    if (font_weight_)
        font.setWeight(static_cast<QFont::Weight>(font_weight_));
    return font;
}

QColor Control::currentTextColor() const {
    if (!isEnabled() && disabled_text_color_.isValid())
        return disabled_text_color_;
    if (text_color_.isValid())
        return text_color_;
    Window* window = ownerWindow();
    return window ? window->defaultTextColor() : QColor(0x33, 0x33, 0x33);
}

QRectF Control::frameRect() const {
    const qreal half = border_size_ > 0 ? skin().scaled(border_size_) / 2.0 : 0.0;
    return QRectF(rect()).adjusted(half, half, -half, -half);
}

int Control::radius() const {
    return skin().scaled(border_round_);
}

QRect Control::textRect() const {
    const Skin& s = skin();
    return rect().adjusted(s.scaled(text_padding_.left()), s.scaled(text_padding_.top()),
                           -s.scaled(text_padding_.right()), -s.scaled(text_padding_.bottom()));
}

void Control::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    paintBackground(painter);
    paintContent(painter);
}

void Control::changeEvent(QEvent* event) {
    if (event->type() == QEvent::EnabledChange)
        update();
    QWidget::changeEvent(event);
}

void Control::paintBackground(QPainter& painter) {
    QColor bk = currentBackground();
    const int r = radius();
    QRectF frame = frameRect();
    if (bk.isValid() && bk.alpha() > 0) {
        painter.setPen(Qt::NoPen);
        if (bk_color2_.isValid()) {
            QLinearGradient gradient(frame.topLeft(), frame.bottomLeft());
            gradient.setColorAt(0, bk);
            gradient.setColorAt(1, bk_color2_);
            painter.setBrush(gradient);
        } else {
            painter.setBrush(bk);
        }
        painter.drawRoundedRect(frame, r, r);
    }
    paintImage(painter, rect(), currentImage());
    paintImage(painter, rect(), fore_image_);
    QColor border = (hasFocus() && focus_border_color_.isValid()) ? focus_border_color_ : border_color_;
    if (border_size_ > 0 && border.isValid()) {
        painter.setBrush(Qt::NoBrush);
        painter.setPen(QPen(border, skin().scaled(border_size_)));
        painter.drawRoundedRect(frame, r, r);
    }
}

void Control::paintContent(QPainter& painter) {
    if (!text_.isEmpty())
        paintText(painter, text_, textRect(), currentTextColor());
}

int Control::textHeightForWidth(int width) const {
    const Skin& s = skin();
    const int pad_h = s.scaled(text_padding_.left()) + s.scaled(text_padding_.right());
    const int pad_v = s.scaled(text_padding_.top()) + s.scaled(text_padding_.bottom());
    const int w = std::max(1, width - pad_h);
    const QFont font = controlFont();
    if (show_html_) {
        QTextDocument doc;
        doc.setDefaultFont(font);
        doc.setDocumentMargin(0);
        doc.setHtml(text_);
        doc.setTextWidth(w);
        return static_cast<int>(doc.size().height() + 0.5) + pad_v;
    }
    const int flags = (align_ & Qt::TextWordWrap) ? Qt::TextWordWrap : Qt::TextSingleLine;
    return QFontMetrics(font).boundingRect(QRect(0, 0, w, 1 << 20), flags, text_).height() + pad_v;
}

void Control::paintText(QPainter& painter, const QString& text, const QRect& rect, QColor color) {
    QFont font = controlFont();
    painter.setFont(font);
    if (show_html_) {
        QTextDocument doc;
        doc.setDefaultFont(font);
        doc.setDocumentMargin(0);
        doc.setDefaultStyleSheet(QStringLiteral("body { color: %1; }").arg(color.name()));
        doc.setHtml(QStringLiteral("<body>") + text + QStringLiteral("</body>"));
        doc.setTextWidth(rect.width());
        qreal h = doc.size().height();
        qreal top = rect.top();
        if (align_ & Qt::AlignVCenter)
            top += std::max<qreal>(0, (rect.height() - h) / 2);
        if (align_ & Qt::AlignBottom)
            top += std::max<qreal>(0, rect.height() - h);
        painter.save();
        painter.translate(rect.left(), top);
        doc.drawContents(&painter, QRectF(0, 0, rect.width(), rect.height()));
        painter.restore();
        return;
    }
    painter.setPen(color);
    QString shown = text;
    if (end_ellipsis_ && (align_ & Qt::TextSingleLine))
        shown = painter.fontMetrics().elidedText(text, Qt::ElideRight, rect.width());
    painter.drawText(rect, align_, shown);
}

}  // namespace ui
