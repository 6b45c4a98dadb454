#include "ui/window.h"

#include <QApplication>
#include <QCloseEvent>
#include <QEventLoop>
#include <QMimeData>
#include <QPainter>
#include <QPainterPath>
#include <QPointer>
#include <QScreen>
#include <QThread>
#include <QVBoxLayout>
#include <QWindow>
#include <condition_variable>
#include <mutex>

#include "ui/builder.h"
#include "ui/skin.h"

namespace ui {

namespace {

QEvent::Type messageEventType() {
    static const auto type = static_cast<QEvent::Type>(QEvent::registerEventType());
    return type;
}

struct Reply {
    std::mutex mutex;
    std::condition_variable cv;
    bool done = false;  // guarded by mutex
    platform::LParam value = 0;

    void set(platform::LParam v) {
        std::lock_guard lock(mutex);
        if (done)
            return;
        value = v;
        done = true;
        cv.notify_all();
    }
};

// One posted message. Destroying it unhandled (the window went away with it still
// queued) releases a waiting sender with 0.
class MessageEvent : public QEvent {
public:
    MessageEvent(std::uint32_t id, platform::WParam w, platform::LParam l, std::shared_ptr<Reply> reply)
        : QEvent(messageEventType()), id(id), wparam(w), lparam(l), reply(std::move(reply)) {}
    ~MessageEvent() override {
        if (reply)
            reply->set(0);
    }
    std::uint32_t id;
    platform::WParam wparam;
    platform::LParam lparam;
    std::shared_ptr<Reply> reply;
};

}  // namespace

// The window's side of post/send, shared with workers that keep a handle. `window`
// is cleared (under `mutex`) when the window is destroyed.
struct Window::Port : platform::MessageTarget {
    std::mutex mutex;
    Window* window = nullptr;  // guarded by mutex

    bool post(std::uint32_t id, platform::WParam w, platform::LParam l) override {
        std::lock_guard lock(mutex);
        if (!window)
            return false;
        QCoreApplication::postEvent(window, new MessageEvent(id, w, l, nullptr));
        return true;
    }

    platform::LParam send(std::uint32_t id, platform::WParam w, platform::LParam l) override {
        auto reply = std::make_shared<Reply>();
        {
            std::unique_lock lock(mutex);
            if (!window)
                return 0;
            if (QThread::currentThread() == window->thread()) {
                Window* target = window;
                lock.unlock();
                return target->onCustomMessage(id, w, l);
            }
            QCoreApplication::postEvent(window, new MessageEvent(id, w, l, reply));
        }
        std::unique_lock wait(reply->mutex);
        reply->cv.wait(wait, [&] { return reply->done; });
        return reply->value;
    }
};

Window::Window(QWidget* owner)
    : QWidget(owner, Qt::Window | Qt::FramelessWindowHint), owner_(owner), port_(std::make_shared<Port>()) {
    port_->window = this;
    auto* frame = new QVBoxLayout(this);
    frame->setContentsMargins(0, 0, 0, 0);
    default_font_ = QApplication::font();
    default_font_.setPixelSize(skin().scaled(13));
}

Window::~Window() {
    std::lock_guard lock(port_->mutex);
    port_->window = nullptr;
}

bool Window::create(const std::string& layout) {
    auto bytes = skin().read(layout);
    if (!bytes)
        return false;
    return createFromXml(*bytes);
}

bool Window::createFromXml(const QByteArray& xml) {
    Builder builder(this);
    if (!builder.buildWindow(xml))
        return false;
    if (!inited_) {
        inited_ = true;
        sendNotify(Notify{"windowinit", nullptr, 0, 0});
    }
    return true;
}

Control* Window::buildControl(const std::string& layout) {
    auto bytes = skin().read(layout);
    if (!bytes)
        return nullptr;
    return Builder(this).buildControl(*bytes);
}

void Window::applyWindowAttributes(const QHash<QString, QString>& a) {
    const Skin& s = skin();
    if (a.contains("size")) {
        QMargins m = parseMargins(a.value("size").toStdString());
        size_units_ = QSize(m.left(), m.top());
    }
    caption_ = parseMargins(a.value("caption").toStdString());
    if (a.contains("roundcorner"))
        round_ = parseMargins(a.value("roundcorner").toStdString()).left();
    resizable_ = a.contains("sizebox") || a.contains("mininfo");
    if (a.contains("mininfo")) {
        QMargins m = parseMargins(a.value("mininfo").toStdString());
        setMinimumSize(s.scaled(m.left()), s.scaled(m.top()));
    }
    if (a.contains("defaulttextcolor"))
        default_text_color_ = parseColor(a.value("defaulttextcolor").toStdString());
    if (a.contains("title"))
        setWindowTitle(a.value("title"));
    if (a.value("dropfiles") == QLatin1String("true"))
        setAcceptDrops(true);
    const bool wants_shadow = a.value("shadow") != QLatin1String("false");
    shadow_ = (wants_shadow && s.shadowEnabled()) ? s.scaled(14) : 0;
    setAttribute(Qt::WA_TranslucentBackground, shadow_ > 0);
    updateMargins();
}

void Window::updateMargins() {
    const int m = isMaximized() ? 0 : shadow_;
    layout()->setContentsMargins(m, m, m, m);
    if (!size_units_.isEmpty()) {
        const Skin& s = skin();
        resize(s.scaled(size_units_.width()) + 2 * m, s.scaled(size_units_.height()) + 2 * m);
    }
}

void Window::setRoot(Control* root) {
    delete root_;
    root_ = root;
    layout()->addWidget(root);
    root->show();
}

Control* Window::find(std::string_view name) const {
    if (!root_)
        return nullptr;
    if (root_->objectName() == QLatin1StringView(name.data(), name.size()))
        return root_;
    return root_->find(name);
}

QFont Window::layoutFont(int id) const {
    return fonts_.value(id, default_font_);
}

void Window::addLayoutFont(int id, const QFont& font, bool make_default) {
    fonts_.insert(id, font);
    if (make_default)
        default_font_ = font;
}

Control* Window::createControl(std::string_view tag) {
    return createRegisteredControl(tag);
}

void Window::sendNotify(Notify n) {
    QPointer<Window> self(this);
    notify(n);
    if (!self || n.type != "click" || !n.sender)
        return;
    // The caption buttons every skinned window shares.
    const QString name = n.sender->objectName();
    if (name == QLatin1String("closebtn")) {
        QWidget::close();
    } else if (name == QLatin1String("minbtn")) {
        showMinimized();
    } else if (name == QLatin1String("maxbtn")) {
        showMaximized();
    } else if (name == QLatin1String("restorebtn")) {
        showNormal();
    }
}

void Window::notify(Notify&) {}

platform::LParam Window::onCustomMessage(std::uint32_t, platform::WParam, platform::LParam) {
    return 0;
}

void Window::detachMessages() {
    {
        std::lock_guard lock(port_->mutex);
        port_->window = nullptr;
    }
    // Deleting the queued events answers their senders with 0.
    QCoreApplication::removePostedEvents(this, messageEventType());
}

bool Window::post(std::uint32_t id, platform::WParam wparam, platform::LParam lparam) {
    return port_->post(id, wparam, lparam);
}

platform::LParam Window::send(std::uint32_t id, platform::WParam wparam, platform::LParam lparam) {
    return port_->send(id, wparam, lparam);
}

std::shared_ptr<platform::MessageTarget> Window::messageTarget() const {
    return port_;
}

bool Window::event(QEvent* event) {
    // Other threads post their messages under the port's lock; taking it before the
    // message is read makes that hand-off, and what the sender wrote before it, visible
    // to ThreadSanitizer, which cannot see the lock of Qt's queue. Uncontended, it
    // costs next to nothing.
    { std::lock_guard lock(port_->mutex); }
    if (event->type() == messageEventType()) {
        auto* m = static_cast<MessageEvent*>(event);
        platform::LParam r = onCustomMessage(m->id, m->wparam, m->lparam);
        if (m->reply)
            m->reply->set(r);
        return true;
    }
    return QWidget::event(event);
}

int Window::showModal(int default_result) {
    result_ = default_result;
    setWindowModality(owner_ ? Qt::WindowModal : Qt::ApplicationModal);
    centerOnOwner();
    show();
    raise();
    activateWindow();
    QEventLoop loop;
    modal_loop_ = &loop;
    QPointer<Window> self(this);
    loop.exec(QEventLoop::DialogExec);
    if (self)
        modal_loop_ = nullptr;
    return result_;
}

void Window::close(int result) {
    result_ = result;
    hide();
    if (modal_loop_)
        modal_loop_->exit(0);
}

void Window::closeEvent(QCloseEvent* event) {
    // A close request from the system (title bar, Alt+F4) keeps the default result.
    event->accept();
    if (modal_loop_)
        modal_loop_->exit(0);
}

void Window::centerOnOwner() {
    QRect area;
    if (owner_ && owner_->isVisible()) {
        area = owner_->window()->frameGeometry();
    } else if (QScreen* screen = QGuiApplication::primaryScreen()) {
        area = screen->availableGeometry();
    }
    if (area.isEmpty())
        return;
    move(area.center() - QPoint(width() / 2, height() / 2));
}

void Window::resizeClient(int width_units, int height_units) {
    const Skin& s = skin();
    const int m = 2 * shadow_;
    int w = width_units < 0 ? width() : s.scaled(width_units) + m;
    int h = height_units < 0 ? height() : s.scaled(height_units) + m;
    if (width_units >= 0)
        size_units_.setWidth(width_units);
    if (height_units >= 0)
        size_units_.setHeight(height_units);
    resize(w, h);
    centerOnOwner();
}

void Window::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
}

void Window::changeEvent(QEvent* event) {
    if (event->type() == QEvent::WindowStateChange) {
        const int m = isMaximized() ? 0 : shadow_;
        layout()->setContentsMargins(m, m, m, m);
        update();
    }
    QWidget::changeEvent(event);
}

void Window::paintEvent(QPaintEvent*) {
    if (shadow_ <= 0 || isMaximized())
        return;
    // A soft shadow: rounded rings fading outwards, darker towards the bottom.
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF frame = QRectF(rect()).adjusted(shadow_, shadow_, -shadow_, -shadow_);
    const qreal r = skin().scaled(round_);
    painter.setPen(Qt::NoPen);
    for (int i = shadow_; i > 0; --i) {
        const qreal t = 1.0 - qreal(i) / shadow_;
        QColor c(16, 24, 40, static_cast<int>(2 + 16 * t * t));
        painter.setBrush(c);
        QRectF ring = frame.adjusted(-i, -i + i / 3.0, i, i + i / 3.0);
        painter.drawRoundedRect(ring, r + i, r + i);
    }
}

bool Window::inCaption(const QPoint& pos) const {
    if (caption_.bottom() <= 0 || !root_)
        return false;
    const Skin& s = skin();
    QPoint p = pos - root_->geometry().topLeft();
    const bool rtl = layoutDirection() == Qt::RightToLeft;
    const int left = s.scaled(rtl ? caption_.right() : caption_.left());
    const int right = s.scaled(rtl ? caption_.left() : caption_.right());
    return p.y() >= s.scaled(caption_.top()) && p.y() < s.scaled(caption_.bottom()) && p.x() >= left &&
           p.x() < root_->width() - right;
}

void Window::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && inCaption(event->position().toPoint())) {
        // The window manager moves the window when it can; else we do.
        if (windowHandle() && windowHandle()->startSystemMove())
            return;
        dragging_ = true;
        drag_offset_ = event->globalPosition().toPoint() - frameGeometry().topLeft();
        return;
    }
    QWidget::mousePressEvent(event);
}

void Window::mouseMoveEvent(QMouseEvent* event) {
    if (dragging_)
        move(event->globalPosition().toPoint() - drag_offset_);
}

void Window::mouseReleaseEvent(QMouseEvent*) {
    dragging_ = false;
}

void Window::mouseDoubleClickEvent(QMouseEvent* event) {
    if (resizable_ && event->button() == Qt::LeftButton && inCaption(event->position().toPoint())) {
        isMaximized() ? showNormal() : showMaximized();
    }
}

void Window::dragEnterEvent(QDragEnterEvent* event) {
    if (event->mimeData()->hasUrls())
        event->acceptProposedAction();
}

void Window::dropEvent(QDropEvent* event) {
    std::vector<std::string> paths;
    for (const QUrl& url : event->mimeData()->urls()) {
        if (url.isLocalFile())
            paths.push_back(url.toLocalFile().toStdString());
    }
    if (!paths.empty()) {
        event->acceptProposedAction();
        onDropFiles(paths);
    }
}

}  // namespace ui
