// The main window shell: title, mode options in step with their lists, reading
// order, and files dropped on the window.

#include <QMimeData>
#include <QTest>

#include "app/branding_info.h"
#include "app/gui/main_shell.h"
#include "app/settings_store.h"
#include "platform/folders.h"
#include "qt_env.h"
#include "test_support.h"
#include "ui/skin.h"

namespace {

class MainShell : public ::testing::Test {
protected:
    testsupport::TempDir dir_;
    app::SettingsStore settings_{dir_ / "u.ini", dir_ / "p.ini", dir_ / "o.ini"};
    app::BrandingInfo branding_;

    void SetUp() override {
        ASSERT_TRUE(ui::skin().openArchive(platform::programDir() / "skin" / "skin_en.skin"));
        ASSERT_TRUE(ui::skin().read("skin.xml"));
    }
    void TearDown() override { ui::skin().close(); }
};

TEST_F(MainShell, ModeOptionsShowTheirListAndKeepTheSecondSetInStep) {
    app::CMainShell shell(app::MainWindowContext{settings_, branding_, "Converter", false});
    ASSERT_TRUE(shell.createFromSkin());
    EXPECT_EQ(shell.find("TitleText")->text(), "Converter");
    EXPECT_EQ(shell.windowTitle(), "Converter");
    EXPECT_FALSE(shell.find("btnRestore")->isShown());
    EXPECT_TRUE(shell.find("listVideo")->isShown());
    EXPECT_FALSE(shell.find("layCompress")->isShown());
    shell.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&shell));

    QTest::mouseClick(shell.find("optConverCompress"), Qt::LeftButton);
    EXPECT_EQ(shell.currentMode(), 5);
    EXPECT_TRUE(shell.find("optConverCompress_Bottom")->isChecked());
    EXPECT_FALSE(shell.find("optConverVideo_Bottom")->isChecked());
    EXPECT_FALSE(shell.find("optConverVideo")->isChecked());
    EXPECT_TRUE(shell.find("listCompress")->isShown());
    EXPECT_FALSE(shell.find("listVideo")->isShown());
    EXPECT_TRUE(shell.find("layCompress")->isShown());

    shell.find("optConverGif_Bottom")->setChecked(true);
    EXPECT_EQ(shell.currentMode(), 3);
    EXPECT_TRUE(shell.find("optConverGif")->isChecked());
}

TEST_F(MainShell, RightToLeftLanguagesMirrorTheWindow) {
    app::CMainShell rtl(app::MainWindowContext{settings_, branding_, "T", true});
    ASSERT_TRUE(rtl.createFromSkin());
    EXPECT_EQ(rtl.layoutDirection(), Qt::RightToLeft);
    app::CMainShell ltr(app::MainWindowContext{settings_, branding_, "T", false});
    ASSERT_TRUE(ltr.createFromSkin());
    EXPECT_EQ(ltr.layoutDirection(), Qt::LeftToRight);
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
