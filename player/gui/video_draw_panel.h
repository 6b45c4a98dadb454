#pragma once
// CVideoDrawPanel: the crop rectangle over the preview picture. The user draws a new
// rectangle, moves it, or pulls one of its corners; the rectangle is kept in video
// pixels and reported through IDrawPanelEvent after every change.
//
// The picture is a native window that SDL draws into, opaque to Qt's painting, and
// an X server without a compositor has no see-through windows. So the panel takes the
// mouse of the picture window itself and the player core draws the rectangle over
// each picture from PlayerShared's overlay word.

#include <QObject>
#include <QPointer>
#include <QWidget>

#include "player/crop_panel_model.h"
#include "player/player_shared.h"

namespace player::gui {

class IDrawPanelEvent {
public:
    virtual ~IDrawPanelEvent() = default;
    // The rectangle changed, video pixels.
    virtual void rectChanged(float x, float y, float width, float height) = 0;
};

class CVideoDrawPanel : public QObject {
    Q_OBJECT
public:
    CVideoDrawPanel(IDrawPanelEvent* sink, int video_width, int video_height);
    ~CVideoDrawPanel() override;

    // Takes the mouse of `window` (the picture) and draws through `shared` (either
    // may be null: then nothing is drawn).
    void create(QWidget* window, PlayerShared* shared);
    void setShared(PlayerShared* shared);
    bool isCreated() const { return window_ != nullptr; }
    // The picture's place: its client size sets the scale. False for an empty place
    // or before create().
    bool place(int left, int top, int right, int bottom, int video_width, int video_height);

    const CropRect& rect() const { return model_.rect(); }
    void setRect(const CropRect& r) { model_.setRect(r); }
    void setKeepRatio(bool keep, float ratio) { model_.setKeepRatio(keep, ratio); }
    bool keepRatio() const { return model_.keepRatio(); }
    float scale() const { return model_.scale(); }
    const CropPanelModel& model() const { return model_; }
    // Draws the rectangle as it is now.
    void repaint();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void notifyChange();
    void updateCursor(const QPoint& p);

    IDrawPanelEvent* sink_;
    CropPanelModel model_;
    QPointer<QWidget> window_;
    PlayerShared* shared_ = nullptr;
};

}  // namespace player::gui
