#include "player/gui/video_draw_panel.h"

#include <QEvent>
#include <QMouseEvent>

#include "ui/skin.h"

namespace player::gui {

namespace {
Qt::CursorShape cursorFor(DragMode mode) {
    switch (mode) {
        case DragMode::Move:
            return Qt::SizeAllCursor;
        case DragMode::TopLeft:
        case DragMode::BottomRight:
            return Qt::SizeFDiagCursor;
        case DragMode::BottomLeft:
        case DragMode::TopRight:
            return Qt::SizeBDiagCursor;
        case DragMode::None:
            break;
    }
    return Qt::ArrowCursor;
}
}  // namespace

CVideoDrawPanel::CVideoDrawPanel(IDrawPanelEvent* sink, int video_width, int video_height)
    : sink_(sink), model_(video_width, video_height) {}

CVideoDrawPanel::~CVideoDrawPanel() {
    if (shared_)
        shared_->overlay.store(0);
}

void CVideoDrawPanel::create(QWidget* window, PlayerShared* shared) {
    if (window_)
        window_->removeEventFilter(this);
    window_ = window;
    shared_ = shared;
    if (window_)
        window_->installEventFilter(this);
}

void CVideoDrawPanel::setShared(PlayerShared* shared) {
    shared_ = shared;
    repaint();
}

bool CVideoDrawPanel::place(int left, int top, int right, int bottom, int video_width, int video_height) {
    if (left == right || !window_)
        return false;
    if (video_width != model_.videoWidth() || video_height != model_.videoHeight()) {
        CropPanelModel resized(video_width, video_height);
        resized.setRect(model_.rect());
        resized.setKeepRatio(model_.keepRatio(), video_height > 0 ? float(video_width) / video_height : 0.0f);
        model_ = resized;
    }
    model_.place(right - left, bottom - top);
    repaint();
    return true;
}

void CVideoDrawPanel::repaint() {
    if (!shared_)
        return;
    if (!window_ || model_.clientWidth() <= 0) {
        shared_->overlay.store(0);
        return;
    }
    // The core draws in device pixels, the mouse comes in logical ones.
    const qreal dpr = window_->devicePixelRatioF();
    const Rect r = model_.screenRect();
    shared_->overlay_corner.store(static_cast<int>(ui::skin().scaled(12) * dpr));
    shared_->overlay.store(packOverlay(static_cast<int>(r.x * dpr), static_cast<int>(r.y * dpr),
                                       static_cast<int>(r.w * dpr), static_cast<int>(r.h * dpr)));
}

void CVideoDrawPanel::notifyChange() {
    const CropRect& r = model_.rect();
    repaint();
    if (sink_)
        sink_->rectChanged(r.x, r.y, r.w, r.h);
}

void CVideoDrawPanel::updateCursor(const QPoint& p) {
    const DragMode mode = model_.dragging() ? model_.dragMode() : model_.hitZone(p.x(), p.y());
    window_->setCursor(model_.dragging() && mode == DragMode::None ? Qt::CrossCursor : cursorFor(mode));
}

bool CVideoDrawPanel::eventFilter(QObject* watched, QEvent* event) {
    if (watched != window_ || model_.clientWidth() <= 0)
        return QObject::eventFilter(watched, event);
    switch (event->type()) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonDblClick: {
            auto* m = static_cast<QMouseEvent*>(event);
            const QPoint p = m->position().toPoint();
            if (m->button() == Qt::LeftButton) {
                model_.press(p.x(), p.y());
                updateCursor(p);
            } else if (m->button() == Qt::RightButton) {
                model_.cancel();
                window_->setCursor(Qt::ArrowCursor);
                repaint();
            }
            return true;
        }
        case QEvent::MouseMove: {
            auto* m = static_cast<QMouseEvent*>(event);
            const QPoint p = m->position().toPoint();
            if (model_.move(p.x(), p.y()))
                notifyChange();
            updateCursor(p);
            return true;
        }
        case QEvent::MouseButtonRelease: {
            auto* m = static_cast<QMouseEvent*>(event);
            if (m->button() != Qt::LeftButton)
                return true;
            const QPoint p = m->position().toPoint();
            if (model_.release(p.x(), p.y()))
                notifyChange();
            updateCursor(p);
            return true;
        }
        case QEvent::Leave:
            // Qt keeps the mouse grabbed while a button is down; only a hover ends here.
            if (!model_.dragging())
                window_->setCursor(Qt::ArrowCursor);
            break;
        case QEvent::Hide:
            model_.cancel();
            break;
        default:
            break;
    }
    return QObject::eventFilter(watched, event);
}

}  // namespace player::gui
