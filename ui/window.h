#pragma once
// Window: a frameless skinned top-level window built from a layout of the skin.
// It draws its own caption area (drag to move, double-click to maximise when the
// window can be resized) and drop shadow, finds controls by name, receives the
// notifications of its controls, runs modally with a result, accepts dropped
// files, and is the GUI's MessageTarget: post() and send() work from any thread
// and are handled on the window's thread by onCustomMessage(), each poster's
// messages in the order posted.

#include <QFont>
#include <QHash>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/message_target.h"
#include "ui/control.h"

class QEventLoop;

namespace ui {

class Container;

// Message ids of the layer itself.
inline constexpr std::uint32_t kMenuCommandMessage = 1145;  // wparam: const MenuCommand*

class Window : public QWidget, public platform::MessageTarget {
    Q_OBJECT
public:
    explicit Window(QWidget* owner = nullptr);
    ~Window() override;

    // Builds the window from `layout` (a skin entry such as "dlg_message.xml"). False
    // when the layout is missing or not well-formed; the window then stays empty.
    bool create(const std::string& layout);
    // The layout text instead of a skin entry (tests, tools).
    bool createFromXml(const QByteArray& xml);

    // The first control named `name`, or null.
    Control* find(std::string_view name) const;
    template <class T>
    T* find(std::string_view name) const {
        return dynamic_cast<T*>(find(name));
    }
    Control* root() const { return root_; }

    // Controls of tags the layer does not know; null skips the element. The base
    // asks the registered control classes.
    virtual Control* createControl(std::string_view tag);
    // Notifications of the window's controls. The base handles "closebtn",
    // "minbtn", "maxbtn" and "restorebtn" clicks and "windowinit".
    virtual void notify(Notify& notify);
    // Numbered messages from post() / send(); the result goes back to send().
    virtual platform::LParam onCustomMessage(std::uint32_t id, platform::WParam wparam,
                                             platform::LParam lparam);
    // Files dropped on a window whose layout says dropfiles="true".
    virtual void onDropFiles(const std::vector<std::string>& paths) {}

    // MessageTarget. A message for a window that is gone is refused (post false,
    // send 0); send() from the window's own thread is handled at once.
    bool post(std::uint32_t id, platform::WParam wparam, platform::LParam lparam) override;
    platform::LParam send(std::uint32_t id, platform::WParam wparam, platform::LParam lparam) override;
    // A handle that workers may keep: it refuses messages once the window is gone.
    std::shared_ptr<platform::MessageTarget> messageTarget() const;

    // Shows the window modally (its owner disabled) and returns the result given to
    // close(result), or `default_result` when it was closed another way.
    int showModal(int default_result = 0);
    // Ends the modal loop with `result` and hides the window.
    void close(int result);
    int result() const { return result_; }
    void centerOnOwner();
    // Resizes the client area to layout units (-1 keeps a side) and centres.
    void resizeClient(int width_units, int height_units);

    // The shadow this window draws (off when the skin's shadow is off).
    bool hasShadow() const { return shadow_ > 0; }
    // Device-independent pixels of the shadow margin around the frame.
    int shadowMargin() const { return shadow_; }
    // The caption area in layout units ("caption" of the layout).
    const QMargins& captionUnits() const { return caption_; }

    // Fonts of the layout (<Font id=...>); -1 or an unknown id gives the default.
    QFont layoutFont(int id) const;
    QColor defaultTextColor() const { return default_text_color_; }
    void addLayoutFont(int id, const QFont& font, bool make_default);

    // Delivers a notification now (controls call this).
    void sendNotify(Notify notify);

    // Builds a sub-layout (a list row) from a skin entry; null when it fails. The
    // caller adds it to a container.
    Control* buildControl(const std::string& layout);

protected:
    // From now on messages are refused, and those still queued are dropped (a waiting
    // send() returns 0). A window whose workers may block in send() calls this before
    // it stops them.
    void detachMessages();

    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void changeEvent(QEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    bool event(QEvent* event) override;

private:
    friend class Builder;
    struct Port;
    bool inCaption(const QPoint& pos) const;
    void setRoot(Control* root);
    void applyWindowAttributes(const QHash<QString, QString>& attributes);
    void updateMargins();

    QWidget* owner_;
    Control* root_ = nullptr;
    std::shared_ptr<Port> port_;
    QEventLoop* modal_loop_ = nullptr;
    int result_ = 0;
    bool inited_ = false;
    bool resizable_ = false;
    int shadow_ = 0;
    int round_ = 0;
    QMargins caption_;
    QSize size_units_;
    QHash<int, QFont> fonts_;
    QFont default_font_;
    QColor default_text_color_{0x33, 0x33, 0x33};
    bool dragging_ = false;
    QPoint drag_offset_;
};

}  // namespace ui
