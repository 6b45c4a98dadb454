#pragma once
// Control: the base of every element of a layout. A control is a QWidget that
// paints its own background (colour, border, rounded corners, image string) and
// text, is found by its name, takes attributes by name at run time, and reports
// user actions to its window as named notifications ("click", "valuechanged", ...).
//
// Sizes, paddings and font sizes are layout units, scaled by the skin's display
// scale when applied. Unknown attributes are ignored (setAttribute returns false).

#include <QColor>
#include <QFont>
#include <QMargins>
#include <QWidget>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <string>
#include <string_view>
#include <utility>

#include "ui/image_string.h"

namespace ui {

class Control;

// Whether `text` holds a right-to-left letter; a text without one (a file name, a path,
// "24.6 MB") keeps its own left-to-right order in a mirrored window.
bool hasRightToLeftLetter(const QString& text);
class Window;

// One notification, delivered to the window that holds the sender.
struct Notify {
    std::string type;  // "click", "selectchanged", "textchanged", ...
    Control* sender = nullptr;
    std::intptr_t wparam = 0;
    std::intptr_t lparam = 0;

    bool is(std::string_view t, std::string_view sender_name) const;
};

class Control : public QWidget {
    Q_OBJECT
public:
    explicit Control(QWidget* parent = nullptr);
    ~Control() override;

    std::string name() const { return objectName().toStdString(); }
    void setName(const std::string& name) { setObjectName(QString::fromStdString(name)); }
    // The layout tag that built it ("Button"); set by the builder.
    const std::string& tag() const { return tag_; }
    void setTag(std::string tag) { tag_ = std::move(tag); }

    virtual std::string text() const { return text_.toStdString(); }
    virtual void setText(const std::string& text);

    // Own visibility flag (a control inside a hidden page still counts as shown).
    bool isShown() const { return !isHidden(); }
    void setShown(bool shown) { setVisible(shown); }

    virtual bool isChecked() const { return false; }
    virtual void setChecked(bool) {}

    void setToolTipText(const std::string& text) { setToolTip(QString::fromStdString(text)); }
    std::string toolTipText() const { return toolTip().toStdString(); }

    // Free text from the layout ("userdata") and a number for code (a task pointer).
    const std::string& userData() const { return user_data_; }
    void setUserData(std::string data) { user_data_ = std::move(data); }
    std::uintptr_t userTag() const { return user_tag_; }
    void setUserTag(std::uintptr_t tag) { user_tag_ = tag; }

    // Progress and slider values; other controls ignore them (value 0).
    virtual int value() const { return 0; }
    virtual void setValue(int) {}
    virtual int minimum() const { return 0; }
    virtual int maximum() const { return 0; }
    virtual void setRange(int, int) {}

    // Sets one attribute by its layout name; false when this control has no such
    // attribute. Subclasses handle theirs and pass the rest to the base.
    virtual bool setAttribute(std::string_view name, std::string_view value);

    // The first control named `name` below this one (depth first), or null.
    Control* find(std::string_view name) const;
    template <class T>
    T* find(std::string_view name) const {
        return dynamic_cast<T*>(find(name));
    }

    // The skinned window that holds this control, or null.
    Window* ownerWindow() const;
    // Sends a notification to the window (nothing when there is none).
    void notify(std::string_view type, std::intptr_t wparam = 0, std::intptr_t lparam = 0);

    // Layout units wanted by the layout ("width", "height"); 0 = take what is given.
    int fixedWidthUnits() const { return fixed_width_; }
    int fixedHeightUnits() const { return fixed_height_; }
    const QMargins& paddingUnits() const { return padding_; }
    // "float" controls are placed at "pos" inside their container, outside the flow.
    bool isFloat() const { return float_; }
    const QRect& floatPosUnits() const { return float_pos_; }
    // "autocalcwidth": the width follows the content; a line layout gives the control
    // that width and shares the rest among the others.
    bool autoWidth() const { return auto_width_; }

    // Pixels the text needs at `width` pixels, with the control's font, wrapping and
    // text padding (dialogs grow to fit long messages).
    int textHeightForWidth(int width) const;
    // Whether the text, in the control's font, fits the room it is drawn in
    // without being elided or cut (true when there is no text).
    virtual bool textFits() const;

    QSize minimumSizeHint() const override { return {auto_width_ ? autoWidthPixels() : 0, 0}; }
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void changeEvent(QEvent* event) override;
    // Hover: the mouse is over the control (repainted on the change, for the controls
    // that have a hot look).
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    bool hot() const { return hot_; }
    // Background, border and images; then the content (text by default).
    virtual void paintBackground(QPainter& painter);
    virtual void paintContent(QPainter& painter);
    // The state images and colours a subclass wants drawn now.
    virtual const ImageSpec& currentImage() const { return bk_image_; }
    virtual QColor currentBackground() const { return bk_color_; }
    virtual QColor currentTextColor() const;
    // The rectangle for text: the control minus "textpadding".
    QRect textRect() const;
    // Where the text is drawn: textRect() unless a subclass draws something beside it.
    virtual QRect textArea() const { return textRect(); }
    void paintText(QPainter& painter, const QString& text, const QRect& rect, QColor color);
    int textFlags() const { return align_; }
    // textFlags() with left and right swapped when the control reads right to left.
    int visualTextFlags() const;
    bool showHtml() const { return show_html_; }
    QFont controlFont() const;
    QRectF frameRect() const;
    int radius() const;

    QString text_;
    // "autocalcwidth": the pixels the text needs with its padding, in the control's
    // font, at least "minwidth" (a container: what its children need).
    virtual int autoWidthPixels() const;

private:
    static void applyWordBreak(Control& c, std::string_view value);
    std::string tag_;
    std::string user_data_;
    std::uintptr_t user_tag_ = 0;
    int fixed_width_ = 0, fixed_height_ = 0;
    int min_width_ = 0;  // layout units
    QMargins padding_;
    bool float_ = false;
    QRect float_pos_;
    QColor bk_color_, bk_color2_, border_color_, focus_border_color_, text_color_, disabled_text_color_;
    int border_size_ = 0, border_round_ = 0;
    ImageSpec bk_image_, fore_image_;
    QMargins text_padding_;
    int align_ = Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine;
    bool end_ellipsis_ = true;
    bool show_html_ = false;
    bool auto_width_ = false;
    bool hot_ = false;
    int font_size_ = 0;  // layout units; 0 = the window's default font
    int font_weight_ = 0;
    int font_id_ = -1;
};

// Colours in layouts: "#RRGGBB", "#AARRGGBB" or "0xAARRGGBB". Invalid colour when
// the text is none of these.
QColor parseColor(std::string_view text);
// "l,t,r,b" in layout units; fewer numbers give zeros.
QMargins parseMargins(std::string_view text);
bool parseBool(std::string_view text);

// The look of a control's state: the first of `states` that holds and has its look set
// (an image that is not empty, a valid colour); null when none does.
inline bool isLookSet(const ImageSpec& image) {
    return !image.empty();
}
inline bool isLookSet(const QColor& color) {
    return color.isValid();
}
template <class Look>
const Look* stateLook(std::initializer_list<std::pair<bool, const Look*>> states) {
    for (const auto& [holds, look] : states) {
        if (holds && isLookSet(*look))
            return look;
    }
    return nullptr;
}

// A control's attribute table: sets the member of `control` that `table` names `name`
// to `parse(value)`. False when the table has no such name.
template <class C, class T, std::size_t N, class Parse>
bool setMemberAttribute(C& control, const std::pair<std::string_view, T C::*> (&table)[N],
                        std::string_view name, std::string_view value, Parse parse) {
    for (const auto& [key, member] : table) {
        if (key == name) {
            control.*member = parse(value);
            return true;
        }
    }
    return false;
}

// Tag → control class. Built-in controls register themselves from their own file
// with QUORIN_UI_CONTROL; windows add their own through Window::createControl.
using ControlCreator = std::function<Control*()>;
bool registerControl(const std::string& tag, ControlCreator creator);
// A new control for `tag` (case-insensitive), or null when no class has that tag.
Control* createRegisteredControl(std::string_view tag);

#define QUORIN_UI_CONTROL(TagText, ClassName)                             \
    [[maybe_unused]] static const bool quorin_ui_registered_##ClassName = \
        ::ui::registerControl(TagText, []() -> ::ui::Control* { return new ClassName; })

}  // namespace ui
