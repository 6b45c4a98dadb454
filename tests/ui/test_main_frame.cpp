// The main window driven like a user, with real ffmpeg conversions of clips made
// here: files added through the dialog and by dropping, converted in every mode to
// done (or failed for a broken file), stopped, the close question, files from a later
// start, the keys and the caption, and which row buttons show when.

#include <QApplication>
#include <QClipboard>
#include <QLineEdit>
#include <QMimeData>
#include <QTest>
#include <QTimer>
#include <cmath>
#include <cstdlib>
#include <sstream>
#include <thread>

#include "app/branding_info.h"
#include "app/gui/single_instance.h"
#include "app/gui/startup.h"
#include "app/language.h"
#include "app/settings_store.h"
#include "mainframe/gui/main_frame.h"
#include "mainframe/queue_store.h"
#include "platform/folders.h"
#include "player/clip_settings.h"
#include "player/gui/media_window.h"
#include "player/gui/video_player_dlg.h"
#include "qt_env.h"
#include "test_support.h"
#include "ui/controls.h"
#include "ui/menu.h"
#include "ui/range_slider.h"
#include "ui/skin.h"

namespace {

namespace fs = std::filesystem;
using convert::ConvertMode;
using convert::ConvertTask;
using convert::TaskState;
using mainframe::CMainFrame;

class MainFrameTest : public ::testing::Test {
protected:
    testsupport::IsolatedHome home_;
    testsupport::TempDir dir_;
    app::SettingsStore settings_{dir_ / "u.ini", dir_ / "p.ini", dir_ / "o.ini"};
    app::BrandingInfo branding_;
    std::unique_ptr<CMainFrame> frame_;

    std::vector<std::string> asked_, shown_, opened_, notified_;
    std::vector<std::string> dialog_files_;
    bool answer_ = true;
    mainframe::MainFrameHooks hooks_;
    mainframe::gui::DesktopActions saved_actions_;
    std::vector<std::string> clipped_;                 // sources the clip dialog was opened for
    std::optional<player::ClipSettings> clip_answer_;  // what it confirms; none: Close

    void SetUp() override {
        app::setCurrentLanguage(app::LanguageId::English);
        ASSERT_TRUE(ui::skin().openArchive(platform::programDir() / "skin" / "skin_en.skin"));
        fs::create_directories(dir_ / "out");
        mainframe::MainFrameHooks& hooks = hooks_;
        hooks.ask = [this](std::string_view key, const std::string&) {
            asked_.emplace_back(key);
            return answer_;
        };
        hooks.show = [this](std::string_view key, const std::string& arg) {
            shown_.push_back(std::string(key) + (arg.empty() ? "" : ":" + arg));
        };
        hooks.open_files = [this](const std::string&, const std::string&) { return dialog_files_; };
        hooks.choose_folder = [this](const std::string&) { return (dir_ / "out").string(); };
        hooks.notify_desktop = [this](const std::string& title, const std::string& body) {
            notified_.push_back(title + "|" + body);
        };
        hooks.clip = [this](const player::ClipSource& source, player::ClipSettings& settings) {
            clipped_.push_back(source.path);
            if (!clip_answer_)
                return false;
            settings = *clip_answer_;
            return true;
        };
        saved_actions_ = mainframe::gui::desktopActions();
        auto opener = [this](const std::string& target) {
            opened_.push_back(target);
            return true;
        };
        mainframe::gui::desktopActions() = {opener, opener};
        makeFrame();
    }
    // A new main window; with a queue file it keeps its lists there.
    void makeFrame(const fs::path& queue_file = {}) {
        frame_.reset();
        mainframe::MainFrameOptions options;
        options.jobs.success_delay_ms = 0;
        options.jobs.poll_interval_ms = 100;
        options.jobs.ready_poll_ms = 20;
        options.queue_file = queue_file;
        frame_ = std::make_unique<CMainFrame>(
            app::MainWindowContext{settings_, branding_, "Converter", false}, options, hooks_);
        ASSERT_TRUE(frame_->createFromSkin());
        frame_->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(frame_.get()));
        click("btn_select_folder");
    }
    void TearDown() override {
        frame_.reset();
        ui::skin().close();
        mainframe::gui::desktopActions() = saved_actions_;
    }

    ui::Control* find(const std::string& name) const { return frame_->find(name); }
    void click(const std::string& name, ui::Control* in = nullptr) {
        ui::Control* c = in ? in->find(name) : find(name);
        ASSERT_TRUE(c) << name;
        ASSERT_TRUE(c->isVisibleTo(frame_.get())) << name << " is hidden";
        QTest::mouseClick(c, Qt::LeftButton);
    }
    void selectMode(const char* option) { find(option)->setChecked(true); }

    std::vector<ConvertTask*> tasks(ConvertMode mode) const {
        std::vector<ConvertTask*> out;
        for (mainframe::RowModel* row : frame_->lists().rows(mode))
            out.push_back(row->task());
        return out;
    }
    bool waitFor(const std::function<bool()>& done, int ms = 60000) { return QTest::qWaitFor(done, ms); }
    bool allSettled(ConvertMode mode) {
        for (ConvertTask* t : tasks(mode)) {
            const TaskState s = t->state.load();
            if (s == TaskState::Queued || s == TaskState::Running)
                return false;
        }
        return true;
    }
    bool allProbed(ConvertMode mode) {
        for (ConvertTask* t : tasks(mode))
            if (!t->ready.load())
                return false;
        return true;
    }
    void drop(const std::vector<fs::path>& paths) {
        QMimeData data;
        QList<QUrl> urls;
        for (const fs::path& p : paths)
            urls.push_back(QUrl::fromLocalFile(QString::fromStdString(p.string())));
        data.setUrls(urls);
        QDragEnterEvent enter(QPoint(300, 300), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(frame_.get(), &enter);
        QDropEvent event(QPointF(300, 300), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(frame_.get(), &event);
    }
    fs::path clip(const std::string& name, double seconds = 1, bool video = true,
                  const std::vector<std::string>& extra = {"-s", "160x120"}) {
        const fs::path path = dir_ / name;
        EXPECT_TRUE(
            testsupport::makeClip(path, seconds, video, true, video ? extra : std::vector<std::string>{}));
        return path;
    }
    static bool validMedia(const std::string& path) {
        return !path.empty() && fs::exists(path) && fs::file_size(path) > 0 &&
               testsupport::runTool({"ffprobe", "-v", "error", path}).exit_code == 0;
    }
    ui::Control* rowOf(const ConvertTask* task) const { return frame_->rowControl(task); }
    bool shownInRow(const ConvertTask* task, const char* name) const {
        ui::Control* c = rowOf(task)->find(name);
        return c && !c->isHidden();
    }
};

TEST_F(MainFrameTest, EveryModeConvertsDialogAndDroppedFilesAndABrokenFileFails) {
    const fs::path a = clip("a.mp4"), b = clip("b.mkv"), d = clip("d.mov"),
                   sound = clip("tone.flac", 1, false);
    const fs::path broken = dir_ / "broken.mp4";
    testsupport::writeFile(broken, "this is no video");
    EXPECT_EQ(find("edit_output_path")->text(), (dir_ / "out").string() + "/");

    struct Case {
        const char* option;
        ConvertMode mode;
        std::vector<fs::path> dialog, dropped;
        const char* start_text;
    };
    const std::vector<Case> cases = {
        {"optConverVideo", ConvertMode::Video, {a}, {broken}, "Convert"},
        {"optConverAudio2", ConvertMode::Audio2, {sound}, {a}, "Convert"},
        {"optConverAudio", ConvertMode::Audio, {a}, {b}, "Extract"},
        {"optConverGif", ConvertMode::Gif, {a}, {}, "Convert"},
        {"optConverCompress", ConvertMode::Compress, {b}, {a}, "Convert"},
        {"optConverMerge", ConvertMode::Merge, {a, d}, {b}, "Merge"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.option);
        selectMode(c.option);
        EXPECT_EQ(frame_->mode(), c.mode);
        EXPECT_EQ(find("btn_transform")->text(), c.start_text);
        EXPECT_TRUE(find("empty_frame")->isVisibleTo(frame_.get()));
        dialog_files_.clear();
        for (const fs::path& p : c.dialog)
            dialog_files_.push_back(p.string());
        click("btn_addfile01");
        if (!c.dropped.empty())
            drop(c.dropped);
        ASSERT_EQ(tasks(c.mode).size(), c.dialog.size() + c.dropped.size());
        EXPECT_FALSE(find("empty_frame")->isVisibleTo(frame_.get()));
        ASSERT_TRUE(waitFor([&] { return allProbed(c.mode); }));
        click("btn_transform");
        ASSERT_TRUE(waitFor([&] { return allSettled(c.mode); }));
        for (ConvertTask* task : tasks(c.mode)) {
            SCOPED_TRACE(task->source_path);
            if (task->source_path == broken.string()) {
                EXPECT_EQ(task->state.load(), TaskState::Failed);
                EXPECT_TRUE(shownInRow(task, "btn_recode_fail"));
                EXPECT_FALSE(shownInRow(task, "recode_success"));
                // The engine's sentence in the interface language, not ffmpeg's words.
                EXPECT_EQ(frame_->failureText(task),
                          "The file is damaged or is not a media file that can be read.");
                continue;
            }
            EXPECT_EQ(task->state.load(), TaskState::Done);
            EXPECT_TRUE(shownInRow(task, "recode_success"));
            EXPECT_TRUE(validMedia(task->output_path)) << task->output_path;
            // Merge parts are prepared in the work folder.
            if (c.mode != ConvertMode::Merge) {
                EXPECT_EQ(fs::path(task->output_path).parent_path(), dir_ / "out");
            }
        }
        EXPECT_EQ(frame_->controller().checkConsistency(), "");
    }
    // The merge dialog joins the three parts once all are done, then offers the folder.
    ASSERT_TRUE(waitFor([&] { return !opened_.empty(); }));
    EXPECT_EQ(asked_.back(), "TransformSuccess");
    EXPECT_EQ(opened_.back(), (dir_ / "out").string() + "/");
    std::vector<fs::path> merged;
    for (const auto& entry : fs::directory_iterator(dir_ / "out"))
        if (entry.path().filename().string().starts_with("Merged"))
            merged.push_back(entry.path());
    ASSERT_EQ(merged.size(), 1u);
    auto length = testsupport::runTool({"ffprobe", "-v", "error", "-show_entries", "format=duration", "-of",
                                        "default=nw=1:nk=1", merged[0].string()});
    EXPECT_NEAR(std::atof(length.output.c_str()), 3.0, 0.4);
    EXPECT_FALSE(notified_.empty());
    EXPECT_EQ(notified_.front(), "Conversion finished|1 succeeded, 1 failed.");
    EXPECT_EQ(frame_->windowTitle(), "Converter");
}

TEST_F(MainFrameTest, StoppingAndClosingWhileConverting) {
    // Long enough to be still converting when the time left shows after 3 s of
    // progress, also on a fast machine; it is stopped long before its end.
    const fs::path longer = clip("long.mp4", 90, true, {"-s", "1280x720", "-c:v", "mpeg4"});
    dialog_files_ = {longer.string()};
    click("btn_addfile01");
    ConvertTask* task = tasks(ConvertMode::Video).at(0);
    ASSERT_TRUE(waitFor([&] { return task->ready.load(); }));
    click("btn_transform");
    ASSERT_TRUE(waitFor([&] { return frame_->worker().hasJob(task) && fs::exists(task->output_path); }));
    EXPECT_TRUE(shownInRow(task, "btn_stop_recode"));
    EXPECT_FALSE(shownInRow(task, "btn_del_video"));

    // Closing asks; "no" keeps the window and the conversion.
    answer_ = false;
    frame_->QWidget::close();
    EXPECT_EQ(asked_.back(), "ConfirmClose");
    EXPECT_TRUE(frame_->isVisible());
    EXPECT_TRUE(frame_->worker().hasJob(task));
    EXPECT_EQ(task->state.load(), TaskState::Running);
    // The title and the status line say how far the queue is; the row and the queue
    // know their time left after a few seconds of progress.
    ASSERT_TRUE(waitFor([&] { return frame_->windowTitle().endsWith("– Converter"); }));
    ASSERT_TRUE(waitFor([&] { return shownInRow(task, "label_time_left"); }, 20000));
    EXPECT_TRUE(find("label_queue_status")->isVisibleTo(frame_.get()));
    EXPECT_TRUE(find("label_queue_status")->text().find("left") != std::string::npos);

    // Stopping asks, kills the job and takes its cut-off file away.
    answer_ = true;
    click("btn_stop_recode", rowOf(task));
    EXPECT_EQ(asked_.back(), "ConfirmStop");
    EXPECT_EQ(task->state.load(), TaskState::Stopped);
    EXPECT_FALSE(frame_->worker().hasJob(task));
    EXPECT_FALSE(fs::exists(task->output_path));
    EXPECT_TRUE(shownInRow(task, "btn_re_recode"));
    EXPECT_TRUE(shownInRow(task, "btn_del_video"));
    EXPECT_TRUE(waitFor([&] { return frame_->windowTitle() == "Converter"; }));

    // Started again and closed with "yes": the window goes, the partial file too.
    click("btn_re_recode", rowOf(task));
    ASSERT_TRUE(waitFor([&] { return frame_->worker().hasJob(task) && fs::exists(task->output_path); }));
    const std::string partial = task->output_path;
    asked_.clear();
    frame_->QWidget::close();
    EXPECT_EQ(asked_, std::vector<std::string>{"ConfirmClose"});
    EXPECT_FALSE(frame_->isVisible());
    frame_.reset();
    EXPECT_FALSE(fs::exists(partial));
}

// The lists come back after a crash: the finished task with its result, the one that
// was converting as new, probed again and without the file it was writing; a state
// file that is not ours is set aside with a message.
TEST_F(MainFrameTest, ListsComeBackAfterACrash) {
    const fs::path queue = dir_ / "queue.json";
    makeFrame(queue);
    const fs::path quick = clip("quick.mp4"),
                   longer = clip("long.mp4", 30, true, {"-s", "1280x720", "-c:v", "mpeg4"});
    dialog_files_ = {quick.string()};
    click("btn_addfile01");
    ConvertTask* done = tasks(ConvertMode::Video).at(0);
    ASSERT_TRUE(waitFor([&] { return done->ready.load(); }));
    click("btn_transform");
    ASSERT_TRUE(waitFor([&] { return done->state.load() == TaskState::Done; }));
    dialog_files_ = {longer.string()};
    click("btn_addfile01");
    ConvertTask* running = tasks(ConvertMode::Video).at(1);
    ASSERT_TRUE(waitFor([&] { return running->ready.load(); }));
    click("btn_re_recode", rowOf(running));
    ASSERT_TRUE(
        waitFor([&] { return frame_->worker().hasJob(running) && fs::exists(running->output_path); }));
    const std::string result = done->output_path, partial = running->output_path;
    // What a kill would leave: the state file as it stands while the job writes.
    ASSERT_TRUE(waitFor([&] {
        return fs::exists(queue) && testsupport::readFile(queue).find(partial) != std::string::npos;
    }));
    const std::string at_crash = testsupport::readFile(queue);
    frame_.reset();
    // A clean close saves the lists as they end: the finished task still done.
    const std::optional<mainframe::SavedQueue> closed =
        mainframe::queueFromJson(testsupport::readFile(queue));
    ASSERT_TRUE(closed && closed->tasks.size() == 2u);
    EXPECT_EQ(closed->tasks[0].state, TaskState::Done);
    testsupport::writeFile(partial, "cut off");
    testsupport::writeFile(queue, at_crash);

    makeFrame(queue);
    ASSERT_EQ(tasks(ConvertMode::Video).size(), 2u);
    ConvertTask* back_done = tasks(ConvertMode::Video)[0];
    ConvertTask* back_stopped = tasks(ConvertMode::Video)[1];
    EXPECT_EQ(back_done->source_path, quick.string());
    EXPECT_EQ(back_done->state.load(), TaskState::Done);
    EXPECT_EQ(back_done->output_path, result);
    EXPECT_TRUE(validMedia(result));
    EXPECT_TRUE(shownInRow(back_done, "recode_success"));
    EXPECT_EQ(back_stopped->source_path, longer.string());
    EXPECT_EQ(back_stopped->state.load(), TaskState::New);
    EXPECT_TRUE(shownInRow(back_stopped, "btn_re_recode"));
    EXPECT_FALSE(fs::exists(partial));
    EXPECT_TRUE(shown_.empty());
    ASSERT_TRUE(waitFor([&] { return back_stopped->ready.load(); }));
    EXPECT_EQ(rowOf(back_stopped)->find("video_resolution")->text(), "1280x720");

    frame_.reset();
    testsupport::writeFile(queue, "{\"format\":\"quorin-queue\",\"version\":1,\"tasks\":[");
    makeFrame(queue);
    EXPECT_TRUE(tasks(ConvertMode::Video).empty());
    ASSERT_EQ(shown_.size(), 1u);
    EXPECT_TRUE(shown_[0].starts_with("QueueSetAside:" + queue.string() + ".damaged-")) << shown_[0];
}

TEST_F(MainFrameTest, FilesOfTheCommandLineAndOfALaterStart) {
    const fs::path a = clip("a b.mp4"), c = clip("c.mov");
    testsupport::writeFile(dir_ / "notes.txt", "x");
    fs::create_directories(dir_ / "install");
    const fs::path nested = dir_ / "install" / "d.mkv";
    fs::copy_file(a, nested);

    // A file under a folder named "install" is a file, not the switch.
    std::string prog = "QuorinVideoConverter", f1 = nested.string(), sw = "/Restart";
    char* argv[] = {prog.data(), f1.data(), sw.data(), nullptr};
    const app::StartArguments args = app::splitArguments(3, argv);
    EXPECT_EQ(args.files, std::vector<std::string>{f1});
    EXPECT_EQ(args.switches, "/Restart");
    EXPECT_EQ(app::findStartSwitch(args.switches), app::StartSwitch::Restart);

    // The running instance gets the files of a second start over its socket.
    // A short folder: socket paths are limited to about a hundred bytes.
    char runtime_dir[] = "/tmp/qvc-XXXXXX";
    ASSERT_TRUE(mkdtemp(runtime_dir));
    testsupport::ScopedEnv runtime("XDG_RUNTIME_DIR", std::string(runtime_dir));
    app::SingleInstance instance;
    ASSERT_TRUE(instance.listen([this](const std::string& command) {
        if (auto paths = app::parseOpenFilesCommand(command))
            frame_->addPaths(*paths);
    }));
    bool answered = false;
    std::thread second([&] {
        answered = app::SingleInstance::notifyRunning(
            app::openFilesCommand({a.string(), (dir_ / "notes.txt").string(), c.string()}));
    });
    ASSERT_TRUE(waitFor([&] { return tasks(ConvertMode::Video).size() == 2; }, 10000));
    second.join();
    EXPECT_TRUE(answered);
    EXPECT_EQ(tasks(ConvertMode::Video)[0]->source_path, a.string());
    EXPECT_EQ(shown_, std::vector<std::string>{"NoSupportCount:1"});

    // A dropped folder adds its supported files by name; nothing supported says so once.
    frame_->addPaths({(dir_ / "install").string()});
    EXPECT_EQ(tasks(ConvertMode::Video).back()->source_path, nested.string());
    shown_.clear();
    frame_->addPaths({(dir_ / "notes.txt").string()});
    EXPECT_EQ(shown_, std::vector<std::string>{"NoSupport"});
}

TEST_F(MainFrameTest, KeysCaptionAndEmptyList) {
    QTest::keyClick(frame_.get(), Qt::Key_Escape);
    EXPECT_TRUE(frame_->isVisible());

    ui::Control* title = find("TitleText");
    QTest::mouseDClick(title, Qt::LeftButton);
    ASSERT_TRUE(waitFor([&] { return frame_->isMaximized(); }, 3000));
    EXPECT_FALSE(find("btnMax")->isVisibleTo(frame_.get()));
    EXPECT_TRUE(find("btnRestore")->isVisibleTo(frame_.get()));
    click("btnRestore");
    ASSERT_TRUE(waitFor([&] { return !frame_->isMaximized(); }, 3000));
    EXPECT_TRUE(find("btnMax")->isVisibleTo(frame_.get()));

    // Ctrl+O is the add button; Delete removes the selected row after asking.
    dialog_files_ = {clip("a.mp4").string()};
    QTest::keyClick(frame_.get(), Qt::Key_O, Qt::ControlModifier);
    ASSERT_EQ(tasks(ConvertMode::Video).size(), 1u);
    EXPECT_TRUE(find("no_empty_frame")->isVisibleTo(frame_.get()));
    selectMode("optConverGif");
    EXPECT_TRUE(find("empty_frame")->isVisibleTo(frame_.get()));
    // The second set of mode options follows; only the mode's list shows.
    EXPECT_TRUE(find("optConverGif_Bottom")->isChecked());
    EXPECT_FALSE(find("optConverVideo_Bottom")->isChecked());
    EXPECT_TRUE(find("listGif")->isShown());
    EXPECT_FALSE(find("listVideo")->isShown());
    EXPECT_FALSE(find("layCompress")->isShown());
    selectMode("optConverCompress");
    EXPECT_TRUE(find("layCompress")->isShown());
    // The format menu offers each mode its own formats only.
    const std::pair<const char*, std::vector<std::string>> menus[] = {
        {"optConverCompress", {"menu3_origin", "menu3_mp4"}},
        {"optConverMerge", {"menu2_mp4", "menu2_mov"}},
        {"optConverAudio", {"menu_mp3", "menu_m4a"}},
        {"optConverVideo", {"menu_mp4", "menu_webm"}}};
    for (const auto& [option, shown] : menus) {
        selectMode(option);
        click("btn_menu_format");
        ASSERT_NE(frame_->openMenu(), nullptr);
        for (const char* entry : {"menu_mp4", "menu_webm", "menu_mp3", "menu_m4a", "menu_wav", "menu2_mp4",
                                  "menu2_mov", "menu3_origin", "menu3_mp4"}) {
            const bool expected = std::find(shown.begin(), shown.end(), entry) != shown.end();
            EXPECT_EQ(frame_->openMenu()->isVisible(entry), expected) << option << " " << entry;
        }
    }
    EXPECT_FALSE(find("empty_frame")->isVisibleTo(frame_.get()));
    frame_->list(ConvertMode::Video)->selectItem(0);
    QTest::keyClick(frame_.get(), Qt::Key_Delete);
    EXPECT_EQ(asked_.back(), "RemoveVideo");
    EXPECT_TRUE(tasks(ConvertMode::Video).empty());
    EXPECT_EQ(frame_->list(ConvertMode::Video)->count(), 0);
    EXPECT_TRUE(find("empty_frame")->isVisibleTo(frame_.get()));
    EXPECT_EQ(frame_->controller().checkConsistency(), "");
}

TEST_F(MainFrameTest, TheClipDialogsChoiceReachesTheRowAndTheOutput) {
    const fs::path source = clip("long.mp4", 4);
    dialog_files_ = {source.string()};
    click("btn_addfile01");
    ConvertTask* task = tasks(ConvertMode::Video).at(0);
    ASSERT_TRUE(waitFor([&] { return task->ready.load(); }));
    // Closed without OK: nothing changes.
    click("btn_clip_video", rowOf(task));
    EXPECT_EQ(clipped_, std::vector<std::string>{source.string()});
    EXPECT_TRUE(shownInRow(task, "layNewDuration1"));
    player::ClipSettings chosen;
    chosen.clip_start = 1;
    chosen.clip_end = 3;
    chosen.crop_width = 81;  // odd: raised to even
    chosen.crop_height = 60;
    clip_answer_ = chosen;
    click("btn_clip_video", rowOf(task));
    EXPECT_EQ(task->clip_start, 1);
    EXPECT_EQ(task->crop_width, 82);
    EXPECT_TRUE(shownInRow(task, "layNewDuration2"));
    EXPECT_EQ(rowOf(task)->find("video_duration_new2")->text(), "00:00:01 - 00:00:03");
    click("btn_transform");
    ASSERT_TRUE(waitFor([&] { return allSettled(ConvertMode::Video); }));
    ASSERT_EQ(task->state.load(), TaskState::Done);
    auto probe =
        testsupport::runTool({"ffprobe", "-v", "error", "-show_entries", "format=duration:stream=width",
                              "-of", "default=nw=1:nk=1", task->output_path});
    EXPECT_EQ(std::atoi(probe.output.c_str()), 82);
    EXPECT_NEAR(std::atof(probe.output.substr(probe.output.find('\n') + 1).c_str()), 2.0, 0.2);
}

// What ffprobe says of one entry of a file ("stream=width" ...), as text.
std::string probe(const fs::path& file, const std::string& entries, const std::string& streams = "") {
    std::vector<std::string> argv{"ffprobe", "-v", "error"};
    if (!streams.empty())
        argv.insert(argv.end(), {"-select_streams", streams});
    argv.insert(argv.end(), {"-show_entries", entries, "-of", "default=nw=1:nk=1", file.string()});
    return testsupport::runTool(argv).output;
}

// The mean luma of every picture of `file`.
std::vector<double> lumas(const fs::path& file) {
    std::istringstream in(testsupport::runTool({"ffprobe", "-v", "error", "-f", "lavfi", "-i",
                                                "movie=" + file.string() + ",signalstats", "-show_entries",
                                                "frame_tags=lavfi.signalstats.YAVG", "-of", "csv=p=0"})
                              .output);
    std::vector<double> out;
    for (double v; in >> v;)
        out.push_back(v);
    return out;
}

double meanVolumeDb(const fs::path& file) {
    const std::string out = testsupport::runTool({"ffmpeg", "-nostdin", "-i", file.string(), "-af",
                                                  "volumedetect", "-f", "null", "-"})
                                .output;
    const auto at = out.find("mean_volume:");
    return at == std::string::npos ? NAN : std::atof(out.c_str() + at + 12);
}

// A press, ten moves and a release, as a hand drags.
void drag(QWidget* w, QPoint from, QPoint to) {
    QTest::mousePress(w, Qt::LeftButton, {}, from);
    for (int i = 1; i <= 10; ++i)
        QTest::mouseMove(w, from + (to - from) * i / 10);
    QTest::mouseRelease(w, Qt::LeftButton, {}, to);
}

// A click at a fraction of a slider's width.
void clickAt(QWidget* slider, double fraction) {
    QTest::mouseClick(slider, Qt::LeftButton, {},
                      QPoint(static_cast<int>(slider->width() * fraction), slider->height() / 2));
}

// A whole text pasted over an edit's text: one user edit.
void paste(player::gui::CVideoPlayerDlg& dlg, const char* name, const QString& text) {
    auto* edit = dlg.find<ui::Edit>(name);
    ASSERT_TRUE(edit) << name;
    QApplication::clipboard()->setText(text);
    edit->lineEdit()->selectAll();
    QTest::keyClick(edit->lineEdit(), Qt::Key_V, Qt::ControlModifier);
}

// Opens the row's clip dialog and lets `use` work it once its first picture is there.
void useClipDialog(ui::Control* row, const std::function<void(player::gui::CVideoPlayerDlg&)>& use) {
    QTimer::singleShot(0, [use] {
        player::gui::CVideoPlayerDlg* dlg = nullptr;
        const bool pictured = QTest::qWaitFor(
            [&] {
                for (QWidget* w : QApplication::topLevelWidgets())
                    if (auto* d = dynamic_cast<player::gui::CVideoPlayerDlg*>(w); d && d->isVisible())
                        dlg = d;
                return dlg && dlg->shared().shown.load() > 0;
            },
            20000);
        ASSERT_TRUE(dlg) << "the clip dialog did not open";
        EXPECT_TRUE(pictured) << "no picture in the clip dialog";
        use(*dlg);
        QTest::mouseClick(dlg->find("btnOK"), Qt::LeftButton);
    });
    QTest::mouseClick(row->find("btn_clip_video"), Qt::LeftButton);
}

TEST_F(MainFrameTest, ANewUserClipsAndCropsA1080pFileInTheRealDialogAndConvertsIt) {
    hooks_.clip = nullptr;  // the real dialog, with the player core on SDL's dummy drivers
    makeFrame();
    // 12 s of 1080p at 5 pictures a second whose brightness grows with time, so a
    // picture tells when it is from.
    const fs::path source = dir_ / "ramp.mp4";
    std::vector<std::string> make;
    std::istringstream words(
        "ffmpeg -nostdin -v error -y -f lavfi -i "
        "color=c=black:s=1920x1080:r=5:d=12,eq=brightness=0.06*t:eval=frame"
        " -f lavfi -i sine=frequency=440:sample_rate=44100:d=12 -c:v libx264 -preset ultrafast -g 5"
        " -pix_fmt yuv420p -c:a aac -shortest");
    for (std::string word; words >> word;)
        make.push_back(word);
    make.push_back(source.string());
    ASSERT_EQ(testsupport::runTool(make).exit_code, 0);
    const std::vector<double> source_lumas = lumas(source);
    ASSERT_EQ(source_lumas.size(), 60u);

    // Video: scrub, the start by its thumb, the end typed, a crop drawn and moved,
    // speed and volume moved.
    dialog_files_ = {source.string()};
    click("btn_addfile01");
    ConvertTask* video = tasks(ConvertMode::Video).at(0);
    ASSERT_TRUE(waitFor([&] { return video->ready.load(); }));
    player::ClipSettings chosen;
    useClipDialog(rowOf(video), [&](player::gui::CVideoPlayerDlg& dlg) {
        clickAt(dlg.find("sliderPlay"), 0.5);
        EXPECT_TRUE(
            QTest::qWaitFor([&] { return std::fabs(dlg.shared().position.load() - 6) < 1.1; }, 10000));
        auto* range = dlg.find<ui::CRangeSliderUI>("sliderRect");
        const QPoint thumb = range->thumbRect(ui::CRangeSliderUI::kFirst).center();
        drag(range, thumb, thumb + QPoint(range->width() / 4, 0));
        paste(dlg, "edtEndTime", "00:00:09");
        QTest::mouseClick(dlg.find("optKeepRatio"), Qt::LeftButton);
        QWidget* picture = dlg.mediaWindow()->surface();
        const int w = picture->width(), h = picture->height();
        // The whole picture's crop pulled in by its lower right corner, then moved.
        drag(picture, QPoint(w - 3, h - 3), QPoint(w * 3 / 5, h * 7 / 10));
        drag(picture, QPoint(w / 4, h / 4), QPoint(w / 4 + 40, h / 4 + 20));
        clickAt(dlg.find("sliderSpeed2"), 0.9);
        clickAt(dlg.find("sliderVolume2"), 0.76);
        chosen = dlg.settings();
        chosen.crop_width = static_cast<int>(dlg.drawPanel().rect().w);
        chosen.crop_height = static_cast<int>(dlg.drawPanel().rect().h);
    });
    EXPECT_GE(chosen.clip_start, 2);
    EXPECT_EQ(chosen.clip_end, 9);
    EXPECT_EQ(video->clip_start, chosen.clip_start);
    EXPECT_EQ(video->crop_width, chosen.crop_width + chosen.crop_width % 2);
    EXPECT_LT(video->crop_width, 1920);
    EXPECT_GT(video->crop_x, 0);
    EXPECT_NEAR(video->speed, 1.4f, 0.01);
    EXPECT_NEAR(video->volume, 1.5f, 0.01);

    // Audio: the same file clipped by typing, faster and louder.
    selectMode("optConverAudio2");
    click("btn_addfile01");
    ConvertTask* audio = tasks(ConvertMode::Audio2).at(0);
    ASSERT_TRUE(waitFor([&] { return audio->ready.load(); }));
    useClipDialog(rowOf(audio), [&](player::gui::CVideoPlayerDlg& dlg) {
        paste(dlg, "edtStartTime", "00:00:01");
        paste(dlg, "edtEndTime", "00:00:10");
        clickAt(dlg.find("sliderSpeed2"), 0.9);
        clickAt(dlg.find("sliderVolume2"), 0.76);
    });
    EXPECT_EQ(audio->clip_end - audio->clip_start, 9);

    for (const char* option : {"optConverVideo", "optConverAudio2"}) {
        selectMode(option);
        click("btn_transform");
        ASSERT_TRUE(waitFor([&] { return allSettled(frame_->mode()); }));
    }
    ASSERT_EQ(video->state.load(), TaskState::Done);
    ASSERT_EQ(audio->state.load(), TaskState::Done);

    // The picture: from the chosen second (within one picture), the clip's length (a
    // video target keeps the speed), the crop's size.
    const fs::path out = video->output_path;
    EXPECT_EQ(std::atoi(probe(out, "stream=width", "v").c_str()), video->crop_width);
    EXPECT_EQ(std::atoi(probe(out, "stream=height", "v").c_str()), video->crop_height);
    EXPECT_NEAR(std::atof(probe(out, "format=duration").c_str()), video->clip_end - video->clip_start, 0.25);
    const std::vector<double> out_lumas = lumas(out);
    ASSERT_FALSE(out_lumas.empty());
    const int first = video->clip_start * 5;
    EXPECT_GE(out_lumas[0], source_lumas[first - 1] - 0.5) << "starts more than a picture early";
    EXPECT_LE(out_lumas[0], source_lumas[first + 1] + 0.5) << "starts more than a picture late";

    // The sound: the clip's length divided by the speed, louder by the volume.
    const fs::path sound = audio->output_path;
    EXPECT_NEAR(std::atof(probe(sound, "format=duration").c_str()), 9 / 1.4, 0.15);
    EXPECT_NEAR(meanVolumeDb(sound) - meanVolumeDb(source), 20 * std::log10(1.5), 0.5);
}

TEST_F(MainFrameTest, ClipButtonsNeverOnRotatedVideosNorInModeCompress) {
    if (!testsupport::haveMediaCorpus())
        GTEST_SKIP() << "no media corpus";
    const fs::path rotated = testsupport::mediaFile("mov_iphone6_portrait_rot90_mebx_gps.mov");
    const fs::path plain = clip("plain.mp4");
    dialog_files_ = {rotated.string(), plain.string()};
    click("btn_addfile01");
    ASSERT_TRUE(waitFor([&] { return allProbed(ConvertMode::Video); }));
    ConvertTask* turned = tasks(ConvertMode::Video)[0];
    ConvertTask* upright = tasks(ConvertMode::Video)[1];
    ASSERT_NE(turned->rotation, 0);
    EXPECT_FALSE(shownInRow(turned, "layClipVideo1"));
    EXPECT_TRUE(shownInRow(upright, "layClipVideo1"));
    click("btn_transform");
    ASSERT_TRUE(waitFor([&] { return allSettled(ConvertMode::Video); }));
    ASSERT_EQ(turned->state.load(), TaskState::Done);
    EXPECT_FALSE(shownInRow(upright, "layClipVideo1")) << "done rows are not clipped again";
    // Retried and stopped at once: both rows are idle and not done again.
    for (ConvertTask* task : {turned, upright}) {
        click("btn_re_recode", rowOf(task));
        click("btn_stop_recode", rowOf(task));
        EXPECT_EQ(task->state.load(), TaskState::Stopped);
    }
    EXPECT_FALSE(shownInRow(turned, "layClipVideo1")) << "a retry shows no clip buttons either";
    EXPECT_TRUE(shownInRow(upright, "layClipVideo1"));

    selectMode("optConverCompress");
    dialog_files_ = {plain.string()};
    click("btn_addfile01");
    ASSERT_TRUE(waitFor([&] { return allProbed(ConvertMode::Compress); }));
    EXPECT_FALSE(shownInRow(tasks(ConvertMode::Compress)[0], "layClipVideo1"));
}

TEST_F(MainFrameTest, OnlineEntriesShowOnlyWithTheirServices) {
    // Built without the services (or with no host): no update entry, no toolbox.
    EXPECT_FALSE(find("LayoutToolbox")->isVisibleTo(frame_.get()));
    click("btnMenu");
    ASSERT_NE(frame_->openMenu(), nullptr);
    EXPECT_FALSE(frame_->openMenu()->isVisible("menuUpdate"));

    int checks = 0, found = 0, opened = 0, hidden = 0;
    bool available = false, popup = false;
    std::vector<std::string> records;
    mainframe::OnlineServices online;
    online.update_menu_visible = [] { return true; };
    online.check_for_updates = [&](ui::Window&) { ++checks; };
    online.update_found_message = 1033;
    online.update_found = [&](ui::Window&) { ++found; };
    online.toolbox_ready_message = 1030;
    online.toolbox_available = [&] { return available; };
    online.toolbox_shown = [&] { return popup; };
    online.open_toolbox = [&](ui::Window&, QPoint) { ++opened, popup = true; };
    online.hide_toolbox = [&] { ++hidden, popup = false; };
    online.record = [&](bool ok, const std::string& from, const std::string& to) {
        records.push_back((ok ? "ok " : "failed ") + from + ">" + to);
    };
    hooks_.online = online;
    makeFrame();
    click("btnMenu");
    ASSERT_TRUE(frame_->openMenu()->isVisible("menuUpdate"));
    ASSERT_TRUE(frame_->openMenu()->trigger(frame_.get(), "menuUpdate"));
    ASSERT_TRUE(waitFor([&] { return checks == 1; }, 3000));
    frame_->post(1033, 0, 0);
    ASSERT_TRUE(waitFor([&] { return found == 1; }, 3000));
    // A package arrived: the toolbox shows; its button opens and closes the popup.
    EXPECT_FALSE(find("LayoutToolbox")->isVisibleTo(frame_.get()));
    available = true;
    frame_->post(1030, 0, 0);
    ASSERT_TRUE(waitFor([&] { return find("LayoutToolbox")->isVisibleTo(frame_.get()); }, 3000));
    click("btnToolbox");
    click("btnToolbox");
    EXPECT_EQ(opened, 1);
    EXPECT_EQ(hidden, 1);

    dialog_files_ = {clip("a.mp4").string()};
    click("btn_addfile01");
    ASSERT_TRUE(waitFor([&] { return allProbed(ConvertMode::Video); }));
    click("btn_transform");
    ASSERT_TRUE(waitFor([&] { return allSettled(ConvertMode::Video); }));
    EXPECT_EQ(records, std::vector<std::string>{"ok mp4>mp4"});
}

}  // namespace
