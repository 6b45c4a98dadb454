#include "ui/control.h"

#include <algorithm>

#include <QEvent>
#include <QHash>
#include <QPainter>
#include <QPainterPath>
#include <QStyle>
#include <QTextDocument>
#include <charconv>
#include <map>
#include <mutex>

#include "platform/strings.h"
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
// `align` with the part that `mask` covers set by the first of `words` that `value`
// contains, else by `fallback`.
int withAlignWord(int align, int mask, std::string_view value,
                  std::initializer_list<std::pair<std::string_view, int>> words, int fallback) {
    int part = fallback;
    for (const auto& [word, flag] : words) {
        if (value.find(word) != std::string_view::npos) {
            part = flag;
            break;
        }
    }
    return (align & ~mask) | part;
}
}  // namespace

bool registerControl(const std::string& tag, ControlCreator creator) {
    std::lock_guard lock(registry().mutex);
    registry().creators[platform::lower(tag)] = std::move(creator);
    return true;
}

Control* createRegisteredControl(std::string_view tag) {
    ControlCreator creator;
    {
        std::lock_guard lock(registry().mutex);
        auto it = registry().creators.find(platform::lower(tag));
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
    if (auto_width_)
        updateGeometry();
    update();
}

int Control::autoWidthPixels() const {
    const Skin& s = skin();
    const int pad = s.scaled(text_padding_.left()) + s.scaled(text_padding_.right());
    const int text = text_.isEmpty() ? 0 : QFontMetrics(controlFont()).horizontalAdvance(text_) + 1;
    return std::max(pad + text, s.scaled(min_width_));
}

QSize Control::sizeHint() const {
    const Skin& s = skin();
    const int width = fixed_width_ ? s.scaled(fixed_width_) : auto_width_ ? autoWidthPixels() : 0;
    return {width, fixed_height_ ? s.scaled(fixed_height_) : 0};
}

bool Control::setAttribute(std::string_view name, std::string_view value) {
    // Lambdas in a member function may reach the private fields.
    using Apply = void (*)(Control&, std::string_view);
    struct Entry {
        std::string_view name;
        Apply apply;
    };
    static constexpr Entry kAttributes[] = {
        {"name", [](Control& c, std::string_view v) { c.setName(std::string(v)); }},
        {"text", [](Control& c, std::string_view v) { c.setText(std::string(v)); }},
        {"tooltip", [](Control& c, std::string_view v) { c.setToolTipText(std::string(v)); }},
        {"visible", [](Control& c, std::string_view v) { c.setVisible(parseBool(v)); }},
        {"enabled", [](Control& c, std::string_view v) { c.setEnabled(parseBool(v)); }},
        {"userdata", [](Control& c, std::string_view v) { c.setUserData(std::string(v)); }},
        {"width",
         [](Control& c, std::string_view v) {
             c.fixed_width_ = parseInt(v);
             if (c.fixed_width_ > 0)
                 c.setFixedWidth(skin().scaled(c.fixed_width_));
         }},
        {"height",
         [](Control& c, std::string_view v) {
             c.fixed_height_ = parseInt(v);
             if (c.fixed_height_ > 0)
                 c.setFixedHeight(skin().scaled(c.fixed_height_));
         }},
        {"minwidth",
         [](Control& c, std::string_view v) {
             c.min_width_ = parseInt(v);
             c.setMinimumWidth(skin().scaled(c.min_width_));
         }},
        {"minheight", [](Control& c, std::string_view v) { c.setMinimumHeight(skin().scaled(parseInt(v))); }},
        {"maxwidth", [](Control& c, std::string_view v) { c.setMaximumWidth(skin().scaled(parseInt(v))); }},
        {"maxheight", [](Control& c, std::string_view v) { c.setMaximumHeight(skin().scaled(parseInt(v))); }},
        {"padding", [](Control& c, std::string_view v) { c.padding_ = parseMargins(v); }},
        {"float", [](Control& c, std::string_view v) { c.float_ = parseBool(v); }},
        {"pos",
         [](Control& c, std::string_view v) {
             QMargins m = parseMargins(v);
             c.float_pos_ = QRect(QPoint(m.left(), m.top()), QPoint(m.right() - 1, m.bottom() - 1));
         }},
        {"bkcolor", [](Control& c, std::string_view v) { c.bk_color_ = parseColor(v); }},
        {"bkcolor2", [](Control& c, std::string_view v) { c.bk_color2_ = parseColor(v); }},
        {"bordercolor", [](Control& c, std::string_view v) { c.border_color_ = parseColor(v); }},
        {"focusbordercolor", [](Control& c, std::string_view v) { c.focus_border_color_ = parseColor(v); }},
        {"bordersize", [](Control& c, std::string_view v) { c.border_size_ = parseInt(v); }},
        {"borderround", [](Control& c, std::string_view v) { c.border_round_ = parseInt(v); }},
        {"bkimage", [](Control& c, std::string_view v) { c.bk_image_ = parseImageString(std::string(v)); }},
        {"foreimage", [](Control& c, std::string_view v) { c.fore_image_ = parseImageString(std::string(v)); }},
        {"textcolor", [](Control& c, std::string_view v) { c.text_color_ = parseColor(v); }},
        {"disabledtextcolor", [](Control& c, std::string_view v) { c.disabled_text_color_ = parseColor(v); }},
        {"textpadding", [](Control& c, std::string_view v) { c.text_padding_ = parseMargins(v); }},
        {"align",
         [](Control& c, std::string_view v) {
             c.align_ = withAlignWord(c.align_, Qt::AlignHorizontal_Mask, v,
                                      {{"center", Qt::AlignHCenter}, {"right", Qt::AlignRight}}, Qt::AlignLeft);
         }},
        {"valign",
         [](Control& c, std::string_view v) {
             c.align_ = withAlignWord(c.align_, Qt::AlignVertical_Mask, v,
                                      {{"top", Qt::AlignTop}, {"bottom", Qt::AlignBottom}}, Qt::AlignVCenter);
         }},
        {"wordbreak", &Control::applyWordBreak},
        {"multiline", &Control::applyWordBreak},
        {"endellipsis", [](Control& c, std::string_view v) { c.end_ellipsis_ = parseBool(v); }},
        {"autocalcwidth",
         [](Control& c, std::string_view v) {
             c.auto_width_ = parseBool(v);
             c.setSizePolicy(c.auto_width_ ? QSizePolicy::Fixed : QSizePolicy::Expanding,
                             c.sizePolicy().verticalPolicy());
             c.updateGeometry();
         }},
        {"showhtml", [](Control& c, std::string_view v) { c.show_html_ = parseBool(v); }},
        {"font", [](Control& c, std::string_view v) { c.font_id_ = parseInt(v); }},
        {"fontsize", [](Control& c, std::string_view v) { c.font_size_ = parseInt(v); }},
        {"bold", [](Control& c, std::string_view v) { c.font_weight_ = parseBool(v) ? QFont::DemiBold : QFont::Normal; }},
        {"cursor",
         [](Control& c, std::string_view v) {
             if (v == "hand")
                 c.setCursor(Qt::PointingHandCursor);
         }},
    };
    for (const Entry& entry : kAttributes) {
        if (entry.name == name) {
            entry.apply(*this, value);
            update();
            return true;
        }
    }
    return false;
}

void Control::applyWordBreak(Control& c, std::string_view value) {
    c.align_ = parseBool(value) ? (c.align_ & ~Qt::TextSingleLine) | Qt::TextWordWrap
                                : (c.align_ & ~Qt::TextWordWrap) | Qt::TextSingleLine;
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
    // Layouts give paddings as left/right; right to left they are mirrored.
    return QStyle::visualRect(
        layoutDirection(), rect(),
        rect().adjusted(s.scaled(text_padding_.left()), s.scaled(text_padding_.top()),
                        -s.scaled(text_padding_.right()), -s.scaled(text_padding_.bottom())));
}

int Control::visualTextFlags() const {
    const auto horizontal = Qt::Alignment(align_ & Qt::AlignHorizontal_Mask);
    return (align_ & ~Qt::AlignHorizontal_Mask) | int(QStyle::visualAlignment(layoutDirection(), horizontal));
}

void Control::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    paintBackground(painter);
    paintContent(painter);
}

void Control::changeEvent(QEvent* event) {
    if (event->type() == QEvent::EnabledChange || event->type() == QEvent::LayoutDirectionChange)
        update();
    // Moved into a window (a list row made apart): the window's fonts now apply, so
    // controls sized by their text measure again.
    if (event->type() == QEvent::ParentChange) {
        if (auto_width_)
            updateGeometry();
        for (Control* c : findChildren<Control*>()) {
            if (c->auto_width_)
                c->updateGeometry();
        }
    }
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
        paintText(painter, text_, textArea(), currentTextColor());
}

void Control::enterEvent(QEnterEvent*) {
    hot_ = true;
    update();
}

void Control::leaveEvent(QEvent*) {
    hot_ = false;
    update();
}

namespace {

// The size that `html` takes in `font` laid out at `width`, and the width it would want.
struct HtmlLayout {
    QSizeF size;
    qreal ideal_width = 0;
};
HtmlLayout layOutHtml(const QFont& font, const QString& html, int width) {
    QTextDocument doc;
    doc.setDefaultFont(font);
    doc.setDocumentMargin(0);
    doc.setHtml(html);
    doc.setTextWidth(width);
    return {doc.size(), doc.idealWidth()};
}

}  // namespace

bool hasRightToLeftLetter(const QString& text) {
    return std::any_of(text.cbegin(), text.cend(),
                       [](QChar c) { return c.direction() == QChar::DirR || c.direction() == QChar::DirAL; });
}

bool Control::textFits() const {
    if (text_.isEmpty())
        return true;
    const QRect area = textArea();
    const QFont font = controlFont();
    if (show_html_) {
        const HtmlLayout html = layOutHtml(font, text_, area.width());
        return html.ideal_width <= area.width() + 0.5 && html.size.height() <= area.height() + 0.5;
    }
    const QFontMetrics metrics(font);
    if (align_ & Qt::TextWordWrap) {
        // A word longer than the line would be broken inside the word.
        const QRect needed =
            metrics.boundingRect(QRect(0, 0, area.width(), 1 << 20), Qt::TextWordWrap, text_);
        return needed.width() <= area.width() && needed.height() <= area.height();
    }
    return metrics.horizontalAdvance(text_) <= area.width() && metrics.height() <= area.height();
}

int Control::textHeightForWidth(int width) const {
    const Skin& s = skin();
    const int pad_h = s.scaled(text_padding_.left()) + s.scaled(text_padding_.right());
    const int pad_v = s.scaled(text_padding_.top()) + s.scaled(text_padding_.bottom());
    const int w = std::max(1, width - pad_h);
    const QFont font = controlFont();
    if (show_html_)
        return static_cast<int>(layOutHtml(font, text_, w).size.height() + 0.5) + pad_v;
    const int flags = (align_ & Qt::TextWordWrap) ? Qt::TextWordWrap : Qt::TextSingleLine;
    return QFontMetrics(font).boundingRect(QRect(0, 0, w, 1 << 20), flags, text_).height() + pad_v;
}

void Control::paintText(QPainter& painter, const QString& text, const QRect& rect, QColor color) {
    QFont font = controlFont();
    painter.setFont(font);
    // The interface language sets the paragraph direction, not the first letter of
    // the text: an Arabic label that starts with a Latin name still reads right to left.
    painter.setLayoutDirection(layoutDirection());
    const int flags = visualTextFlags();
    if (show_html_) {
        QTextDocument doc;
        doc.setDefaultFont(font);
        doc.setDocumentMargin(0);
        QTextOption option(Qt::Alignment(flags & Qt::AlignHorizontal_Mask));
        option.setTextDirection(layoutDirection());
        option.setWrapMode(QTextOption::WordWrap);
        doc.setDefaultTextOption(option);
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
    // A text without a right-to-left letter (a file name, "24.6 MB", "1920x1080") keeps
    // its own order in a mirrored window: LEFT-TO-RIGHT ISOLATE ... POP DIRECTIONAL ISOLATE.
    if (layoutDirection() == Qt::RightToLeft && !hasRightToLeftLetter(shown))
        shown = QChar(0x2066) + shown + QChar(0x2069);
    painter.drawText(rect, flags, shown);
}

}  // namespace ui
