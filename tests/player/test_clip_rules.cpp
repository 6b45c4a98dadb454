// The clip dialog's rules without a window: typed times, the clip range, slider
// formulas, the seek filter, the picture's fit, the crop edits and the crop overlay's
// mouse rules.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>

#include "player/clip_rules.h"
#include "player/crop_panel_model.h"

using namespace player;

TEST(ClipTimeText, ReadsTwoColonTimesAndCorrectsOnePartPerPass) {
    EXPECT_EQ(clockText(3723), "01:02:03");
    EXPECT_EQ(clockText(90000), "01:00:00");  // a time of day wraps at 24 hours

    TimeText t = parseTimeText("01:02:03");
    EXPECT_EQ(t.kind, TimeText::Kind::Seconds);
    EXPECT_EQ(t.seconds, 3723);
    t = parseTimeText("25:00:00");
    EXPECT_EQ(t.kind, TimeText::Kind::Rewrite);
    EXPECT_EQ(t.text, "00:00:00");
    EXPECT_EQ(parseTimeText("1:75:00").text, "1:00:00");
    EXPECT_EQ(parseTimeText("1:05:99").text, "1:05:00");
    // A rewritten text is read again: both wrong parts end up corrected.
    EXPECT_EQ(parseTimeText(parseTimeText("30:75:10").text).text, "00:00:10");
    EXPECT_EQ(parseTimeText("x:1:2").seconds, 62);  // non-digits count as 0

    EXPECT_EQ(parseTimeText("12:00").kind, TimeText::Kind::Fallback);
    EXPECT_EQ(parseTimeText("1:2:3:4").kind, TimeText::Kind::Fallback);
    EXPECT_EQ(parseTimeText("-1:00:00").kind, TimeText::Kind::Fallback);
    EXPECT_EQ(parseTimeText("00:-5:00").kind, TimeText::Kind::Fallback);
    EXPECT_EQ(leadingInt("99999999999999"), 2147483647);
}

TEST(ClipRange, KeepsStartBeforeEndAndASecondBetweenThumbs) {
    ClipTimes t(7200, 1000);
    EXPECT_EQ(t.end(), 7200);
    EXPECT_EQ(t.typeStart(3723), ClipTimes::Typed::Accepted);
    EXPECT_EQ(t.start(), 3723);
    EXPECT_EQ(t.units(3723), 517);
    EXPECT_EQ(t.typeStart(7200), ClipTimes::Typed::Refused);  // not below the duration
    EXPECT_FALSE(t.typeEnd(3000));                            // before the start
    EXPECT_FALSE(t.typeEnd(3723));                            // an empty clip
    EXPECT_FALSE(t.typeEnd(7201));
    EXPECT_TRUE(t.typeEnd(4000));
    // A start past the end is taken, and the end moves out of its way.
    EXPECT_EQ(t.typeStart(5000), ClipTimes::Typed::EndMoved);
    EXPECT_EQ(t.end(), 7200);

    ClipTimes d(100, 1000);
    d.set(0, 100);
    EXPECT_FALSE(d.dragSecond(400));
    EXPECT_EQ(d.end(), 40);
    // The first thumb dragged onto the end stops a second before it.
    auto corrected = d.dragFirst(400);
    ASSERT_TRUE(corrected);
    EXPECT_EQ(d.start(), 39);
    EXPECT_EQ(*corrected, d.units(39));
    d.set(40, 100);
    corrected = d.dragSecond(400);
    ASSERT_TRUE(corrected);
    EXPECT_EQ(d.end(), 41);
    ClipTimes empty(0, 1000);
    EXPECT_EQ(empty.units(10), 0);
}

TEST(ClipSliders, FormulasAtTheirStatedPoints) {
    EXPECT_FLOAT_EQ(outputSpeedFor(100), 1.5f);
    EXPECT_FLOAT_EQ(outputSpeedFor(50), 1.0f);
    EXPECT_FLOAT_EQ(outputSpeedFor(0), 0.5f);
    EXPECT_EQ(speedText(outputSpeedFor(72)), "1.2");
    EXPECT_FLOAT_EQ(outputVolumeFor(155), 1.5f);
    EXPECT_FLOAT_EQ(outputVolumeFor(70), 0.7f);
    EXPECT_EQ(liveVolumeFor(50, 100), 64);
    EXPECT_EQ(liveVolumeFor(100, 100), 128);

    // Fast forward at 55 s of 100 s asks for 65, through the position slider.
    const int t = fastJumpTarget(55.4, 100, true);
    EXPECT_EQ(t, 65);
    const int value = sliderValueFor(t, 100, 1000);
    EXPECT_EQ(value, 650);
    EXPECT_EQ(sliderSeconds(value, 1000, 100), 65);
    EXPECT_EQ(sliderValueFor(fastJumpTarget(5, 100, false), 100, 1000), 0);
    EXPECT_EQ(fastJumpTarget(95, 100, true), 100);
    EXPECT_EQ(fastJumpTarget(10, 50, true), 15);  // a tenth of a short file is not 0
    EXPECT_EQ(sliderValueFor(3, 0, 1000), 0);
}

TEST(ClipSeekFilter, DropsARepeatOnlyWhilePlaybackIsStillThere) {
    resetSeekTargetForTest();
    EXPECT_TRUE(passSeekTarget(30, 12.0));
    EXPECT_FALSE(passSeekTarget(30, 30.4));  // the same second again: already there
    EXPECT_TRUE(passSeekTarget(31, 30.4));
    // Playback went on; seeking back to the same second works.
    EXPECT_TRUE(passSeekTarget(31, 45.0));
}

TEST(ClipPicture, FitsTheAreaAndIsCentred) {
    EXPECT_EQ(fitPicture({10, 20, 640, 360}, 320, 240), (Rect{170, 80, 320, 240}));
    EXPECT_EQ(fitPicture({0, 0, 572, 320}, 1280, 720), (Rect{2, 0, 568, 320}));
    EXPECT_EQ(fitPicture({0, 0, 572, 320}, 1920, 800), (Rect{0, 41, 572, 238}));
    EXPECT_EQ(fitPicture({0, 0, 572, 320}, 0, 0).w, 0);
}

TEST(ClipCropEdits, ClampToThePictureAndFollowTheRatio) {
    const CropRect whole{0, 0, 1920, 1080};
    CropEdit e = editCrop(CropField::X, "100", whole, 1920, 1080, false);
    EXPECT_TRUE(e.changed);
    EXPECT_EQ(e.rect, (CropRect{100, 0, 1820, 1080}));
    EXPECT_EQ(e.width_text, "1820");
    EXPECT_FALSE(e.own_text);
    e = editCrop(CropField::X, "5000", whole, 1920, 1080, false);
    EXPECT_EQ(e.own_text, "1919");
    EXPECT_EQ(e.rect.w, 1.0f);
    EXPECT_FALSE(editCrop(CropField::X, "0", whole, 1920, 1080, false).changed);

    e = editCrop(CropField::Width, "0", whole, 1920, 1080, false);
    EXPECT_EQ(e.own_text, "1");
    e = editCrop(CropField::Width, "5000", {100, 0, 800, 600}, 1920, 1080, false);
    EXPECT_EQ(e.own_text, "1820");
    EXPECT_EQ(e.rect.w, 1820.0f);

    // Keep ratio: the height follows, and both shrink rather than leave the picture.
    e = editCrop(CropField::Width, "960", {0, 0, 1920, 1080}, 1920, 1080, true);
    EXPECT_EQ(e.rect, (CropRect{0, 0, 960, 540}));
    EXPECT_EQ(e.height_text, "540");
    e = editCrop(CropField::Width, "1600", {0, 600, 800, 450}, 1920, 1080, true);
    EXPECT_FLOAT_EQ(e.rect.h, 480.0f);
    EXPECT_FLOAT_EQ(e.rect.w, 480.0f * 1920 / 1080);
    EXPECT_EQ(e.own_text, "853");
    e = editCrop(CropField::Height, "1080", {1000, 0, 800, 450}, 1920, 1080, true);
    EXPECT_LE(e.rect.x + e.rect.w, 1920.0f);
    EXPECT_FALSE(editCrop(CropField::Height, "10", whole, 0, 0, true).changed);
}

namespace {
// Drags from `from` to `to` in steps of `step` pixels, as a mouse would report it.
bool drag(CropPanelModel& m, int fx, int fy, int tx, int ty, int step = 5) {
    m.press(fx, fy);
    bool changed = false;
    const int n = std::max(std::abs(tx - fx), std::abs(ty - fy)) / step;
    for (int i = 1; i <= n; ++i)
        changed |= m.move(fx + (tx - fx) * i / n, fy + (ty - fy) * i / n);
    changed |= m.release(tx, ty);
    return changed;
}
bool inside(const CropRect& r, int vw, int vh) {
    return r.x >= 0 && r.y >= 0 && r.w > 0 && r.h > 0 && r.x + r.w <= vw && r.y + r.h <= vh;
}
}  // namespace

TEST(CropOverlay, CornersMoveAndStepsAtHalfScale) {
    CropPanelModel m(1920, 1080);
    m.place(960, 540);
    EXPECT_FLOAT_EQ(m.scale(), 0.5f);
    m.setRect({100, 100, 800, 400});
    // The bottom-right corner sits at screen (450, 250).
    EXPECT_EQ(m.hitZone(450, 250), DragMode::BottomRight);
    EXPECT_EQ(m.hitZone(50, 50), DragMode::TopLeft);
    EXPECT_EQ(m.hitZone(50, 250), DragMode::BottomLeft);
    EXPECT_EQ(m.hitZone(442, 42), DragMode::TopRight);  // reaches further inside
    EXPECT_EQ(m.hitZone(200, 150), DragMode::Move);
    EXPECT_EQ(m.hitZone(700, 400), DragMode::None);

    EXPECT_TRUE(drag(m, 450, 250, 550, 250));
    EXPECT_EQ(m.rect(), (CropRect{100, 100, 1000, 400}));
    // Limited by the right edge of the video.
    drag(m, 550, 250, 990, 250);
    EXPECT_FLOAT_EQ(m.rect().x + m.rect().w, 1920.0f);

    // A move of 4 pixels does nothing, and the anchor stays where it was.
    m.setRect({100, 100, 800, 400});
    m.press(200, 150);
    EXPECT_FALSE(m.move(204, 150));
    EXPECT_TRUE(m.move(205, 150));
    EXPECT_FLOAT_EQ(m.rect().x, 110.0f);
    m.release(205, 150);
    EXPECT_FALSE(m.dragging());
}

TEST(CropOverlay, KeepRatioAndEdgesKeepTheRectangleInThePicture) {
    CropPanelModel m(1920, 1080);
    m.place(960, 540);
    m.setKeepRatio(true, 1920.0f / 1080.0f);
    m.setRect({0, 0, 640, 360});
    drag(m, 320, 180, 421, 180);
    const CropRect& r = m.rect();
    EXPECT_EQ(static_cast<int>(r.w) % 2, 0);
    EXPECT_EQ(static_cast<int>(r.h) % 2, 0);
    EXPECT_NEAR(r.h, r.w * 9 / 16, 1.0);
    EXPECT_GT(r.w, 800.0f);

    // Moving against the right edge stops there: the crossing step is undone.
    m.setKeepRatio(false, 0);
    m.setRect({1000, 0, 900, 200});
    m.press(700, 50);
    m.move(707, 50);
    EXPECT_FLOAT_EQ(m.rect().x, 1014.0f);
    m.move(714, 50);
    EXPECT_FLOAT_EQ(m.rect().x, 1014.0f);
    m.release(714, 50);

    // A corner pulled past the opposite side leaves the smallest rectangle, not an
    // inverted one; one pulled out of the picture stops at its edge.
    m.setRect({100, 100, 400, 400});
    drag(m, 50, 50, 500, 500);
    EXPECT_TRUE(inside(m.rect(), 1920, 1080));
    EXPECT_FLOAT_EQ(m.rect().x + m.rect().w, 500.0f);
    m.setRect({100, 100, 400, 400});
    drag(m, 50, 50, -200, -300);
    EXPECT_EQ(m.rect(), (CropRect{0, 0, 500, 500}));
}

TEST(CropOverlay, DrawsANewRectangleThatNeverLeavesThePicture) {
    CropPanelModel m(1280, 720);
    m.place(640, 360);
    m.setRect({0, 0, 0, 0});
    // A zero-width rectangle has no inside to grab.
    EXPECT_EQ(m.hitZone(20, 20), DragMode::None);
    EXPECT_TRUE(drag(m, 100, 50, 300, 150));
    EXPECT_EQ(m.rect(), (CropRect{200, 100, 400, 200}));
    // Drawn towards the top left, past the window's edges.
    EXPECT_TRUE(drag(m, 600, 300, -50, -80));
    EXPECT_TRUE(inside(m.rect(), 1280, 720));
    EXPECT_FLOAT_EQ(m.rect().x + m.rect().w, 1200.0f);
    // With keep ratio the drawn rectangle has the picture's shape and fits it.
    m.setKeepRatio(true, 1280.0f / 720.0f);
    drag(m, 400, 300, 640, 360);
    EXPECT_TRUE(inside(m.rect(), 1280, 720));
    EXPECT_NEAR(m.rect().w / m.rect().h, 1280.0f / 720.0f, 0.05);
    // A click without a drag changes nothing.
    const CropRect before = m.rect();
    EXPECT_FALSE(drag(m, 30, 30, 32, 31));
    EXPECT_EQ(m.rect(), before);
}
