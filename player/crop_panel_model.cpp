#include "player/crop_panel_model.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace player {

CropPanelModel::CropPanelModel(int video_width, int video_height) : vw_(video_width), vh_(video_height) {}

void CropPanelModel::place(int client_width, int client_height) {
    cw_ = client_width;
    ch_ = client_height;
    if (vw_ <= 0 || vh_ <= 0 || (cw_ >= vw_ && ch_ >= vh_)) {
        scale_ = 1.0f;
    } else {
        scale_ = std::min(static_cast<float>(cw_) / vw_, static_cast<float>(ch_) / vh_);
    }
    if (scale_ <= 0.0f)
        scale_ = 1.0f;
}

void CropPanelModel::setKeepRatio(bool keep, float ratio) {
    keep_ = keep;
    if (ratio > 0.0f)
        ratio_ = ratio;
}

Rect CropPanelModel::screenRect() const {
    const float l = rect_.x * scale_, t = rect_.y * scale_;
    return {static_cast<int>(l), static_cast<int>(t),
            static_cast<int>(l + rect_.w * scale_) - static_cast<int>(l),
            static_cast<int>(t + rect_.h * scale_) - static_cast<int>(t)};
}

DragMode CropPanelModel::hitZone(int x, int y) const {
    const float l = rect_.x * scale_, t = rect_.y * scale_;
    const int r = static_cast<int>(l + rect_.w * scale_);
    const int b = static_cast<int>(t + rect_.h * scale_);
    const float X = static_cast<float>(x), Y = static_cast<float>(y);
    constexpr int k = kTolerance;
    if (X >= l + k && x <= r - k && Y >= t + k && y <= b - k)
        return DragMode::Move;
    if (X > l - k && X < l + k) {
        if (Y > t - k && Y < t + k)
            return DragMode::TopLeft;
        if (y > b - k && y < b + k)
            return DragMode::BottomLeft;
    }
    // The top-right zone reaches twice as far: its corner mark sits there.
    if (x > r - 2 * k && x < r + k && Y > t - 2 * k && Y < t + k)
        return DragMode::TopRight;
    if (x > r - k && x < r + k && y > b - k && y < b + k)
        return DragMode::BottomRight;
    return DragMode::None;
}

void CropPanelModel::clampButton(int& x, int& y) const {
    x = std::clamp(x, 1, std::max(1, cw_ - 1));
    y = std::clamp(y, 1, std::max(1, ch_ - 1));
}

void CropPanelModel::clampMove(int& x, int& y) const {
    x = std::clamp(x, 0, std::max(0, cw_));
    y = std::clamp(y, 0, std::max(0, ch_));
}

void CropPanelModel::press(int x, int y) {
    if (dragging_)
        return;
    clampButton(x, y);
    dragging_ = true;
    anchor_x_ = origin_x_ = x;
    anchor_y_ = origin_y_ = y;
    mode_ = hitZone(x, y);
}

bool CropPanelModel::move(int x, int y) {
    if (!dragging_)
        return false;
    clampMove(x, y);
    return step(x, y);
}

bool CropPanelModel::release(int x, int y) {
    if (!dragging_)
        return false;
    clampButton(x, y);
    // The last stretch since the previous step still counts.
    const bool changed = step(x, y);
    cancel();
    return changed;
}

bool CropPanelModel::step(int x, int y) {
    if (std::max(std::abs(x - anchor_x_), std::abs(y - anchor_y_)) < kTolerance)
        return false;
    const float dx = static_cast<float>(x - anchor_x_) / scale_;
    const float dy_free = static_cast<float>(y - anchor_y_) / scale_;
    anchor_x_ = x;
    anchor_y_ = y;
    CropRect& r = rect_;
    switch (mode_) {
        case DragMode::None:
            return drawTo(x, y);
        case DragMode::Move:
            // A step that would cross the right or bottom edge is undone, not clipped.
            r.x += dx;
            if (r.x < 0)
                r.x = 0;
            else if (r.x + r.w > static_cast<float>(vw_))
                r.x -= dx;
            r.y += dy_free;
            if (r.y < 0)
                r.y = 0;
            else if (r.y + r.h > static_cast<float>(vh_))
                r.y -= dy_free;
            return true;
        case DragMode::TopLeft:
            settle(r.x + r.w, r.y + r.h, -1, -1, r.w - dx, r.h - dy_free);
            return true;
        case DragMode::BottomLeft:
            settle(r.x + r.w, r.y, -1, 1, r.w - dx, r.h + dy_free);
            return true;
        case DragMode::TopRight:
            settle(r.x, r.y + r.h, 1, -1, r.w + dx, r.h - dy_free);
            return true;
        case DragMode::BottomRight:
            settle(r.x, r.y, 1, 1, r.w + dx, r.h + dy_free);
            return true;
    }
    return false;
}

bool CropPanelModel::drawTo(int x, int y) {
    const int sx = x >= origin_x_ ? 1 : -1;
    const int sy = y >= origin_y_ ? 1 : -1;
    settle(origin_x_ / scale_, origin_y_ / scale_, sx, sy, std::abs(x - origin_x_) / scale_,
           std::abs(y - origin_y_) / scale_);
    return true;
}

void CropPanelModel::settle(float fx, float fy, int sx, int sy, float w, float h) {
    fx = std::clamp(fx, 0.0f, static_cast<float>(vw_));
    fy = std::clamp(fy, 0.0f, static_cast<float>(vh_));
    const float room_x = sx > 0 ? static_cast<float>(vw_) - fx : fx;
    const float room_y = sy > 0 ? static_cast<float>(vh_) - fy : fy;
    w = std::clamp(w, std::min<float>(kMinSide, room_x), room_x);
    h = std::clamp(h, std::min<float>(kMinSide, room_y), room_y);
    if (keep_) {
        h = w / ratio_;
        if (h > room_y) {
            h = room_y;
            w = h * ratio_;
        }
    }
    // Whole, even sizes (encoders want them); lowered instead of raised at an edge.
    auto even = [](float v, float room) {
        int n = static_cast<int>(v);
        if (n % 2)
            n += n + 1 <= room ? 1 : -1;
        return static_cast<float>(n);
    };
    w = even(w, room_x);
    h = even(h, room_y);
    rect_.w = w;
    rect_.h = h;
    rect_.x = sx > 0 ? fx : fx - w;
    rect_.y = sy > 0 ? fy : fy - h;
}

}  // namespace player
