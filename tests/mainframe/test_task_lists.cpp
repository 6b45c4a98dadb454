// The list model, the target selection and the row look, driven as the window does.

#include "mainframe/convert_worker.h"
#include "mainframe/row_look.h"
#include "mainframe/target_selection.h"
#include "mainframe/task_lists.h"
#include "platform/folders.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <map>

namespace {

namespace fs = std::filesystem;
using convert::ConvertMode;
using convert::ConvertTask;
using convert::TaskState;
using mainframe::RowModel;
using mainframe::TargetSelection;
using mainframe::TaskLists;

std::string fakeText(std::string_view key, std::string_view section) {
    static const std::map<std::string, std::string, std::less<>> texts = {
        {"FormatOriginText", "Original"}, {"CompressFormatOriginText", "Same as source"},
        {"CompressLowText", "Low"},       {"CompressMidText", "Mid"},
        {"CompressHighText", "High"},     {"FilterVideo", "Video files"}};
    auto it = texts.find(key);
    return it == texts.end() ? std::string() : it->second;
}

class ListsTest : public ::testing::Test {
protected:
    ListsTest() {
        hooks.add_probe_batch = [this](const std::vector<ConvertTask*>& batch) { batches.push_back(batch); };
        hooks.skip_probe_batch = [this] { ++skips; };
        hooks.remove_task = [this](ConvertTask* t) { worker.Remove(t); };
        lists = std::make_unique<TaskLists>(selection, hooks);
    }
    ~ListsTest() override { worker.Shutdown(); }

    // After every operation: every task in one list or removed, states agree with the queue.
    void expectConsistent() { EXPECT_EQ(lists->checkConsistency(worker.queue(), worker.removed()), ""); }

    std::string file(const std::string& name) {
        testsupport::writeFile(dir / name, "x");
        return (dir / name).string();
    }

    testsupport::IsolatedHome home;
    testsupport::TempDir dir;
    platform::MessageQueue window;
    TargetSelection selection{fakeText};
    mainframe::ConvertWorker worker{&window};
    TaskLists::Hooks hooks;
    std::vector<std::vector<ConvertTask*>> batches;
    int skips = 0;
    std::unique_ptr<TaskLists> lists;
};

TEST_F(ListsTest, AddPathsMakesOneTaskAndRowPerPathAndOneProbeBatch) {
    const std::string path = file("movie.part1.mkv");
    auto added = lists->AddPaths({path, path});
    expectConsistent();
    ASSERT_EQ(added.size(), 2u);
    EXPECT_NE(added[0]->unique_id, added[1]->unique_id);
    EXPECT_EQ(added[0]->name, "movie.part1");
    EXPECT_EQ(added[0]->source_ext, "mkv");
    EXPECT_EQ(added[0]->file_size, 1);
    ASSERT_EQ(batches.size(), 1u);
    EXPECT_EQ(batches[0], added);
    RowModel* row = TaskLists::rowOf(added[0]);
    ASSERT_NE(row, nullptr);
    EXPECT_EQ(row->text("video_old_name"), "movie.part1");
    EXPECT_EQ(row->text("edit_new_video_name"), "movie.part1");
    EXPECT_EQ(row->text("codec_type"), "MKV");
    EXPECT_EQ(row->text("codec_type_new"), "MP4");
    EXPECT_FALSE(row->visible("pic_recode_progress"));
    EXPECT_TRUE(row->visible("btn_del_video"));
    EXPECT_FALSE(lists->emptyFrameVisible());
    // A file whose size cannot be read stays in the list with an empty size text.
    auto missing = lists->AddPaths({(dir / "gone.mp4").string()});
    EXPECT_EQ(missing[0]->file_size, 0);
    EXPECT_EQ(missing[0]->size_text, "");
    expectConsistent();
}

TEST_F(ListsTest, SpecialSourcesAreRefusedSilentlyInAudioAndMergeModes) {
    const std::vector<std::string> paths = {file("a.qsv"), file("b.KUX"), file("c.qlv"), file("d.mp4")};
    for (ConvertMode mode : {ConvertMode::Audio2, ConvertMode::Audio, ConvertMode::Merge}) {
        lists->setMode(mode);
        auto added = lists->AddPaths(paths);
        ASSERT_EQ(added.size(), 1u);
        EXPECT_EQ(added[0]->name, "d");
    }
    lists->setMode(ConvertMode::Video);
    auto added = lists->AddPaths(paths);
    ASSERT_EQ(added.size(), 4u);
    EXPECT_EQ(added[1]->source_kind, static_cast<int>(convert::SourceKind::Kux));
    expectConsistent();
}

TEST_F(ListsTest, DropAcceptsByTheModesPatternsAndCdDatReplacesThem) {
    auto result =
        lists->drop({(dir / "A.MP4").string(), (dir / "noext").string(), (dir / "x.mp44").string()});
    EXPECT_FALSE(result.no_support);
    ASSERT_EQ(result.added.size(), 1u);
    EXPECT_TRUE(lists->drop({(dir / "noext").string(), (dir / "x.mp44").string()}).no_support);
    EXPECT_TRUE(lists->drop({}).no_support);

    lists->setMode(ConvertMode::Audio2);
    EXPECT_EQ(lists->drop({(dir / "song.flac").string()}).added.size(), 1u);
    lists->setMode(ConvertMode::Audio);
    EXPECT_TRUE(lists->drop({(dir / "song.flac").string()}).no_support);

    // cd.dat values replace the built-in ones, so special kinds enter only when named.
    lists->setMode(ConvertMode::Video);
    EXPECT_TRUE(lists->drop({(dir / "v.kux").string()}).no_support);
    testsupport::writeFile(platform::dataDir() / "cd.dat",
                           "[Config]\nSupportFormat1=(KUX)\nSupportFormat2=*.kux;\n");
    EXPECT_EQ(mainframe::fileFilter(ConvertMode::Video).description, "(KUX)");
    EXPECT_EQ(lists->drop({(dir / "v.kux").string()}).added.size(), 1u);
    EXPECT_TRUE(lists->drop({(dir / "v.mp4").string()}).no_support);
    EXPECT_EQ(mainframe::fileFilter(ConvertMode::Audio2).patterns.rfind("*.mp3;", 0), 0u);
    expectConsistent();

    const std::string filter = mainframe::fileDialogFilter(ConvertMode::Video, fakeText);
    EXPECT_EQ(filter, std::string("Video files(KUX)\0*.kux;\0\0", 25));
}

TEST_F(ListsTest, RemoveAndClearKeepTasksAliveInTheRemovedList) {
    auto video = lists->AddPaths({file("a.mp4"), file("b.mp4")});
    lists->setMode(ConvertMode::Gif);
    auto gif = lists->AddPaths({file("c.mp4")});
    testsupport::writeFile(platform::coverDir() / "other_list_cover.png", "png");

    EXPECT_TRUE(lists->remove(gif[0]));
    EXPECT_FALSE(lists->remove(gif[0]));  // its row is gone
    EXPECT_EQ(gif[0]->state.load(), TaskState::Stopped);
    EXPECT_EQ(gif[0]->row, nullptr);
    EXPECT_TRUE(lists->emptyFrameVisible());
    expectConsistent();

    lists->setMode(ConvertMode::Video);
    lists->clear();
    expectConsistent();
    EXPECT_EQ(skips, 1);
    EXPECT_TRUE(lists->emptyFrameVisible());
    EXPECT_EQ(worker.removed().size(), 3u);
    // Clearing one list deletes the covers of every list.
    EXPECT_FALSE(fs::exists(platform::coverDir() / "other_list_cover.png"));
    for (ConvertTask* t : video)
        EXPECT_EQ(t->state.load(), TaskState::Stopped);
}

TEST_F(ListsTest, MergeOrderMovesWithinBounds) {
    lists->setMode(ConvertMode::Merge);
    auto t = lists->AddPaths({file("1.mp4"), file("2.mp4"), file("3.mp4")});
    EXPECT_FALSE(lists->moveUp(t[0]));
    EXPECT_FALSE(lists->moveDown(t[2]));
    EXPECT_TRUE(lists->moveDown(t[0]));
    EXPECT_TRUE(lists->moveUp(t[2]));
    auto rows = lists->rows(ConvertMode::Merge);
    EXPECT_EQ(rows[0]->task(), t[1]);
    EXPECT_EQ(rows[1]->task(), t[2]);
    EXPECT_EQ(rows[2]->task(), t[0]);
    expectConsistent();
    lists->setMode(ConvertMode::Video);
    auto v = lists->AddPaths({file("4.mp4"), file("5.mp4")});
    EXPECT_FALSE(lists->moveDown(v[0]));  // only the merge list has an order
}

TEST_F(ListsTest, RenameCommitsNonEmptyTextAndRestoresAnEmptyOne) {
    auto t = lists->AddPaths({file("clip.mp4")});
    RowModel& row = *TaskLists::rowOf(t[0]);
    EXPECT_FALSE(row.enabled("edit_new_video_name"));
    mainframe::toggleRename(row);
    EXPECT_TRUE(row.enabled("edit_new_video_name"));
    row.setText("edit_new_video_name", "holiday");
    mainframe::commitRename(row);
    EXPECT_FALSE(row.enabled("edit_new_video_name"));
    EXPECT_EQ(t[0]->output_name, "holiday");
    mainframe::toggleRename(row);
    row.setText("edit_new_video_name", "");
    mainframe::commitRename(row);
    EXPECT_EQ(row.text("edit_new_video_name"), "holiday");
    EXPECT_EQ(t[0]->output_name, "holiday");
}

TEST_F(ListsTest, OutputFolderDefaultsToDocumentsAndRemembersTheChoice) {
    testsupport::ScopedEnv docs("XDG_DOCUMENTS_DIR", (dir / "Docs").string());
    const std::string folder = lists->initOutputFolder();
    EXPECT_EQ(folder, (dir / "Docs" / "QuorinVideoConverter").string() + "/");
    EXPECT_TRUE(fs::is_directory(folder));
    EXPECT_FALSE(fs::exists(platform::dataDir() / "path.ini"));  // the default is not written

    EXPECT_TRUE(lists->chooseOutputFolder((dir / "chosen").string()));
    TaskLists again(selection, hooks);
    EXPECT_EQ(again.initOutputFolder(), (dir / "chosen").string() + "/");
    EXPECT_TRUE(fs::is_directory(dir / "chosen"));
}

// ---- Target selection ----

class SelectionTest : public ListsTest {
protected:
    ConvertTask* probed(const std::string& name, int w, int h, std::string audio_kbps = "") {
        auto t = lists->AddPaths({file(name)})[0];
        t->width = w;
        t->height = h;
        t->source_audio_bitrate = audio_kbps;
        t->ready = true;
        selection.applyProbeResult(*TaskLists::rowOf(t));
        return t;
    }
    void choose(const std::string& item) { selection.chooseFormat(lists->mode(), item, lists->rows()); }
};

TEST_F(SelectionTest, TokensPickFormatAndPresetInTableOrder) {
    ConvertTask* t = probed("a.mp4", 640, 480);
    choose("menuex_mp4_720");
    EXPECT_EQ(selection.formatButton(), "MP4 - 1280x720");
    EXPECT_EQ(TaskLists::rowOf(t)->text("video_resolution_new"), "1280x720");
    EXPECT_EQ(t->preset_index, 2);
    choose("menuex_mkv_1080_720");
    EXPECT_EQ(selection.formatButton(), "MKV - 1920x1080");
    EXPECT_EQ(TaskLists::rowOf(t)->text("codec_type_new"), "MKV");
    choose("menuex_nothing_known");
    EXPECT_EQ(selection.formatButton(), "");
    EXPECT_EQ(selection.format(ConvertMode::Video), 1);
    choose("menuex_avi_origin");
    EXPECT_EQ(selection.formatButton(), "AVI - Original");
    EXPECT_EQ(TaskLists::rowOf(t)->text("video_resolution_new"), "640x480");
    // The mode switch rebuilds the button from the mode's own selection.
    lists->setMode(ConvertMode::Merge);
    EXPECT_EQ(selection.formatButton(), "MP4 - 1280x720");
    lists->setMode(ConvertMode::Compress);
    EXPECT_EQ(selection.formatButton(), "Same as source");
    EXPECT_EQ(selection.compressButton(), "Low");
}

TEST_F(SelectionTest, GifPresetsShowHeightsOnTheButtonAndScaledSizesOnRows) {
    lists->setMode(ConvertMode::Gif);
    ConvertTask* t = probed("a.mp4", 1280, 720);
    choose("menuex_gif_tv");
    EXPECT_EQ(selection.formatButton(), "GIF - 360P");
    EXPECT_EQ(TaskLists::rowOf(t)->text("video_resolution_new"), "640x360");
}

TEST_F(SelectionTest, ConvertingAndFinishedRowsKeepTheirTargets) {
    ConvertTask* busy = probed("a.mp4", 640, 480);
    ConvertTask* done = probed("b.mp4", 640, 480);
    ConvertTask* idle = probed("c.mp4", 640, 480);
    mainframe::applyRowLook(*TaskLists::rowOf(busy), false, ConvertMode::Video);
    done->state = TaskState::Done;
    mainframe::applyRowLook(*TaskLists::rowOf(done), true, ConvertMode::Video);
    choose("menuex_wmv_phone");
    for (ConvertTask* kept : {busy, done}) {
        EXPECT_EQ(TaskLists::rowOf(kept)->text("codec_type_new"), "MP4");
        EXPECT_EQ(kept->preset_index, 0);
    }
    EXPECT_EQ(TaskLists::rowOf(idle)->text("codec_type_new"), "WMV");
    EXPECT_EQ(TaskLists::rowOf(idle)->text("video_resolution_new"), "320x240");
    EXPECT_EQ(idle->preset_index, 5);
}

TEST_F(SelectionTest, CompressOriginKeepsTheSourceContainer) {
    lists->setMode(ConvertMode::Compress);
    ConvertTask* t = probed("film.MKV", 640, 480);
    choose("menu3_mp4");
    EXPECT_EQ(selection.formatButton(), "MP4");
    EXPECT_EQ(TaskLists::rowOf(t)->text("codec_type_new"), "MP4");
    choose("menu3_origin");
    EXPECT_EQ(TaskLists::rowOf(t)->text("codec_type_new"), "MKV");
    TargetSelection::copyIntoTask(*TaskLists::rowOf(t));
    EXPECT_EQ(t->target_ext, "mkv");

    selection.chooseCompress("MENU_COMPRESS_HIGH", lists->rows());
    EXPECT_EQ(selection.compressLevel(), 2);
    EXPECT_EQ(selection.compressButton(), "High");
    EXPECT_EQ(t->compress_level, 2);
    EXPECT_EQ(lists->AddPaths({file("new.mp4")})[0]->compress_level, 2);
    EXPECT_TRUE(TargetSelection::isCompressItem("Menu_Compress_Mid"));
    EXPECT_FALSE(TargetSelection::isCompressItem("menu_compress_mid2"));
}

TEST_F(SelectionTest, AudioTargetsCopyOnlyRealBitRates) {
    lists->setMode(ConvertMode::Audio2);
    ConvertTask* unknown = probed("a.wav", 0, 0);
    ConvertTask* known = probed("b.mp3", 0, 0, "192");
    EXPECT_EQ(TaskLists::rowOf(unknown)->text("audio_bitrate_new"), "Original");
    EXPECT_EQ(TaskLists::rowOf(known)->text("audio_bitrate_new"), "192 kbps");
    TargetSelection::copyIntoTask(*TaskLists::rowOf(unknown));
    TargetSelection::copyIntoTask(*TaskLists::rowOf(known));
    EXPECT_EQ(unknown->target_audio_bitrate, "");  // "Original" is no bit rate
    EXPECT_EQ(known->target_audio_bitrate, "192");
    EXPECT_EQ(known->target_ext, "mp3");
    choose("menuex_flac_128");
    EXPECT_EQ(selection.formatButton(), "FLAC - 128 kbps");
    TargetSelection::copyIntoTask(*TaskLists::rowOf(unknown));
    EXPECT_EQ(unknown->target_ext, "flac");
    EXPECT_EQ(unknown->target_audio_bitrate, "128");
    EXPECT_FALSE(TaskLists::rowOf(unknown)->visible("layNewVideo"));
}

TEST_F(SelectionTest, RowsShowTheirOwnChoiceNotAnEarlierLabel) {
    lists->setMode(ConvertMode::Audio2);
    ConvertTask* t = probed("a.wav", 0, 0);
    RowModel& row = *TaskLists::rowOf(t);
    choose("menuex_mp3_128");
    EXPECT_EQ(row.text("audio_bitrate_new"), "128 kbps");
    // Back to the source's rate, which is unknown: the row says so and the task does
    // not convert at the 128 kbit/s shown before.
    choose("menuex_mp3_origin");
    EXPECT_EQ(row.text("audio_bitrate_new"), "Original");
    TargetSelection::copyIntoTask(row);
    EXPECT_EQ(t->target_audio_bitrate, "");
    EXPECT_EQ(row.target, (convert::TargetChoice{8, 0}));
}

TEST_F(SelectionTest, ProbeResultAppliesTheRowsOwnChoice) {
    ConvertTask* t = lists->AddPaths({file("a.mp4")})[0];
    lists->setMode(ConvertMode::Audio2);  // the result arrives while another list shows
    t->width = 1280;
    t->height = 720;
    t->source_audio_bitrate = "192";
    RowModel& row = *TaskLists::rowOf(t);
    selection.applyProbeResult(row);
    EXPECT_EQ(row.text("codec_type_new"), "MP4");
    EXPECT_TRUE(row.visible("layNewVideo"));
    EXPECT_EQ(row.text("video_resolution_new"), "1280x720");
    EXPECT_EQ(t->target_resolution, "1280x720");
    EXPECT_EQ(t->target_ext, "mp4");
}

TEST(FileFilters, BuiltInTextsListTheSources) {
    testsupport::IsolatedHome home;
    const mainframe::FileFilter video = mainframe::fileFilter(ConvertMode::Gif);
    EXPECT_EQ(video.description, "(MP4/MKV/AVI/WMV/FLV/MOV/MPG/TS/WEBM)");
    EXPECT_EQ(video.patterns, "*.mp4;*.mkv;*.avi;*.wmv;*.flv;*.mov;*.mpg;*.ts;*.webm;");
    const mainframe::FileFilter audio = mainframe::fileFilter(ConvertMode::Audio2);
    EXPECT_EQ(audio.description,
              "(MP3/M4A/WAV/WMA/AAC/FLAC/AC3/M4R/OGG/MP4/MKV/AVI/WMV/FLV/MOV/MPG/TS/WEBM)");
    EXPECT_EQ(
        audio.patterns,
        "*.mp3;*.m4a;*.wav;*.wma;*.aac;*.flac;*.ac3;*.m4r;*.ogg;*.mp4;*.mkv;*.avi;*.wmv;*.flv;*.mov;*.mpg;"
        "*.ts;*.webm;");
}

// ---- Row look ----

TEST(RowLook, ProgressPictureHasTwentyFrames) {
    EXPECT_EQ(mainframe::progressImage(0),
              "file='../default/images/pic_recode_progress.png' source='0,0,44,44'");
    EXPECT_EQ(mainframe::progressImage(9),
              "file='../default/images/pic_recode_progress.png' source='0,0,44,44'");
    EXPECT_EQ(mainframe::progressImage(50),
              "file='../default/images/pic_recode_progress.png' source='396,0,440,44'");
    EXPECT_EQ(mainframe::progressImage(100),
              "file='../default/images/pic_recode_progress.png' source='836,0,880,44'");
}

TEST(RowLook, PartsFollowStateIdleAndMode) {
    ConvertTask t;
    t.mode = static_cast<int>(ConvertMode::Video);
    RowModel row(&t);
    t.state = TaskState::Done;
    mainframe::applyRowLook(row, true, ConvertMode::Video);
    for (const char* shown : {"btn_play_video", "layResultVideo1", "recode_success", "btn_re_recode",
                              "btn_open_video_folder", "btn_del_video"})
        EXPECT_TRUE(row.visible(shown)) << shown;
    for (const char* hidden : {"btn_video_rename", "btn_recode_fail", "pic_recode_progress", "layClipVideo1",
                               "layUpVideo1", "btn_stop_recode", "layNewSize"})
        EXPECT_FALSE(row.visible(hidden)) << hidden;
    EXPECT_TRUE(row.finished());

    setRowProgress(row, 40);
    t.state = TaskState::Queued;
    mainframe::applyRowLook(row, false, ConvertMode::Video);
    EXPECT_TRUE(row.converting());
    EXPECT_EQ(row.part("pic_recode_progress").text, "0%\n");
    EXPECT_FALSE(row.visible("btn_re_recode"));
    EXPECT_TRUE(row.visible("btn_stop_recode"));

    t.mode = static_cast<int>(ConvertMode::Merge);
    t.state = TaskState::New;
    mainframe::applyRowLook(row, true, ConvertMode::Merge);
    EXPECT_FALSE(row.visible("layRecodeVideo1"));
    EXPECT_TRUE(row.visible("layUpVideo2"));
    EXPECT_TRUE(row.visible("layClipVideo1"));
    EXPECT_FALSE(row.visible("btn_video_rename"));

    // No clip buttons for special sources, rotated sources or in mode Compress.
    t.mode = static_cast<int>(ConvertMode::Video);
    t.rotation = 90;
    t.ready = true;
    mainframe::applyRowLook(row, true, ConvertMode::Video);
    EXPECT_FALSE(row.visible("layClipVideo1"));
    t.rotation = 0;
    mainframe::applyRowLook(row, true, ConvertMode::Compress);
    EXPECT_FALSE(row.visible("layClipVideo2"));
}

}  // namespace
