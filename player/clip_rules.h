#pragma once
// The clip dialog's rules that need no window: time texts, slider formulas, the
// picture's place in its area, the crop edits' clamps and the seek filter of the
// position slider. The dialog binds its controls to these.

#include <optional>
#include <string>
#include <string_view>

#include "player/player_rules.h"

namespace player {

// A crop rectangle in video pixels.
struct CropRect {
    float x = 0, y = 0, w = 0, h = 0;
    bool operator==(const CropRect&) const = default;
};

// The integer at the start of `text` as the C runtime reads it: leading blanks, an
// optional sign, then digits; anything else ends it (no digits give 0). Saturates
// instead of overflowing.
int leadingInt(std::string_view text);

// Seconds as a time of day: "HH:MM:SS", wrapping at 24 hours.
std::string clockText(int seconds);

// What a typed clip time says: a number of seconds, a corrected text to put into the
// edit instead, or "put the fallback text back".
struct TimeText {
    enum class Kind { Seconds, Rewrite, Fallback };
    Kind kind = Kind::Fallback;
    int seconds = 0;   // Kind::Seconds
    std::string text;  // Kind::Rewrite
};
// Exactly two colons; hours from 25 become "00", minutes or seconds from 60 become
// "00" (one part per pass: the rewritten text is read again). Negative times fall back.
TimeText parseTimeText(std::string_view text);

// The clip range of the dialog: start and end in whole seconds and the two thumbs of
// the range slider in its units (range maximum `range_max`).
class ClipTimes {
public:
    ClipTimes(int duration, int range_max);
    int duration() const { return duration_; }
    int start() const { return start_; }
    int end() const { return end_; }
    void set(int start, int end) {
        start_ = start;
        end_ = end;
    }
    // The thumb value of a time: seconds / seconds-per-unit, truncated.
    int units(int seconds) const;

    enum class Typed { Refused, Accepted, EndMoved };
    // A time typed into the start edit: accepted below the duration. A start at or
    // past the end also moves the end to the duration, so the clip never runs
    // backwards (EndMoved).
    Typed typeStart(int seconds);
    // A time typed into the end edit: accepted when after the start and within the
    // duration.
    bool typeEnd(int seconds);

    // A drag of the first or second thumb to `value`. Returns the value the thumb must
    // be moved to when the drag would leave less than a second between start and end.
    std::optional<int> dragFirst(int value);
    std::optional<int> dragSecond(int value);

private:
    int duration_;
    int range_max_;
    float seconds_per_unit_;
    int start_ = 0;
    int end_ = 0;
};

// Position slider value → seek target, whole seconds (truncated).
int sliderSeconds(int value, int maximum, int duration);
// Seconds → position slider value (rounded, so that it reads back as the same second
// whenever the slider has at least one unit per second).
int sliderValueFor(double seconds, int duration, int maximum);
// A jump a tenth of the duration back or forward from `position`, whole seconds within
// 0..duration.
int fastJumpTarget(double position, int duration, bool forward);
// Live volume of the player (0..128) for the playback volume slider.
int liveVolumeFor(int value, int maximum);
// Output volume and speed factors (0.1 steps) of their sliders.
float outputVolumeFor(int value);
float outputSpeedFor(int value);
// "%.1f".
std::string speedText(float speed);

// The process-wide memory of the last seek target the position slider sent. A
// target equal to the last one is dropped while the playback is still in that second
// (the picture is there already); once it has moved on, the same target seeks again.
// Returns whether to seek, and remembers the target when so.
bool passSeekTarget(int target, double position);
void resetSeekTargetForTest();

// Where a picture of vw × vh goes in `area`: its own size when it fits, else scaled
// down (aspect kept) to the area's width or height, centred.
Rect fitPicture(const Rect& area, int vw, int vh);

// One of the four crop edits was changed to `text`.
enum class CropField { X, Y, Width, Height };
struct CropEdit {
    bool changed = false;  // the rectangle is new (else nothing at all happens)
    CropRect rect;
    std::optional<std::string> own_text;    // text for the edit that was typed in
    std::optional<std::string> width_text;  // new "edtWidth" (when another edit changed it)
    std::optional<std::string> height_text;
};
// Clamps the typed value to the picture; with keep ratio the other side follows the
// video's aspect, and both shrink when that would leave the picture.
CropEdit editCrop(CropField field, std::string_view text, const CropRect& current, int vw, int vh,
                  bool keep_ratio);

}  // namespace player
