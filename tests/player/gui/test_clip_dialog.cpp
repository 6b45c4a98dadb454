// The clip dialog with the real player core (SDL's dummy drivers) on Qt's offscreen
// platform: typed times, seeking, the crop drawn with the mouse, files that do not
// open, the round trip to a task and repeated opening and closing.
#include <gtest/gtest.h>

#include <dirent.h>
#include <QApplication>
#include <QClipboard>
#include <QLineEdit>
#include <QTest>
#include <QTimer>

#include "app/language.h"
#include "mainframe/clip_result.h"
#include "platform/folders.h"
#include "player/gui/clip_dialog.h"
#include "player/gui/media_window.h"
#include "player/gui/video_player_dlg.h"
#include "player/running_player.h"
#include "ui/controls.h"
#include "ui/qt_env.h"
#include "ui/range_slider.h"
#include "ui/skin.h"

using namespace player_test;
using player::gui::CVideoPlayerDlg;

namespace {

int threadCount() {
    int n = 0;
    if (DIR* d = opendir("/proc/self/task")) {
        while (dirent* e = readdir(d))
            n += e->d_name[0] != '.';
        closedir(d);
    }
    return n;
}

bool spin(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
    const auto end = Clock::now() + timeout;
    while (!done()) {
        if (Clock::now() > end)
            return false;
        QApplication::processEvents(QEventLoop::AllEvents, 10);
        std::this_thread::sleep_for(2ms);
    }
    return true;
}

class ClipDialog : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        clip_ = new testsupport::TempDir;
        // 100 s of a small picture at 5 frames a second: cheap to make and to play.
        made_ = ffmpeg({"-f",
                        "lavfi",
                        "-i",
                        "testsrc2=size=160x90:rate=5",
                        "-f",
                        "lavfi",
                        "-i",
                        "sine=frequency=440:sample_rate=22050",
                        "-t",
                        "100",
                        "-c:v",
                        "libx264",
                        "-preset",
                        "ultrafast",
                        "-g",
                        "5",
                        "-pix_fmt",
                        "yuv420p",
                        "-c:a",
                        "aac",
                        (*clip_ / "clip.mp4").string()});
    }
    static void TearDownTestSuite() {
        delete clip_;
        clip_ = nullptr;
    }
    void SetUp() override {
        app::setCurrentLanguage(app::LanguageId::English);
        ASSERT_TRUE(ui::skin().openArchive(platform::programDir() / "skin" / "skin_en.skin") &&
                    ui::skin().read("dlg_videoplayer.xml"))
            << "no packed skin with the clip dialog";
        ASSERT_TRUE(made_);
        player::resetSeekTargetForTest();
    }
    void TearDown() override { ui::skin().close(); }

    static fs::path clip() { return *clip_ / "clip.mp4"; }

    std::unique_ptr<CVideoPlayerDlg> open(const fs::path& file, int duration = 100, int w = 160, int h = 90,
                                          int mode = 0) {
        auto dlg = std::make_unique<CVideoPlayerDlg>(nullptr, mode, file.string(), duration, w, h);
        EXPECT_TRUE(dlg->createFromSkin());
        dlg->show();
        EXPECT_TRUE(spin([&] { return dlg->playerThreadRunning(); }, 5s));
        return dlg;
    }
    // What a paste into the edit does: one user edit with the whole text.
    static void paste(CVideoPlayerDlg& dlg, const char* name, const QString& text) {
        auto* edit = dlg.find<ui::Edit>(name);
        ASSERT_NE(edit, nullptr) << name;
        QApplication::clipboard()->setText(text);
        edit->lineEdit()->selectAll();
        QTest::keyClick(edit->lineEdit(), Qt::Key_V, Qt::ControlModifier);
    }
    static std::string text(CVideoPlayerDlg& dlg, const char* name) { return dlg.find(name)->text(); }

    static testsupport::TempDir* clip_;
    static bool made_;
};

testsupport::TempDir* ClipDialog::clip_ = nullptr;
bool ClipDialog::made_ = false;

}  // namespace

TEST_F(ClipDialog, TimeEditsSetTheClipOrPutTheirTextBack) {
    auto dlg = open(clip(), 7200);
    auto* range = dlg->find<ui::CRangeSliderUI>("sliderRect");
    ASSERT_NE(range, nullptr);
    paste(*dlg, "edtStartTime", "01:02:03");
    EXPECT_EQ(dlg->settings().clip_start, 3723);
    EXPECT_EQ(text(*dlg, "edtStartTime"), "01:02:03");
    EXPECT_EQ(range->value(ui::CRangeSliderUI::kFirst), 3723 * 1000 / 7200);

    paste(*dlg, "edtStartTime", "25:00:10");  // hours from 25: read as 00
    EXPECT_EQ(text(*dlg, "edtStartTime"), "00:00:10");
    EXPECT_EQ(dlg->settings().clip_start, 10);
    paste(*dlg, "edtStartTime", "1:75:00");
    EXPECT_EQ(text(*dlg, "edtStartTime"), "1:00:00");
    EXPECT_EQ(dlg->settings().clip_start, 3600);
    paste(*dlg, "edtStartTime", "12:00");  // one colon: the fallback, read again
    EXPECT_EQ(text(*dlg, "edtStartTime"), "00:00:00");
    EXPECT_EQ(dlg->settings().clip_start, 0);

    paste(*dlg, "edtEndTime", "00:30:00");
    EXPECT_EQ(dlg->settings().clip_end, 1800);
    paste(*dlg, "edtStartTime", "00:40:00");  // past the end: the end makes room
    EXPECT_EQ(dlg->settings().clip_start, 2400);
    EXPECT_EQ(dlg->settings().clip_end, 7200);
    EXPECT_EQ(text(*dlg, "edtEndTime"), "02:00:00");
    paste(*dlg, "edtEndTime", "00:10:00");  // before the start: refused
    EXPECT_EQ(text(*dlg, "edtEndTime"), "02:00:00");
    EXPECT_EQ(dlg->settings().clip_end, 7200);
}

TEST_F(ClipDialog, SlidersSeekAndSetSpeedAndVolume) {
    auto dlg = open(clip());
    player::PlayerShared& shared = dlg->shared();
    ASSERT_TRUE(waitUntil([&] { return shared.running.load(); }, 5s));
    // Paused first: a seek while paused shows the new place and stays there.
    shared.send(PlayerCommand::PauseRequested);
    ASSERT_TRUE(waitUntil([&] { return shared.current() == PlayerCommand::Paused; }, 10s));
    shared.seekTo(55);
    ASSERT_TRUE(spin([&] { return shared.position.load() >= 55.0 && shared.position.load() < 56.0; }, 20s))
        << shared.position.load();
    const std::int64_t seeks = shared.seeks.load();
    QTest::mouseClick(dlg->find("btnFastForward"), Qt::LeftButton);
    EXPECT_EQ(shared.seek_target.load(), 65);
    EXPECT_EQ(dlg->find("sliderPlay")->value(), 650);
    ASSERT_TRUE(
        spin([&] { return shared.seeks.load() > seeks && std::floor(shared.position.load()) == 65; }, 20s));

    // The same second again while playback is there: no seek.
    const std::int64_t after = shared.seeks.load();
    shared.seek_target.store(0);
    dlg->find("sliderPlay")->notify("valuechanged");
    EXPECT_EQ(shared.seek_target.load(), 0);
    spin([] { return false; }, 200ms);
    EXPECT_EQ(shared.seeks.load(), after);

    QTest::mouseClick(dlg->find("btnFastBackward"), Qt::LeftButton);
    EXPECT_EQ(shared.seek_target.load(), 55);

    ui::Control* speed = dlg->find("sliderSpeed2");
    speed->setValue(100);
    speed->notify("movevaluechanged");
    EXPECT_FLOAT_EQ(dlg->settings().speed, 1.5f);
    EXPECT_EQ(text(*dlg, "edtSpeed2"), "1.5");
    ui::Control* volume = dlg->find("sliderVolume2");
    volume->setValue(155);
    volume->notify("valuechanged");
    EXPECT_FLOAT_EQ(dlg->settings().volume, 1.5f);
    EXPECT_EQ(text(*dlg, "edtVolume2"), "155");
    ui::Control* live = dlg->find("sliderVolume");
    live->setValue(50);
    live->notify("valuechanged");
    EXPECT_EQ(shared.live_volume.load(), 64);
}

TEST_F(ClipDialog, CropIsDrawnAndDraggedOnThePicture) {
    auto dlg = open(clip(), 100, 1280, 720);
    QWidget* surface = dlg->mediaWindow()->surface();
    ASSERT_TRUE(spin([&] { return surface->width() > 100; }, 5s));
    const float scale = dlg->drawPanel().scale();
    EXPECT_NEAR(scale, static_cast<float>(surface->width()) / 1280, 0.01);
    // Keep ratio starts on; switching it off keeps the rectangle.
    ui::Control* keep = dlg->find("optKeepRatio");
    ASSERT_TRUE(keep->isChecked());
    QTest::mouseClick(keep, Qt::LeftButton);
    EXPECT_FALSE(dlg->drawPanel().keepRatio());
    EXPECT_EQ(dlg->drawPanel().rect(), (player::CropRect{0, 0, 1280, 720}));

    // A smaller rectangle typed in leaves room to draw a new one beside it, from
    // (200, 120) to (300, 180) on screen.
    paste(*dlg, "edtWidth", "200");
    paste(*dlg, "edtHeight", "100");
    EXPECT_EQ(dlg->drawPanel().rect(), (player::CropRect{0, 0, 200, 100}));
    QTest::mousePress(surface, Qt::LeftButton, {}, QPoint(200, 120));
    for (int i = 1; i <= 10; ++i)
        QTest::mouseMove(surface, QPoint(200 + 10 * i, 120 + 6 * i));
    QTest::mouseRelease(surface, Qt::LeftButton, {}, QPoint(300, 180));
    const player::CropRect r = dlg->drawPanel().rect();
    EXPECT_NEAR(r.x, 200 / scale, 3);
    EXPECT_NEAR(r.w, 100 / scale, 3);
    EXPECT_EQ(text(*dlg, "edtWidth"), std::to_string(static_cast<int>(std::lround(r.w))));
    // The core is told where to draw it.
    const player::OverlayRect o = player::unpackOverlay(dlg->shared().overlay.load());
    EXPECT_NEAR(o.x, 200, 1);
    EXPECT_NEAR(o.w, 100, 2);

    // Dragged by its inside far to the right: it stops inside the picture.
    QTest::mousePress(surface, Qt::LeftButton, {}, QPoint(250, 150));
    for (int x = 260; x <= surface->width() + 50; x += 10)
        QTest::mouseMove(surface, QPoint(x, 150));
    QTest::mouseRelease(surface, Qt::LeftButton, {}, QPoint(surface->width() - 1, 150));
    const player::CropRect moved = dlg->drawPanel().rect();
    EXPECT_GT(moved.x, r.x);
    EXPECT_LE(moved.x + moved.w, 1280.0f);
    EXPECT_EQ(text(*dlg, "edtPosX"), std::to_string(static_cast<int>(std::lround(moved.x))));

    // Keep ratio on again: the whole picture, in the edits too.
    QTest::mouseClick(keep, Qt::LeftButton);
    EXPECT_EQ(dlg->drawPanel().rect(), (player::CropRect{0, 0, 1280, 720}));
    EXPECT_EQ(text(*dlg, "edtWidth"), "1280");
    EXPECT_EQ(text(*dlg, "edtPosX"), "0");

    // Typed crop values are clamped to the picture.
    paste(*dlg, "edtPosX", "2000");
    EXPECT_EQ(text(*dlg, "edtPosX"), "1279");
    EXPECT_EQ(text(*dlg, "edtWidth"), "1");
}

TEST_F(ClipDialog, AFileThatDoesNotOpenLeavesTheDialogUsable) {
    testsupport::TempDir dir;
    testsupport::writeFile(dir / "broken.mp4", "not a media file");
    auto dlg = open(dir / "broken.mp4", 60, 640, 360);
    paste(*dlg, "edtEndTime", "00:00:30");
    EXPECT_EQ(dlg->settings().clip_end, 30);
    spin([] { return false; }, 600ms);
    EXPECT_EQ(dlg->shared().position.load(), 0.0);
    EXPECT_EQ(text(*dlg, "labelPlayTime"), "00:00:00/00:01:00");
    // Return and Escape do not close it.
    QTest::keyClick(dlg.get(), Qt::Key_Escape);
    QTest::keyClick(dlg.get(), Qt::Key_Return);
    EXPECT_TRUE(dlg->isVisible());
    QTest::mouseClick(dlg->find("btnOK"), Qt::LeftButton);
    EXPECT_TRUE(dlg->accepted());
    EXPECT_EQ(dlg->settings().crop_width, 640);
}

TEST_F(ClipDialog, OkHandsTheValuesBackAndTheRowShowsTheClip) {
    convert::ConvertTask task(clip().string(), convert::ConvertMode::Video);
    task.takeDuration(100'000'000);
    task.takePictureSize(160, 90);
    player::ClipSettings settings = mainframe::clipSettingsOf(task);
    settings.clip_start = 10;
    QTimer::singleShot(300, [] {
        for (QWidget* w : QApplication::topLevelWidgets()) {
            if (auto* dlg = dynamic_cast<CVideoPlayerDlg*>(w)) {
                paste(*dlg, "edtEndTime", "00:01:00");
                paste(*dlg, "edtWidth", "101");
                QTest::mouseClick(dlg->find("btnOK"), Qt::LeftButton);
            }
        }
    });
    ASSERT_TRUE(player::gui::runClipDialog(nullptr, mainframe::clipSourceOf(task), settings));
    EXPECT_EQ(settings.clip_start, 10);
    EXPECT_EQ(settings.clip_end, 60);
    mainframe::RowModel row(&task);
    mainframe::applyClipResult(row, settings);
    EXPECT_EQ(task.crop_width, 102);  // odd sizes are raised
    EXPECT_EQ(row.text("video_duration_new"), "00:00:50");
    EXPECT_FALSE(row.visible("layNewDuration1"));
    EXPECT_TRUE(row.visible("layNewDuration2"));
    EXPECT_EQ(row.text("video_duration_new2"), "00:00:10 - 00:01:00");

    // Closing leaves the values alone.
    QTimer::singleShot(300, [] {
        for (QWidget* w : QApplication::topLevelWidgets()) {
            if (auto* dlg = dynamic_cast<CVideoPlayerDlg*>(w))
                QTest::mouseClick(dlg->find("btnClose"), Qt::LeftButton);
        }
    });
    player::ClipSettings unchanged = settings;
    EXPECT_FALSE(player::gui::runClipDialog(nullptr, mainframe::clipSourceOf(task), unchanged));
    EXPECT_EQ(unchanged, settings);
}

TEST_F(ClipDialog, OpeningAndClosingTwentyTimesLeavesNoThread) {
    // The first round starts the threads Qt keeps for the process.
    open(clip())->stopPlayer();
    const int before = threadCount();
    for (int i = 0; i < 20; ++i) {
        auto dlg = open(clip());
        const auto t0 = Clock::now();
        EXPECT_TRUE(dlg->stopPlayer());
        EXPECT_LT(std::chrono::duration<double>(Clock::now() - t0).count(), kCloseLimitS);
    }
    // SDL's and the audio driver's helper threads end with the core.
    EXPECT_TRUE(waitUntil([&] { return threadCount() <= before; }, 5s)) << threadCount() << " > " << before;
}
