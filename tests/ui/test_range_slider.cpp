// The two-thumb range slider under synthetic mouse and key events (offscreen).
#include <gtest/gtest.h>

#include <QTest>
#include <memory>

#include "qt_env.h"
#include "ui/range_slider.h"
#include "ui/skin.h"
#include "ui/window.h"

using ui::CRangeSliderUI;

namespace {

class Host : public ui::Window {
public:
    void notify(ui::Notify& n) override {
        if (n.type == "valuechanged")
            ++value_changes;
    }
    int value_changes = 0;
};

// A slider 400 pixels wide with range 0..max, in a window of its own.
struct Fixture {
    explicit Fixture(int max) {
        ui::skin().setScaleDpi(96);
        EXPECT_TRUE(host.createFromXml(QByteArray("<Window size=\"400,40\"><RangeSlider name=\"r\" max=\"") +
                                       QByteArray::number(max) + "\" value2=\"" + QByteArray::number(max) +
                                       "\"/></Window>"));
        slider = host.find<CRangeSliderUI>("r");
        host.show();
        slider->setGeometry(0, 0, 400, 40);
    }
    void press(int x) { QTest::mousePress(slider, Qt::LeftButton, {}, QPoint(x, 20)); }
    void moveTo(int x) { QTest::mouseMove(slider, QPoint(x, 20)); }
    void release(int x) { QTest::mouseRelease(slider, Qt::LeftButton, {}, QPoint(x, 20)); }
    Host host;
    CRangeSliderUI* slider = nullptr;
};

}  // namespace

TEST(RangeSlider, DefaultsAndScaledThumbSize) {
    CRangeSliderUI s;
    EXPECT_EQ(s.minimum(), 0);
    EXPECT_EQ(s.maximum(), 100);
    EXPECT_EQ(s.value(CRangeSliderUI::kFirst), 0);
    EXPECT_EQ(s.value(CRangeSliderUI::kSecond), 0);
    EXPECT_EQ(s.thumbSize(CRangeSliderUI::kFirst), QSize(10, 10));
    EXPECT_STREQ(CRangeSliderUI::className(), "RangeSliderUI");
    ui::skin().setScaleDpi(144);
    s.setAttribute("thumbsize", "16,20");
    ui::skin().setScaleDpi(96);
    EXPECT_EQ(s.thumbSize(CRangeSliderUI::kFirst), QSize(24, 30));
    EXPECT_EQ(s.thumbSize(CRangeSliderUI::kSecond), QSize(24, 30));
    s.setValue(500, CRangeSliderUI::kSecond);
    EXPECT_EQ(s.value(CRangeSliderUI::kSecond), 100);
}

TEST(RangeSlider, ThumbsMeetButNeverCrossAndReportOncePerDrag) {
    Fixture f(1000);
    std::vector<CRangeSliderUI::Event::Type> seen;
    f.slider->subscribe([&](CRangeSliderUI& s, const CRangeSliderUI::Event& e) {
        if (e.type == CRangeSliderUI::Event::Type::MouseMove &&
            (s.thumbState(CRangeSliderUI::kFirst) & CRangeSliderUI::kCaptured))
            seen.push_back(e.type);
    });
    f.slider->setValue(500, CRangeSliderUI::kSecond);
    f.press(3);  // on the first thumb at 0
    EXPECT_TRUE(f.slider->thumbState(CRangeSliderUI::kFirst) & CRangeSliderUI::kCaptured);
    for (int x = 20; x <= 380; x += 20)
        f.moveTo(x);
    EXPECT_EQ(f.host.value_changes, 0);
    EXPECT_FALSE(seen.empty());
    // 400 pixels for 1000 units: the thumbs may meet but the first stays at or below.
    EXPECT_EQ(f.slider->value(CRangeSliderUI::kFirst), 500);
    f.release(380);
    EXPECT_EQ(f.host.value_changes, 1);
    EXPECT_EQ(f.slider->value(CRangeSliderUI::kFirst), 500);
    EXPECT_EQ(f.slider->thumbState(CRangeSliderUI::kFirst) & CRangeSliderUI::kCaptured, 0);

    // Thumbs on top of each other: a drag to the right takes the second one along.
    f.press(198);
    f.moveTo(260);
    f.moveTo(399);
    f.release(399);
    EXPECT_EQ(f.slider->value(CRangeSliderUI::kSecond), 1000);  // past the end: the maximum
    EXPECT_EQ(f.slider->value(CRangeSliderUI::kFirst), 500);
}

TEST(RangeSlider, FewUnitsKeepTheThumbsApartAndTheEdgesSnap) {
    Fixture f(100);
    f.slider->setValue(50, CRangeSliderUI::kSecond);
    f.press(3);
    f.moveTo(100);
    EXPECT_EQ(f.slider->value(CRangeSliderUI::kFirst), 25);
    f.moveTo(199);
    // 400 pixels for 100 units: at least 4 units apart.
    EXPECT_LE(f.slider->value(CRangeSliderUI::kFirst), 46);
    f.moveTo(8);  // within a thumb's width of the left edge
    EXPECT_EQ(f.slider->value(CRangeSliderUI::kFirst), 0);
    // Disabling while dragging drops the capture.
    f.slider->setEnabled(false);
    EXPECT_EQ(f.slider->thumbState(CRangeSliderUI::kFirst), 0);
    f.moveTo(100);
    EXPECT_EQ(f.slider->value(CRangeSliderUI::kFirst), 0);
    f.release(100);
    EXPECT_EQ(f.host.value_changes, 0);
}

TEST(RangeSlider, KeysStepTheActiveThumbWithinTheOther) {
    Fixture f(100);
    f.slider->setValue(10, CRangeSliderUI::kSecond);
    int key_events = 0;
    f.slider->subscribe([&](CRangeSliderUI&, const CRangeSliderUI::Event& e) {
        key_events += e.type == CRangeSliderUI::Event::Type::Key && e.thumb == CRangeSliderUI::kFirst;
    });
    f.slider->setFocus();
    QTest::keyClick(f.slider, Qt::Key_Right);
    EXPECT_EQ(f.slider->value(CRangeSliderUI::kFirst), 1);
    QTest::keyClick(f.slider, Qt::Key_PageUp);
    EXPECT_EQ(f.slider->value(CRangeSliderUI::kFirst), 6);  // stops 4 below the second
    EXPECT_EQ(key_events, 2);
    EXPECT_EQ(f.host.value_changes, 2);
    QTest::keyClick(f.slider, Qt::Key_End);
    QTest::keyClick(f.slider, Qt::Key_PageUp);
    EXPECT_EQ(f.slider->value(CRangeSliderUI::kSecond), 20);
}
