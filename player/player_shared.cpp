#include "player/player_shared.h"

namespace player {

void PlayerShared::resetCounters() {
    for (auto* c : {&shown, &late_drops, &early_drops, &uploads, &seeks, &eof_markers, &av_samples}) {
        c->store(0);
    }
    last_av_diff.store(0.0);
    sum_abs_av_diff.store(0.0);
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
