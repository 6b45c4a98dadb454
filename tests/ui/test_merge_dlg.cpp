// The merge dialog joining real clips with ffmpeg, stopped by its button, and the
// question that follows a successful join.

#include <QApplication>
#include <QTest>
#include <QTimer>

#include "app/gui/message_dlg.h"
#include "app/language.h"
#include "mainframe/gui/merge_dlg.h"
#include "platform/folders.h"
#include "qt_env.h"
#include "skin_fixture.h"
#include "test_support.h"
#include "ui/skin.h"

namespace {

namespace fs = std::filesystem;

class MergeDialog : public testsupport::EnglishSkinTest {
protected:
    MergeDialog() : EnglishSkinTest("dlg_merge.xml") {}

    // Parts as the merge preparation leaves them: one size, rate and codec set.
    convert::MergeRequest parts(int count, double seconds) {
        convert::MergeRequest request;
        for (int i = 0; i < count; ++i) {
            const fs::path part = dir_ / ("part" + std::to_string(i) + ".mp4");
            EXPECT_TRUE(
                testsupport::makeClip(part, seconds, true, true,
                                      {"-s", "160x120", "-r", "30", "-c:v", "libx264", "-preset", "ultrafast",
                                       "-pix_fmt", "yuv420p", "-c:a", "aac", "-ac", "2"}));
            request.inputs.push_back(part.string());
            request.total_duration += static_cast<int>(seconds);
        }
        request.target_ext = "mkv";
        request.output_folder = (dir_ / "out").string() + "/";
        fs::create_directories(dir_ / "out");
        return request;
    }
    static convert::MergeOptions fast() {
        convert::MergeOptions options;
        options.poll_interval_ms = 100;
        options.success_delay_ms = 0;
        return options;
    }

    testsupport::IsolatedHome home_;
    testsupport::TempDir dir_;
};

TEST_F(MergeDialog, JoinsThreePartsInOrderAndReportsSuccess) {
    const convert::MergeRequest request = parts(3, 1);
    mainframe::gui::CMergeDlg dlg(nullptr, request, fast());
    QTimer::singleShot(120000, &dlg, [&] { dlg.QWidget::close(); });  // never hang the suite
    EXPECT_EQ(dlg.run(), 1);
    ASSERT_NE(dlg.join(), nullptr);
    const fs::path merged = dlg.join()->mergedPath();
    EXPECT_TRUE(fs::exists(merged));
    EXPECT_EQ(merged.extension(), ".mkv");
    EXPECT_EQ(merged.parent_path(), fs::path(request.output_folder).parent_path());
    const std::string list = testsupport::readFile(dlg.join()->listPath());
    EXPECT_EQ(list, "file '" + request.inputs[0] + "'\r\nfile '" + request.inputs[1] + "'\r\nfile '" +
                        request.inputs[2] + "'\r\n");
    EXPECT_EQ(dlg.find("progressMerge")->value(), 100);
    // The whole length arrived: three seconds of media.
    auto probe = testsupport::runTool({"ffprobe", "-v", "error", "-show_entries", "format=duration", "-of",
                                       "default=nw=1:nk=1", merged.string()});
    EXPECT_NEAR(std::atof(probe.output.c_str()), 3.0, 0.3);
}

TEST_F(MergeDialog, StopEndsTheJoinAtOnceWithoutSuccessAndLeavesNoMergedFile) {
    // A join that takes its time (a copy join of real parts is over at once).
    convert::MergeRequest request = parts(2, 1);
    request.total_duration = 100;
    convert::MergeOptions options = fast();
    options.program = (fs::path(QUORIN_TEST_SOURCE_DIR) / "tests/ui/standin_ffmpeg_slow").string();
    auto dlg = std::make_unique<mainframe::gui::CMergeDlg>(nullptr, request, options);
    QTimer poll;
    poll.setInterval(20);
    QObject::connect(&poll, &QTimer::timeout, dlg.get(), [&] {
        if (dlg->find("progressMerge")->value() > 0) {
            poll.stop();
            QTest::mouseClick(dlg->find("btnStop"), Qt::LeftButton);
        }
    });
    poll.start();
    QTimer::singleShot(120000, dlg.get(), [&] { dlg->QWidget::close(); });
    EXPECT_EQ(dlg->run(), 0);
    EXPECT_EQ(dlg->mergeResult(), 0);
    EXPECT_FALSE(dlg->joinFailed());
    EXPECT_EQ(dlg->find("progressMerge")->value(), 5);
    // The cut-off merged file goes with the dialog.
    const fs::path merged = dlg->join()->mergedPath();
    dlg.reset();
    EXPECT_FALSE(fs::exists(merged));
}

TEST_F(MergeDialog, AJoinThatCannotRunClosesWithoutSuccess) {
    convert::MergeRequest request = parts(2, 1);
    request.inputs.push_back((dir_ / "missing.mp4").string());
    mainframe::gui::CMergeDlg dlg(nullptr, request, fast());
    QTimer::singleShot(60000, &dlg, [&] { dlg.QWidget::close(); });
    EXPECT_EQ(dlg.run(), 0);
    EXPECT_TRUE(dlg.joinFailed());
    EXPECT_FALSE(fs::exists(dlg.join()->mergedPath()));
}

TEST_F(MergeDialog, TheQuestionAfterSuccessAnswersYesOnlyForYes) {
    for (const char* button : {"btnYes", "btnClose"}) {
        QTimer::singleShot(0, [button] {
            for (QWidget* w : QApplication::topLevelWidgets()) {
                auto* dlg = dynamic_cast<app::CMessageDlg*>(w);
                if (dlg && dlg->isVisible()) {
                    EXPECT_EQ(dlg->find("context")->text(), app::getText("TransformSuccess", "Message"));
                    QTest::mouseClick(dlg->find(button), Qt::LeftButton);
                }
            }
        });
        EXPECT_EQ(mainframe::gui::askOpenOutputFolder(nullptr), std::string(button) == "btnYes") << button;
    }
}

}  // namespace
