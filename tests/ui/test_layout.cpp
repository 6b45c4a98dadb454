// Layouts become widgets: nesting, lookup by name, attributes, notifications.

#include <QLineEdit>
#include <QMimeData>
#include <QPainter>
#include <QTest>
#include <QTimer>
#include <atomic>

#include "qt_env.h"
#include "test_support.h"
#include "ui/controls.h"
#include "ui/image_string.h"
#include "ui/skin.h"
#include "ui/window.h"

namespace {

// A window that records every notification and builds one control of its own.
class Recorder : public ui::Window {
public:
    std::vector<std::string> seen;  // "type:sender"
    ui::Control* createControl(std::string_view tag) override {
        if (tag == "ConverCtrl") {
            auto* row = new ui::HorizontalLayout;
            row->setName("customRow");
            return row;
        }
        return ui::Window::createControl(tag);
    }
    void notify(ui::Notify& n) override { seen.push_back(n.type + ":" + (n.sender ? n.sender->name() : "")); }
    bool saw(const std::string& entry) const {
        return std::find(seen.begin(), seen.end(), entry) != seen.end();
    }
};

const char* kLayout = R"(<?xml version="1.0" encoding="utf-8"?>
<Window size="400,300" caption="0,0,0,36">
  <Font id="1" size="18" bold="true"/>
  <Default name="Button" value="bkcolor='#FF2D7FF9' textcolor='#FFFFFFFF'"/>
  <VerticalLayout name="root" bkcolor="#FFFFFFFF" inset="10,10,10,10" childpadding="6">
    <HorizontalLayout name="top" height="36">
      <Label name="caption" text="Title" font="1"/>
      <Button name="closebtn" width="36" tooltip="Close"/>
    </HorizontalLayout>
    <Unknown name="skipped"><Label name="insideUnknown"/></Unknown>
    <Option name="tab0" group="tabs" selected="true" text="A" height="24"/>
    <Option name="tab1" group="tabs" text="B" height="24"/>
    <TabLayout name="pages" selectedid="1">
      <VerticalLayout name="page0"><Edit name="edit" text="12" height="28"/></VerticalLayout>
      <VerticalLayout name="page1"><CheckBox name="check" text="Check" userdata="u1" height="20"/></VerticalLayout>
    </TabLayout>
    <Slider name="slider" min="0" max="10" value="3" height="16"/>
    <Progress name="progress" visible="false" height="6"/>
    <List name="list"><ConverCtrl/></List>
  </VerticalLayout>
</Window>)";

TEST(Layout, BuildsTheTreeAndFindsControlsByName) {
    Recorder window;
    ASSERT_TRUE(window.createFromXml(kLayout));
    EXPECT_EQ(window.seen.front(), "windowinit:");
    ASSERT_NE(window.find("root"), nullptr);
    auto* top = window.find<ui::Container>("top");
    ASSERT_NE(top, nullptr);
    EXPECT_EQ(top->count(), 2);
    // Found inside a container too, and only there.
    EXPECT_NE(top->find("closebtn"), nullptr);
    EXPECT_EQ(top->find("edit"), nullptr);
    EXPECT_EQ(window.find("skipped"), nullptr);
    EXPECT_EQ(window.find("insideUnknown"), nullptr);
    // A tag the window makes itself lands in the list.
    auto* list = window.find<ui::List>("list");
    ASSERT_NE(list, nullptr);
    ASSERT_EQ(list->count(), 1);
    EXPECT_EQ(list->itemAt(0)->name(), "customRow");

    EXPECT_EQ(window.find("caption")->text(), "Title");
    EXPECT_EQ(window.find("closebtn")->toolTipText(), "Close");
    EXPECT_EQ(window.find("check")->userData(), "u1");
    EXPECT_EQ(window.find("edit")->text(), "12");
    EXPECT_FALSE(window.find("progress")->isShown());
    EXPECT_EQ(window.find<ui::TabLayout>("pages")->currentSelection(), 1);
    EXPECT_TRUE(window.find("tab0")->isChecked());
    EXPECT_EQ(window.find("slider")->value(), 3);
    EXPECT_EQ(window.find("slider")->maximum(), 10);
    // At 96 DPI a layout unit is a pixel; the shadow margin comes on top.
    EXPECT_EQ(window.width(), 400 + 2 * window.shadowMargin());
}

TEST(Layout, RejectsBrokenXmlAndMissingRoot) {
    ui::Window broken;
    EXPECT_FALSE(broken.createFromXml("<Window><VerticalLayout></Window>"));
    ui::Window empty;
    EXPECT_FALSE(empty.createFromXml("<Window size=\"10,10\"/>"));
    ui::Window missing;
    EXPECT_FALSE(missing.create("no_such_layout.xml"));
}

TEST(Layout, AttributesChangeAtRunTime) {
    Recorder window;
    ASSERT_TRUE(window.createFromXml(kLayout));
    ui::Control* check = window.find("check");
    EXPECT_TRUE(check->setAttribute("text", "Changed"));
    EXPECT_EQ(check->text(), "Changed");
    EXPECT_TRUE(check->setAttribute("enabled", "false"));
    EXPECT_FALSE(check->isEnabled());
    EXPECT_TRUE(check->setAttribute("bkimage", "file='a.png' source='0,0,10,10' restype='fullpath'"));
    EXPECT_FALSE(check->setAttribute("nosuchattribute", "1"));
    check->setChecked(true);
    EXPECT_TRUE(check->isChecked());
    ui::Control* progress = window.find("progress");
    progress->setRange(0, 50);
    progress->setValue(80);  // clamped
    EXPECT_EQ(progress->value(), 50);
    progress->setShown(true);
    EXPECT_TRUE(progress->isShown());
}

// The test layout, built and shown.
class Notifications : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(window.createFromXml(kLayout));
        window.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    }
    Recorder window;
};

TEST_F(Notifications, ClicksSelectionsEditsAndSliders) {
    auto* tab1 = window.find("tab1");
    QTest::mouseClick(tab1, Qt::LeftButton);
    EXPECT_TRUE(window.saw("click:tab1"));
    EXPECT_TRUE(window.saw("selectchanged:tab1"));
    EXPECT_TRUE(window.saw("selectchanged:tab0"));  // the group lets go of the old one
    EXPECT_TRUE(tab1->isChecked());
    EXPECT_FALSE(window.find("tab0")->isChecked());

    auto* pages = window.find<ui::TabLayout>("pages");
    pages->selectItem(0);
    EXPECT_TRUE(window.saw("tabselect:pages"));

    auto* edit = window.find<ui::Edit>("edit");
    edit->lineEdit()->setFocus();
    QTest::keyClicks(edit->lineEdit(), "34");
    EXPECT_TRUE(window.saw("textchanged:edit"));
    EXPECT_EQ(edit->text(), "1234");
    QTest::keyClick(edit->lineEdit(), Qt::Key_Return);
    EXPECT_TRUE(window.saw("return:edit"));
    // A programmatic change is no user edit.
    window.seen.clear();
    edit->setText("x");
    EXPECT_FALSE(window.saw("textchanged:edit"));

    auto* slider = window.find("slider");
    QTest::mouseClick(slider, Qt::LeftButton, {}, QPoint(slider->width() - 1, slider->height() / 2));
    EXPECT_TRUE(window.saw("valuechanged:slider"));
    EXPECT_EQ(slider->value(), 10);

    auto* list = window.find<ui::List>("list");
    list->itemAt(0)->setFixedHeight(30);
    QTest::qWait(1);
    QTest::mouseClick(list->itemAt(0), Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_TRUE(window.saw("itemselect:list"));
    EXPECT_TRUE(window.saw("itemclick:customRow"));
    EXPECT_EQ(list->currentSelection(), 0);
}

TEST_F(Notifications, DisabledAndHiddenButtonsDoNotClick) {
    auto* tab1 = window.find("tab1");
    tab1->setEnabled(false);
    QTest::mouseClick(tab1, Qt::LeftButton);
    EXPECT_FALSE(window.saw("click:tab1"));
    EXPECT_FALSE(tab1->isChecked());
}

TEST(Lists, RowsAddMoveAndRemoveKeepingTheSelection) {
    ui::Window window;
    ASSERT_TRUE(window.createFromXml("<Window size='200,200'><List name='list'/></Window>"));
    auto* list = window.find<ui::List>("list");
    std::vector<ui::Control*> rows;
    for (int i = 0; i < 4; ++i) {
        auto* row = new ui::ListRow;
        row->setName("row" + std::to_string(i));
        row->setUserTag(static_cast<std::uintptr_t>(i));
        list->add(row);
        rows.push_back(row);
    }
    list->selectItem(2);
    EXPECT_TRUE(rows[2]->isChecked());
    EXPECT_TRUE(list->setItemIndex(rows[2], 0));
    EXPECT_EQ(list->itemAt(0), rows[2]);
    EXPECT_EQ(list->currentSelection(), 0);
    EXPECT_TRUE(list->remove(rows[0]));  // before the selection
    EXPECT_EQ(list->currentSelection(), 0);
    EXPECT_EQ(list->count(), 3);
    EXPECT_TRUE(list->remove(rows[2]));  // the selection itself
    EXPECT_EQ(list->currentSelection(), -1);
    ui::Control stranger;
    EXPECT_FALSE(list->remove(&stranger));
    list->removeAll();
    EXPECT_EQ(list->count(), 0);
}

// A shown window draws its list over the background beneath it (the scroll body once
// filled itself and came out black, or see-through in a translucent window).
TEST(Lists, AShownListShowsTheBackgroundBeneathIt) {
    ui::Window window;
    ASSERT_TRUE(
        window.createFromXml("<Window size='200,200'><VerticalLayout bkcolor='#FFFFFFFF'><List "
                             "name='list'/></VerticalLayout></Window>"));
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    auto* list = window.find<ui::List>("list");
    const QImage shot = window.grab().toImage();
    const QPoint middle = list->mapTo(&window, list->rect().center());
    EXPECT_EQ(shot.pixelColor(middle * shot.devicePixelRatio()).name(QColor::HexArgb).toStdString(),
              "#ffffffff");
}

TEST(ImageStrings, ParseEveryModifier) {
    ui::ImageSpec img = ui::parseImageString(
        "file='../default/images/a.png' source='0,0,44,44' dest='2,2,20,20' corner='4,5,6,7'");
    EXPECT_EQ(img.file, "../default/images/a.png");
    EXPECT_EQ(img.source, QRect(0, 0, 44, 44));
    EXPECT_EQ(img.dest, QRect(2, 2, 18, 18));
    EXPECT_EQ(img.corner, QMargins(4, 5, 6, 7));
    EXPECT_FALSE(img.full_path);
    EXPECT_TRUE(ui::parseImageString("file = '/tmp/x y.png' restype='fullpath'").full_path);
    EXPECT_EQ(ui::parseImageString("images/plain.png").file, "images/plain.png");
    EXPECT_TRUE(ui::parseImageString("file='unterminated").empty());
    // Extreme numbers are ignored like any unparsable rectangle, never wrapped.
    for (const char* r : {"0,0,-2147483648,1", "-2147483648,-2147483648,2147483647,2147483647",
                          "0,0,1048577,1", "0,0,99999999999,1"}) {
        ui::ImageSpec big = ui::parseImageString(std::string("file='a.png' source='") + r + "' dest='" + r +
                                                 "' corner='" + r + "'");
        EXPECT_EQ(big.file, "a.png");
        EXPECT_TRUE(big.source.isNull()) << r;
        EXPECT_TRUE(big.dest.isNull()) << r;
        EXPECT_TRUE(big.corner.isNull()) << r;
    }
    EXPECT_EQ(ui::parseImageString("file='a.png' source='0,0,1048576,1'").source.width(), 1048576);
}

TEST(ImageStrings, NineSliceKeepsCornersAndStretchesTheMiddle) {
    testsupport::TempDir dir;
    // 30x30: red corners of 10, blue everywhere else.
    QImage source(30, 30, QImage::Format_ARGB32);
    source.fill(Qt::blue);
    for (int y = 0; y < 30; ++y)
        for (int x = 0; x < 30; ++x)
            if ((x < 10 || x >= 20) && (y < 10 || y >= 20))
                source.setPixelColor(x, y, Qt::red);
    ASSERT_TRUE(source.save(QString::fromStdString((dir / "box.png").string())));
    ASSERT_TRUE(ui::skin().openFolder(dir.path()));
    QImage target(100, 60, QImage::Format_ARGB32);
    target.fill(Qt::white);
    {
        QPainter painter(&target);
        ASSERT_TRUE(ui::paintImage(painter, target.rect(),
                                   ui::parseImageString("file='box.png' corner='10,10,10,10'")));
    }
    EXPECT_EQ(target.pixelColor(5, 5), QColor(Qt::red));
    EXPECT_EQ(target.pixelColor(94, 54), QColor(Qt::red));
    EXPECT_EQ(target.pixelColor(50, 5), QColor(Qt::blue));   // stretched edge
    EXPECT_EQ(target.pixelColor(50, 30), QColor(Qt::blue));  // middle
    EXPECT_EQ(target.pixelColor(15, 30), QColor(Qt::blue));  // not a stretched corner
    ui::skin().close();
}

TEST(Scale, DisplayRuleOfStartUp) {
    EXPECT_EQ(ui::scaleDpiFor(100), 96);
    EXPECT_EQ(ui::scaleDpiFor(119), 96);
    EXPECT_EQ(ui::scaleDpiFor(130), 120);
    EXPECT_EQ(ui::scaleDpiFor(150), 144);
    EXPECT_EQ(ui::scaleDpiFor(200), 192);
}

TEST(Scale, LayoutUnitsScaleAndShadowFollowsTheSetting) {
    ui::skin().setScaleDpi(144);
    ui::skin().setShadowEnabled(false);
    ui::Window window;
    ASSERT_TRUE(window.createFromXml("<Window size='200,100'><Label name='l' width='40'/></Window>"));
    EXPECT_FALSE(window.hasShadow());
    EXPECT_EQ(window.size(), QSize(300, 150));
    EXPECT_EQ(window.find("l")->maximumWidth(), 60);
    ui::skin().setScaleDpi(96);
    ui::skin().setShadowEnabled(true);
    ui::Window shadowed;
    ASSERT_TRUE(shadowed.createFromXml("<Window size='200,100'><Label/></Window>"));
    EXPECT_TRUE(shadowed.hasShadow());
    ui::Window opted_out;
    ASSERT_TRUE(opted_out.createFromXml("<Window size='200,100' shadow='false'><Label/></Window>"));
    EXPECT_FALSE(opted_out.hasShadow());
}

TEST(Modal, ResultComesFromCloseOrTheDefault) {
    ui::Window window;
    ASSERT_TRUE(window.createFromXml("<Window size='100,100'><Label/></Window>"));
    QTimer::singleShot(0, &window, [&] { window.close(6); });
    EXPECT_EQ(window.showModal(7), 6);
    EXPECT_FALSE(window.isVisible());
    QTimer::singleShot(0, &window, [&] { window.QWidget::close(); });
    EXPECT_EQ(window.showModal(7), 7);
}

class DropTarget : public ui::Window {
public:
    std::vector<std::string> dropped;
    void onDropFiles(const std::vector<std::string>& paths) override { dropped = paths; }
};

TEST(Drop, LocalFilesDroppedOnAWindowArriveAsPaths) {
    DropTarget window;
    ASSERT_TRUE(window.createFromXml("<Window size='200,100' dropfiles='true'><Label/></Window>"));
    EXPECT_TRUE(window.acceptDrops());
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile("/tmp/a b.mp4"), QUrl("https://example.com/x.mp4"),
                  QUrl::fromLocalFile("/tmp/ü.mkv")});
    // Qt delivers a drop only to the widget that accepted the drag's entry.
    QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(&window, &enter);
    EXPECT_TRUE(enter.isAccepted());
    QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(&window, &drop);
    EXPECT_EQ(window.dropped, (std::vector<std::string>{"/tmp/a b.mp4", "/tmp/ü.mkv"}));

    DropTarget refusing;
    ASSERT_TRUE(refusing.createFromXml("<Window size='200,100'><Label/></Window>"));
    EXPECT_FALSE(refusing.acceptDrops());
}

}  // namespace
