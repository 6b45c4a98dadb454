#pragma once
// The crop overlay's rectangle and its mouse rules, without a window: the rectangle
// in video pixels, the scale to the picture on screen, the hit zones of its inside and
// corners, and what a press, a move and a release do to it. The overlay window feeds
// it client coordinates and draws what it says.

#include "player/clip_rules.h"

namespace player {

enum class DragMode { None = 0, Move = 1, TopLeft = 2, BottomLeft = 3, TopRight = 4, BottomRight = 5 };

class CropPanelModel {
public:
    // Pixels the pointer must travel before a drag step counts; also the half width of
    // the corner zones.
    static constexpr int kTolerance = 5;
    // The smallest side a corner drag leaves, video pixels.
    static constexpr int kMinSide = 2;

    CropPanelModel(int video_width, int video_height);

    int videoWidth() const { return vw_; }
    int videoHeight() const { return vh_; }
    // The client size of the overlay in screen pixels (the picture); sets the scale:
    // 1.0 when the video fits, else the smaller of the two ratios.
    void place(int client_width, int client_height);
    int clientWidth() const { return cw_; }
    int clientHeight() const { return ch_; }
    float scale() const { return scale_; }

    const CropRect& rect() const { return rect_; }
    void setRect(const CropRect& r) { rect_ = r; }
    bool keepRatio() const { return keep_; }
    // `ratio` is video width / height; ignored when not positive.
    void setKeepRatio(bool keep, float ratio);

    // The rectangle on screen (client pixels): left, top and the truncated width and
    // height. Empty when the rectangle is.
    Rect screenRect() const;
    DragMode hitZone(int x, int y) const;

    bool dragging() const { return dragging_; }
    DragMode dragMode() const { return mode_; }

    // Left button down at client (x, y): starts a drag in the zone under the point
    // (None draws a new rectangle from there).
    void press(int x, int y);
    // Pointer move while the button is down. True when the rectangle changed.
    bool move(int x, int y);
    // Left button up: ends the drag. True when the rectangle changed.
    bool release(int x, int y);
    // The drag is dropped (right button, the pointer left, capture lost).
    void cancel() {
        dragging_ = false;
        mode_ = DragMode::None;
    }

private:
    void clampButton(int& x, int& y) const;
    void clampMove(int& x, int& y) const;
    bool step(int x, int y);
    bool drawTo(int x, int y);
    // Sets the rectangle from a fixed corner (fx, fy) and a size w × h that grows
    // towards sx, sy (+1 right/down, -1 left/up): inside the picture, at least
    // kMinSide, with the ratio when kept, even whole sizes.
    void settle(float fx, float fy, int sx, int sy, float w, float h);

    int vw_, vh_;
    int cw_ = 0, ch_ = 0;
    float scale_ = 1.0f;
    CropRect rect_;
    bool keep_ = false;
    float ratio_ = 1.0f;
    bool dragging_ = false;
    DragMode mode_ = DragMode::None;
    int anchor_x_ = 0, anchor_y_ = 0;  // last point a step was taken at
    int origin_x_ = 0, origin_y_ = 0;  // the press, where a new rectangle starts
};

}  // namespace player
