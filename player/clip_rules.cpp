#include "player/clip_rules.h"

#include <algorithm>
#include <atomic>
#include <cctype>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstdio>

namespace player {

int leadingInt(std::string_view text) {
    size_t i = 0;
    while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i])))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-'))
        negative = text[i++] == '-';
    std::int64_t v = 0;
    for (; i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])); ++i) {
        v = std::min<std::int64_t>(v * 10 + (text[i] - '0'), std::int64_t(INT_MAX) + 1);
    }
    if (negative)
        v = -v;
    return static_cast<int>(std::clamp<std::int64_t>(v, INT_MIN, INT_MAX));
}

std::string clockText(int seconds) {
    // A time of day: negative values count back from midnight, as gmtime would.
    int s = seconds % 86400;
    if (s < 0)
        s += 86400;
    char buf[16];
    std::snprintf(buf, sizeof buf, "%02d:%02d:%02d", s / 3600, s / 60 % 60, s % 60);
    return buf;
}

TimeText parseTimeText(std::string_view text) {
    const size_t first = text.find(':');
    if (first == std::string_view::npos || std::count(text.begin(), text.end(), ':') != 2)
        return {};
    const size_t second = text.find(':', first + 1);
    const std::string_view hours_part = text.substr(0, first);
    const std::string_view minutes_part = text.substr(first + 1, second - first - 1);
    const std::string_view seconds_part = text.substr(second + 1);
    const int hours = leadingInt(hours_part);
    if (hours >= 25)
        return {TimeText::Kind::Rewrite, 0, "00:" + std::string(text.substr(first + 1))};
    const int minutes = leadingInt(minutes_part);
    if (minutes >= 60)
        return {TimeText::Kind::Rewrite, 0, std::string(hours_part) + ":00:" + std::string(seconds_part)};
    const int secs = leadingInt(seconds_part);
    if (secs >= 60)
        return {TimeText::Kind::Rewrite, 0,
                std::string(hours_part) + ":" + std::string(minutes_part) + ":00"};
    const std::int64_t total = (std::int64_t(hours) * 60 + minutes) * 60 + secs;
    if (hours < 0 || minutes < 0 || secs < 0 || total < 0)
        return {};
    return {TimeText::Kind::Seconds, static_cast<int>(total), {}};
}

ClipTimes::ClipTimes(int duration, int range_max)
    : duration_(duration),
      range_max_(std::max(1, range_max)),
      seconds_per_unit_(static_cast<float>(duration) * (1.0f / static_cast<float>(std::max(1, range_max)))),
      end_(duration) {}

int ClipTimes::units(int seconds) const {
    if (seconds_per_unit_ <= 0.0f)
        return 0;
    return static_cast<int>(static_cast<float>(seconds) / seconds_per_unit_);
}

ClipTimes::Typed ClipTimes::typeStart(int seconds) {
    if (seconds < 0 || seconds >= duration_)
        return Typed::Refused;
    start_ = seconds;
    if (start_ < end_)
        return Typed::Accepted;
    end_ = duration_;
    return Typed::EndMoved;
}

bool ClipTimes::typeEnd(int seconds) {
    if (seconds <= start_ || seconds > duration_)
        return false;
    end_ = seconds;
    return true;
}

std::optional<int> ClipTimes::dragFirst(int value) {
    start_ = sliderSeconds(value, range_max_, duration_);
    if (start_ == end_ && start_ > 0) {
        start_ = end_ - 1;
        return units(start_);
    }
    return std::nullopt;
}

std::optional<int> ClipTimes::dragSecond(int value) {
    end_ = sliderSeconds(value, range_max_, duration_);
    if (end_ == start_ && end_ < duration_) {
        end_ = start_ + 1;
        return units(end_);
    }
    return std::nullopt;
}

int sliderSeconds(int value, int maximum, int duration) {
    if (maximum <= 0)
        return 0;
    return static_cast<int>(std::int64_t(duration) * value / maximum);
}

int sliderValueFor(double seconds, int duration, int maximum) {
    if (duration <= 0)
        return 0;
    return static_cast<int>(std::lround(seconds * maximum / duration));
}

int fastJumpTarget(double position, int duration, bool forward) {
    const double tenth = duration / 10.0;
    const double t = std::trunc(forward ? position + tenth : position - tenth);
    return static_cast<int>(std::clamp(t, 0.0, static_cast<double>(std::max(0, duration))));
}

int liveVolumeFor(int value, int maximum) {
    if (maximum <= 0)
        return 0;
    return static_cast<int>(static_cast<double>(value) / maximum * 128);
}

// Both in whole tenths, computed in integers: 0.7 must not become 0.6.
float outputVolumeFor(int value) {
    return static_cast<float>(value / 10) / 10.0f;
}

float outputSpeedFor(int value) {
    return static_cast<float>((value + 50) / 10) / 10.0f;
}

std::string speedText(float speed) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.1f", speed);
    return buf;
}

namespace {
std::atomic<int> last_seek_target{0};
}

bool passSeekTarget(int target, double position) {
    if (target == last_seek_target.load() && std::floor(position) == target)
        return false;
    last_seek_target.store(target);
    return true;
}

void resetSeekTargetForTest() {
    last_seek_target.store(0);
}

Rect fitPicture(const Rect& area, int vw, int vh) {
    int w = vw, h = vh;
    if (area.w <= 0 || area.h <= 0 || vw <= 0 || vh <= 0)
        return {area.x, area.y, 0, 0};
    if (vw > area.w || vh > area.h) {
        const float rw = static_cast<float>(vw) / area.w;
        const float rh = static_cast<float>(vh) / area.h;
        if (rw >= rh) {
            w = area.w;
            h = static_cast<int>(vh / rw);
        } else {
            h = area.h;
            w = static_cast<int>(vw / rh);
        }
    }
    return {area.x + area.w / 2 - w / 2, area.y + area.h / 2 - h / 2, w, h};
}

namespace {

std::string number(float v) {
    return std::to_string(static_cast<int>(v));
}

// Offset along one axis: within the picture, and the size cut to what is left.
void clampOffset(int& v, float& size, int limit, CropEdit& out, std::optional<std::string>& size_text) {
    if (v < 0) {
        v = 0;
        out.own_text = "0";
    } else if (v > limit) {
        v = limit - 1;
        out.own_text = number(static_cast<float>(v));
    }
    if (size + static_cast<float>(v) > static_cast<float>(limit)) {
        size = static_cast<float>(limit - v);
        size_text = number(size);
    }
}

// A size along one axis: at least 1, within the picture from its offset.
void clampSize(int& v, float offset, int limit, CropEdit& out) {
    if (v <= 0) {
        v = 1;
        out.own_text = "1";
    } else if (v > limit) {
        v = limit;
        out.own_text = number(static_cast<float>(v));
    }
    if (offset + static_cast<float>(v) > static_cast<float>(limit)) {
        v = static_cast<int>(static_cast<float>(limit) - offset);
        out.own_text = number(static_cast<float>(v));
    }
}

}  // namespace

CropEdit editCrop(CropField field, std::string_view text, const CropRect& current, int vw, int vh,
                  bool keep_ratio) {
    CropEdit out;
    out.rect = current;
    if (vw <= 0 || vh <= 0)
        return out;
    int v = leadingInt(text);
    CropRect& r = out.rect;
    const float ratio = static_cast<float>(vw) / static_cast<float>(vh);
    // The edited axis (x and width, or y and height) and the one across it.
    const bool horizontal = field == CropField::X || field == CropField::Width;
    float& offset = horizontal ? r.x : r.y;
    float& size = horizontal ? r.w : r.h;
    const int limit = horizontal ? vw : vh;
    float& across_offset = horizontal ? r.y : r.x;
    float& across_size = horizontal ? r.h : r.w;
    const int across_limit = horizontal ? vh : vw;
    std::optional<std::string>& size_text = horizontal ? out.width_text : out.height_text;
    std::optional<std::string>& across_text = horizontal ? out.height_text : out.width_text;
    // The video's aspect from one side to the other.
    const auto acrossOf = [&](float along) { return horizontal ? along / ratio : ratio * along; };
    const auto alongOf = [&](float across) { return horizontal ? across * ratio : across / ratio; };
    if (field == CropField::X || field == CropField::Y) {
        if (v == static_cast<int>(offset))
            return out;
        clampOffset(v, size, limit, out, size_text);
        offset = static_cast<float>(v);
    } else {
        if (v == static_cast<int>(size))
            return out;
        clampSize(v, offset, limit, out);
        size = static_cast<float>(v);
        if (keep_ratio) {
            across_size = acrossOf(size);
            // The side that follows must stay inside the picture too.
            if (across_offset + across_size > static_cast<float>(across_limit)) {
                across_size = static_cast<float>(across_limit) - across_offset;
                size = alongOf(across_size);
                out.own_text = number(size);
            }
            across_text = number(across_size);
        }
    }
    out.changed = true;
    return out;
}

}  // namespace player
