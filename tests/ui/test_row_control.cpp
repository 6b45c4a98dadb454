// The list row built from the packed English skin: what its controls show in each
// state of its task, rename through real focus changes, the lookup from a row's
// buttons to their task, and the cost of many rows.

#include <QElapsedTimer>
#include <QLineEdit>
#include <QScrollArea>
#include <QScrollBar>
#include <QTest>
#include <chrono>

#include "app/language.h"
#include "convert/convert_task.h"
#include "mainframe/gui/conver_ctrl.h"
#include "mainframe/queue_run.h"
#include "mainframe/row_look.h"
#include "mainframe/row_model.h"
#include "mainframe/target_selection.h"
#include "platform/folders.h"
#include "qt_env.h"
#include "skin_fixture.h"
#include "test_support.h"
#include "ui/controls.h"
#include "ui/skin.h"

namespace {

using convert::ConvertMode;
using convert::TaskState;
using mainframe::gui::RowFactory;

// A host window with one list; dispatches the rename the way the main window does.
class Host : public ui::Window {
public:
    Host() {
        createFromXml(
            R"(<Window size="880,600"><VerticalLayout><List name="list"/></VerticalLayout></Window>)");
    }
    ui::List* list() const { return find<ui::List>("list"); }
    void notify(ui::Notify& n) override {
        if (n.is("click", "btn_video_rename"))
            mainframe::gui::toggleRenameEdit(n.sender);
        if (n.is("killfocus", "edit_new_video_name"))
            mainframe::gui::commitRenameEdit(n.sender);
    }
};

class Rows : public testsupport::EnglishSkinTest {
protected:
    Rows() : EnglishSkinTest("ConverCtrl.xml") {}

    // A probed task of `mode` in `state`, its row model filled as the window fills it.
    mainframe::RowModel& model(ConvertMode mode, TaskState state, bool idle, ConvertMode window_mode) {
        auto task = std::make_unique<convert::ConvertTask>((dir_ / "Clip one.mp4").string(), mode);
        task->takeDuration(90'000'000);
        task->takePictureSize(640, 360);
        task->source_audio_bitrate = "128";
        task->rotation = rotation_;
        task->no_video = no_video_;
        task->ready.store(true);
        task->state.store(state);
        auto row = std::make_unique<mainframe::RowModel>(task.get());
        task->row = row.get();
        selection_.fillNewRow(*row, mode);
        mainframe::showSourceFacts(*row);
        selection_.applyProbeResult(*row);
        mainframe::applyRowLook(*row, idle, window_mode);
        tasks_.push_back(std::move(task));
        models_.push_back(std::move(row));
        return *models_.back();
    }
    ui::Control* build(mainframe::RowModel& m) {
        ui::Control* row = factory_.makeRow(m);
        EXPECT_NE(row, nullptr);
        mainframe::gui::realizeRow(row);
        host_.list()->add(row);
        return row;
    }
    static bool shown(ui::Control* row, const char* name) {
        ui::Control* c = row->find(name);
        EXPECT_NE(c, nullptr) << name;
        return c && c->isShown();
    }
    // Every control named in `shown_names` is shown, every one in `hidden_names` hidden.
    static void expectLook(ui::Control* row, std::initializer_list<const char*> shown_names,
                           std::initializer_list<const char*> hidden_names) {
        for (const char* name : shown_names)
            EXPECT_TRUE(shown(row, name)) << name << " hidden";
        for (const char* name : hidden_names)
            EXPECT_FALSE(shown(row, name)) << name << " shown";
    }
    static std::string text(ui::Control* row, const char* name) {
        ui::Control* c = row->find(name);
        return c ? c->text() : std::string("<missing>");
    }

    testsupport::TempDir dir_;
    mainframe::TargetSelection selection_;
    int rotation_ = 0;
    int no_video_ = 0;
    std::vector<std::unique_ptr<convert::ConvertTask>> tasks_;
    std::vector<std::unique_ptr<mainframe::RowModel>> models_;
    Host host_;
    RowFactory factory_{&host_};
};

TEST_F(Rows, EachStateShowsItsControls) {
    ui::Control* fresh = build(model(ConvertMode::Video, TaskState::New, true, ConvertMode::Video));
    expectLook(
        fresh, {"btn_re_recode", "btn_video_rename", "btn_del_video", "layClipVideo1"},
        {"btn_stop_recode", "pic_recode_progress", "layResultVideo1", "btn_play_video", "layUpVideo1"});
    EXPECT_EQ(text(fresh, "video_old_name"), "Clip one");
    EXPECT_EQ(text(fresh, "codec_type"), "MP4");
    EXPECT_EQ(text(fresh, "video_resolution"), "640x360");
    EXPECT_EQ(text(fresh, "video_duration"), "00:01:30");
    EXPECT_FALSE(text(fresh, "codec_type_new").empty());
    EXPECT_EQ(text(fresh, "LabTextVideoInfo1"), app::getText("TextVideoInfo1"));
    EXPECT_EQ(text(fresh, "LabTextVideoInfo7"), app::getText("TextVideoInfo11"));

    auto& running_model = model(ConvertMode::Video, TaskState::Running, false, ConvertMode::Video);
    mainframe::setRowProgress(running_model, 40);
    ui::Control* running = build(running_model);
    EXPECT_TRUE(shown(running, "pic_recode_progress"));
    EXPECT_EQ(text(running, "pic_recode_progress"), "40%\n");
    expectLook(running, {"btn_stop_recode"},
               {"btn_del_video", "btn_re_recode", "btn_video_rename", "layClipVideo1"});

    ui::Control* done = build(model(ConvertMode::Video, TaskState::Done, true, ConvertMode::Video));
    expectLook(done, {"layResultVideo1", "recode_success", "btn_play_video", "btn_open_video_folder"},
               {"btn_recode_fail", "btn_video_rename", "layClipVideo1"});

    ui::Control* failed = build(model(ConvertMode::Video, TaskState::Failed, true, ConvertMode::Video));
    EXPECT_TRUE(shown(failed, "btn_recode_fail"));
    EXPECT_FALSE(shown(failed, "recode_success"));
    EXPECT_EQ(failed->find("btn_recode_fail")->toolTipText(), app::getText("TextVideoInfo8"));
    EXPECT_TRUE(shown(failed, "btn_re_recode"));
    EXPECT_FALSE(shown(failed, "btn_play_video"));
}

TEST_F(Rows, MergeCompressRotatedAndAudioRowsHideWhatDoesNotApply) {
    ui::Control* merge = build(model(ConvertMode::Merge, TaskState::New, true, ConvertMode::Merge));
    expectLook(merge, {"layUpVideo1", "layDownVideo1"}, {"layRecodeVideo1", "btn_video_rename"});
    auto& queued_merge = model(ConvertMode::Merge, TaskState::Queued, false, ConvertMode::Merge);
    ui::Control* queued = build(queued_merge);
    expectLook(queued, {"layRecodeVideo1", "pic_recode_progress"}, {"layUpVideo1"});

    ui::Control* compress = build(model(ConvertMode::Compress, TaskState::New, true, ConvertMode::Compress));
    EXPECT_FALSE(shown(compress, "layClipVideo1"));
    EXPECT_TRUE(shown(compress, "layNewSize"));

    rotation_ = 90;
    ui::Control* rotated = build(model(ConvertMode::Video, TaskState::Failed, true, ConvertMode::Video));
    EXPECT_FALSE(shown(rotated, "layClipVideo1"));
    EXPECT_FALSE(shown(rotated, "layClipVideo2"));

    rotation_ = 0;
    no_video_ = 1;
    ui::Control* audio = build(model(ConvertMode::Audio2, TaskState::New, true, ConvertMode::Audio2));
    EXPECT_TRUE(shown(audio, "layAudio"));
    EXPECT_FALSE(shown(audio, "layVideo"));
    EXPECT_EQ(text(audio, "audio_bitrate"), "128 kbps");
}

TEST_F(Rows, ACoverReplacesThePlaceholderAndRefreshFollowsTheModel) {
    auto& m = model(ConvertMode::Video, TaskState::New, true, ConvertMode::Video);
    ui::Control* row = build(m);
    EXPECT_TRUE(shown(row, "load_cover"));
    QImage cover(32, 18, QImage::Format_RGB32);
    cover.fill(Qt::red);
    const auto path = dir_ / "cover.png";
    ASSERT_TRUE(cover.save(QString::fromStdString(path.string())));
    m.task()->cover_path = path.string();
    mainframe::showSourceFacts(m);
    m.task()->state.store(TaskState::Queued);
    mainframe::applyRowLook(m, false, ConvertMode::Video);
    ASSERT_TRUE(factory_.refresh(&m));
    expectLook(row, {"btn_stop_recode"}, {"load_cover", "btn_del_video"});
    // The painted row shows the cover's colour where the placeholder was.
    host_.resize(900, 300);
    host_.show();
    QImage shot = row->find("video_cover")->grab().toImage();
    EXPECT_EQ(QColor(shot.pixel(shot.width() / 2, shot.height() / 2)), QColor(Qt::red));
}

TEST_F(Rows, ButtonsInsideARowLeadToItsTask) {
    auto& a = model(ConvertMode::Merge, TaskState::New, true, ConvertMode::Merge);
    auto& b = model(ConvertMode::Merge, TaskState::New, true, ConvertMode::Merge);
    ui::Control* row_a = build(a);
    ui::Control* row_b = build(b);
    for (const char* name : {"btn_del_video", "btn_clip_video", "btn_up_video", "edit_new_video_name"}) {
        EXPECT_EQ(mainframe::gui::taskOfControl(row_b->find(name)), b.task()) << name;
        EXPECT_EQ(mainframe::gui::rowOfControl(row_a->find(name)), row_a) << name;
    }
    EXPECT_EQ(row_a->userTag(), reinterpret_cast<std::uintptr_t>(a.task()));
    EXPECT_EQ(mainframe::gui::taskOfControl(host_.list()), nullptr);
    // A move in the model moves the rows.
    mainframe::gui::syncRowOrder(*host_.list(), {&b, &a}, factory_);
    EXPECT_EQ(host_.list()->itemAt(0), row_b);
    EXPECT_EQ(host_.list()->itemAt(1), row_a);
    // A row the list deleted is no longer found.
    host_.list()->remove(row_a);
    EXPECT_EQ(factory_.rowOf(&a), nullptr);
    EXPECT_FALSE(factory_.refresh(&a));
}

TEST_F(Rows, RenameCommitsOnFocusLossAndAnEmptyNameGivesTheOldOneBack) {
    auto& m = model(ConvertMode::Video, TaskState::New, true, ConvertMode::Video);
    ui::Control* row = build(m);
    host_.resize(900, 300);
    host_.show();
    host_.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&host_));
    auto* edit = row->find<ui::Edit>("edit_new_video_name");
    ASSERT_NE(edit, nullptr);
    EXPECT_FALSE(edit->isEnabled());
    EXPECT_EQ(edit->text(), "Clip one");

    QTest::mouseClick(row->find("btn_video_rename"), Qt::LeftButton);
    EXPECT_TRUE(edit->isEnabled());
    edit->lineEdit()->setFocus();
    edit->lineEdit()->selectAll();
    QTest::keyClicks(edit->lineEdit(), "Holiday cut");
    edit->lineEdit()->clearFocus();  // focus moves away: the edit commits
    EXPECT_FALSE(edit->isEnabled());
    EXPECT_EQ(m.task()->output_name, "Holiday cut");
    EXPECT_EQ(edit->text(), "Holiday cut");

    // Clicks in quick succession would make a double click: later ones go straight in.
    auto* rename = row->find<ui::Button>("btn_video_rename");
    rename->activate();
    edit->lineEdit()->setFocus();
    edit->lineEdit()->clear();
    edit->lineEdit()->clearFocus();
    EXPECT_EQ(m.task()->output_name, "Holiday cut");
    EXPECT_EQ(edit->text(), "Holiday cut");

    // The button closes an open edit and keeps what was typed.
    rename->activate();
    edit->lineEdit()->setFocus();
    edit->lineEdit()->selectAll();
    QTest::keyClicks(edit->lineEdit(), "Final");
    rename->activate();
    EXPECT_FALSE(edit->isEnabled());
    EXPECT_EQ(m.task()->output_name, "Final");

    // A name longer than the room is shown cut with "…" and comes back whole for editing.
    const std::string long_name(120, 'x');
    rename->activate();
    edit->lineEdit()->setText(QString::fromStdString(long_name));
    rename->activate();
    EXPECT_EQ(m.task()->output_name, long_name);
    EXPECT_TRUE(edit->lineEdit()->isHidden());
    rename->activate();
    EXPECT_FALSE(edit->lineEdit()->isHidden());
    EXPECT_EQ(edit->lineEdit()->text().toStdString(), long_name);
}

TEST_F(Rows, TheTimeLeftLabelFollowsTheModel) {
    auto& m = model(ConvertMode::Video, TaskState::Running, false, ConvertMode::Video);
    ui::Control* row = build(m);
    EXPECT_FALSE(shown(row, "label_time_left"));  // unknown at first
    mainframe::showRowTimeLeft(m, 14);
    ASSERT_TRUE(factory_.refresh(&m));
    EXPECT_TRUE(shown(row, "label_time_left"));
    EXPECT_EQ(text(row, "label_time_left"), "0:14 left");
    mainframe::showRowTimeLeft(m, std::nullopt);
    ASSERT_TRUE(factory_.refresh(&m));
    EXPECT_FALSE(shown(row, "label_time_left"));
}

TEST_F(Rows, PlayAndFolderButtonsOpenOnlyWhatExists) {
    std::vector<std::string> opened, selected;
    auto saved = mainframe::gui::desktopActions();
    mainframe::gui::desktopActions() = {
        [&](const std::string& t) { return opened.push_back(t), true; },
        [&](const std::string& f) { return selected.push_back(f), true; },
    };
    convert::ConvertTask task((dir_ / "a.mp4").string(), ConvertMode::Video);
    task.output_path = (dir_ / "a.mkv").string();
    EXPECT_FALSE(mainframe::gui::playResult(task));
    EXPECT_TRUE(mainframe::gui::openResultFolder(&task, "/out/"));
    EXPECT_EQ(opened, std::vector<std::string>{"/out/"});
    testsupport::writeFile(task.output_path, "x");
    EXPECT_TRUE(mainframe::gui::playResult(task));
    EXPECT_TRUE(mainframe::gui::openResultFolder(&task, "/out/"));
    EXPECT_EQ(opened.back(), task.output_path);
    EXPECT_EQ(selected, std::vector<std::string>{task.output_path});
    mainframe::gui::desktopActions() = saved;
}

TEST_F(Rows, OnlyRowsNearTheViewAreBuiltAndScrollingBuildsTheRest) {
    host_.list()->setRowRealizer(mainframe::gui::realizeRow);
    host_.show();
    std::vector<ui::Control*> rows;
    for (int i = 0; i < 200; ++i) {
        rows.push_back(factory_.makeRow(model(ConvertMode::Video, TaskState::New, true, ConvertMode::Video)));
        host_.list()->add(rows.back());
    }
    // A change to a row not yet built shows once it is.
    models_.back()->setText("video_old_name", "The last one");
    EXPECT_TRUE(factory_.refresh(models_.back().get()));
    QCoreApplication::processEvents();
    auto built = [&] {
        return std::count_if(rows.begin(), rows.end(),
                             [](ui::Control* r) { return r->find("video_old_name"); });
    };
    // Six rows of 100 fit the view: those and a page either side.
    EXPECT_GE(built(), 6);
    EXPECT_LE(built(), 20);
    EXPECT_EQ(text(rows.front(), "video_old_name"), "Clip one");
    EXPECT_EQ(rows.back()->find("video_old_name"), nullptr);
    QScrollBar* bar = host_.list()->scrollArea()->verticalScrollBar();
    bar->setValue(bar->maximum());
    QCoreApplication::processEvents();
    EXPECT_EQ(text(rows.back(), "video_old_name"), "The last one");
    EXPECT_LE(built(), 40);
}

TEST_F(Rows, AThousandRowsComeFromOneParseAndEachCostsTheSame) {
    for (int i = 0; i < 1000; ++i)
        model(ConvertMode::Video, TaskState::New, true, ConvertMode::Video);
    QCoreApplication::processEvents();  // a window that has run its event loop
    // Made in one go without returning to the event loop, as a drop of 1,000 files
    // does: the last quarter may not cost much more than the first.
    qint64 quarter_ms[4] = {};
    QElapsedTimer timer;
    for (int q = 0; q < 4; ++q) {
        timer.start();
        for (int i = 250 * q; i < 250 * (q + 1); ++i)
            host_.list()->add(factory_.makeRow(*models_[static_cast<std::size_t>(i)]));
        quarter_ms[q] = timer.elapsed();
    }
    std::printf("1000 rows in %lld ms (quarters %lld, %lld, %lld, %lld ms)\n",
                static_cast<long long>(quarter_ms[0] + quarter_ms[1] + quarter_ms[2] + quarter_ms[3]),
                static_cast<long long>(quarter_ms[0]), static_cast<long long>(quarter_ms[1]),
                static_cast<long long>(quarter_ms[2]), static_cast<long long>(quarter_ms[3]));
    EXPECT_EQ(host_.list()->count(), 1000);
    EXPECT_EQ(factory_.parseCount(), 1);
    EXPECT_LT(quarter_ms[3], 2 * quarter_ms[0] + 100);
    QCoreApplication::processEvents();  // as the event loop would before the list goes
}

}  // namespace
