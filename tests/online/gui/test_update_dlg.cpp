// The update dialog against a loopback update host: the release notes come from the
// network and show whole.

#include <QTest>

#include "loopback_server.h"
#include "online/endpoints.h"
#include "online/gui/update_dlg.h"
#include "online/update.h"
#include "skin_fixture.h"
#include "ui/controls.h"
#include "ui/qt_env.h"

namespace {

class UpdateDialog : public testsupport::EnglishSkinTest {
protected:
    UpdateDialog() : EnglishSkinTest("dlg_update.xml"), server_(dir_ / "root") {}
    void TearDown() override {
        online::setEndpoints({});
        EnglishSkinTest::TearDown();
    }

    testsupport::IsolatedHome home_;
    testsupport::TempDir dir_;
    onlinetest::LoopbackServer server_;
};

TEST_F(UpdateDialog, ReleaseNotesFromTheHostShowWhole) {
    ASSERT_TRUE(server_.running());
    server_.put("videoconvert/version.htm",
                R"([{"version":"99.0","date":"2026-12-01","content":["One","Two","Three","Four","Five"]}])");
    online::setEndpoints({.update = server_.base()});
    online::CUpdate update;
    online::gui::CUpdateDlg dialog(nullptr, update);
    ASSERT_TRUE(dialog.createFromSkin());
    dialog.show();
    ui::Control* content = dialog.find("Content");
    ASSERT_TRUE(QTest::qWaitFor([&] { return !content->text().empty(); }, 20000));
    EXPECT_EQ(content->text(), dialog.notes());
    EXPECT_NE(content->text().find("Five"), std::string::npos);
    // Every line of the text inside the control.
    EXPECT_GE(content->height(), content->textHeightForWidth(content->width()));
}

}  // namespace
