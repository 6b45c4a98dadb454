#include "player/gui/media_window.h"

#include <QGuiApplication>
#include <QPainter>

namespace player::gui {

namespace {
bool nativePlatform() {
    const QString name = QGuiApplication::platformName();
    return name != QLatin1String("offscreen") && name != QLatin1String("minimal");
}
}  // namespace

MediaSurface::MediaSurface(QWidget* parent) : QWidget(parent), native_(nativePlatform()) {
    setObjectName(QStringLiteral("WndMediaDisplay"));
    // Only this window is native: the layout around it stays ordinary widgets.
    setAttribute(Qt::WA_DontCreateNativeAncestors);
    setAttribute(Qt::WA_NativeWindow);
    setAttribute(Qt::WA_NoSystemBackground);
    setAttribute(Qt::WA_OpaquePaintEvent);
    if (native_)
        setAttribute(Qt::WA_PaintOnScreen);
    setMouseTracking(true);  // the crop overlay's cursor follows the pointer
    resize(1, 1);
}

QPaintEngine* MediaSurface::paintEngine() const {
    return native_ ? nullptr : QWidget::paintEngine();
}

void MediaSurface::paintEvent(QPaintEvent*) {
    if (!native_) {
        QPainter(this).fillRect(rect(), Qt::black);
    }
    if (on_expose)
        on_expose();
}

CWndUI::CWndUI() : surface_(new MediaSurface(this)) {}

std::uintptr_t CWndUI::nativeWindow() const {
    return static_cast<std::uintptr_t>(surface_->winId());
}

void CWndUI::placeSurface(const QRect& r) {
    surface_->setGeometry(r);
    surface_->setVisible(!r.isEmpty());
}

}  // namespace player::gui
