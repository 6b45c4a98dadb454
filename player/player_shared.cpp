#include "player/player_shared.h"

#include <algorithm>

namespace player {

std::uint64_t packOverlay(int x, int y, int w, int h) {
    auto part = [](int v, int shift) {
        return static_cast<std::uint64_t>(std::clamp(v, 0, 0xFFFF)) << shift;
    };
    return part(x, 48) | part(y, 32) | part(w, 16) | part(h, 0);
}

OverlayRect unpackOverlay(std::uint64_t packed) {
    auto part = [&](int shift) { return static_cast<int>((packed >> shift) & 0xFFFF); };
    return {part(48), part(32), part(16), part(0)};
}

void PlayerShared::resetCounters() {
    for (auto* c : {&shown, &late_drops, &early_drops, &uploads, &seeks, &eof_markers, &av_samples}) {
        c->store(0);
    }
    last_av_diff.store(0.0);
    sum_abs_av_diff.store(0.0);
    first_picture_at.store(0.0);
}

PlayerCounters PlayerShared::counters() const {
    PlayerCounters c;
    c.shown = shown.load();
    c.late_drops = late_drops.load();
    c.early_drops = early_drops.load();
    c.uploads = uploads.load();
    c.seeks = seeks.load();
    c.eof_markers = eof_markers.load();
    c.av_samples = av_samples.load();
    c.last_av_diff = last_av_diff.load();
    c.mean_abs_av_diff = c.av_samples ? sum_abs_av_diff.load() / static_cast<double>(c.av_samples) : 0.0;
    return c;
}

}  // namespace player
