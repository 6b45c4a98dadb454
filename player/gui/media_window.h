#pragma once
// "WndMediaDisplay": the layout's place for the picture. It holds a native child
// window (MediaSurface) whose X11 id the player core renders into; the dialog puts the
// surface where the picture fits. Qt never paints the surface: SDL owns its pixels.

#include <QWidget>
#include <cstdint>
#include <functional>

#include "ui/control.h"

namespace player::gui {

class MediaSurface : public QWidget {
    Q_OBJECT
public:
    explicit MediaSurface(QWidget* parent);
    // Qt paints nothing here; on platforms without native windows (offscreen) the
    // surface paints itself black instead.
    QPaintEngine* paintEngine() const override;
    // Called when the window system asks for the surface to be drawn again.
    std::function<void()> on_expose;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    bool native_;
};

class CWndUI : public ui::Control {
    Q_OBJECT
public:
    CWndUI();
    MediaSurface* surface() const { return surface_; }
    // The surface's native window id (created on first use).
    std::uintptr_t nativeWindow() const;
    // Moves the surface to `r` (this control's pixels).
    void placeSurface(const QRect& r);

private:
    MediaSurface* surface_;
};

}  // namespace player::gui
