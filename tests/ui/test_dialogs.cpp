// The message, settings and about dialogs built from the packed English skin,
// driven by clicks on their controls.

#include <QTest>
#include <QTimer>

#include "app/gui/about_dlg.h"
#include "app/gui/message_dlg.h"
#include "app/gui/setting_dlg.h"
#include "app/language.h"
#include "app/settings_store.h"
#include "platform/folders.h"
#include "platform/profile.h"
#include "qt_env.h"
#include "skin_fixture.h"
#include "test_support.h"
#include "ui/container.h"
#include "ui/skin.h"

namespace {

class Dialogs : public testsupport::EnglishSkinTest {
protected:
    Dialogs() : EnglishSkinTest("dlg_message.xml") {}
    void SetUp() override {
        EnglishSkinTest::SetUp();
        if (HasFatalFailure())
            return;
        ui::skin().setShadowEnabled(true);
    }

    // Clicks `name` once the modal loop runs.
    static void clickLater(ui::Window& window, const char* name) {
        QTimer::singleShot(0, &window, [&window, name] {
            ui::Control* c = window.find(name);
            ASSERT_NE(c, nullptr) << name;
            QTest::mouseClick(c, Qt::LeftButton);
        });
    }
    static bool shown(ui::Window& w, const char* name) {
        ui::Control* c = w.find(name);
        return c && c->isShown();
    }
};

TEST_F(Dialogs, AnErrorMessageHasOneButtonAndAnswersSixOrSeven) {
    app::CMessageDlg confirm(nullptr, "Could not convert.", "Error", app::kMessageError);
    ASSERT_TRUE(confirm.createFromSkin());
    EXPECT_TRUE(shown(confirm, "errorLogo"));
    EXPECT_FALSE(shown(confirm, "infoLogo"));
    EXPECT_FALSE(shown(confirm, "warnLogo"));
    EXPECT_FALSE(shown(confirm, "btnClose"));
    EXPECT_TRUE(shown(confirm, "btnYes"));
    EXPECT_FALSE(shown(confirm, "btnKefu"));
    EXPECT_EQ(confirm.find("caption")->text(), "Error");
    EXPECT_EQ(confirm.find("context")->text(), "Could not convert.");
    clickLater(confirm, "btnYes");
    EXPECT_EQ(confirm.run(), app::kResultYes);

    app::CMessageDlg closed(nullptr, "x", "Error", app::kMessageError);
    QTimer::singleShot(0, &closed, [&] { closed.QWidget::close(); });  // the window's own close
    EXPECT_EQ(closed.run(), app::kResultNo);

    app::CMessageDlg escaped(nullptr, "x", "Error", app::kMessageError);
    QTimer::singleShot(0, &escaped, [&] { QTest::keyClick(&escaped, Qt::Key_Escape); });
    EXPECT_EQ(escaped.run(), app::kResultNo);

    app::CMessageDlg exited(nullptr, "x", "Error", app::kMessageError);
    clickLater(exited, "btnExit");
    EXPECT_EQ(exited.run(), app::kResultNo);
}

TEST_F(Dialogs, QuestionsShowBothButtonsAndTheRightIcon) {
    app::CMessageDlg question(nullptr, "Stop?", "Title", app::kMessageYesNo | app::kMessageInformation);
    ASSERT_TRUE(question.createFromSkin());
    EXPECT_TRUE(shown(question, "infoLogo"));
    EXPECT_TRUE(shown(question, "btnClose"));
    EXPECT_TRUE(shown(question, "btnYes"));
    clickLater(question, "btnClose");
    EXPECT_EQ(question.run(), app::kResultNo);

    app::CMessageDlg warning(nullptr, "Wait", "Title", app::kMessageWarning | app::kMessageOkCancel);
    ASSERT_TRUE(warning.createFromSkin());
    EXPECT_TRUE(shown(warning, "warnLogo"));
    EXPECT_TRUE(shown(warning, "btnClose"));
}

TEST_F(Dialogs, ALongMessageGrowsTheDialogInsteadOfBeingCut) {
    app::CMessageDlg short_one(nullptr, "Done.", "T", app::kMessageInformation);
    ASSERT_TRUE(short_one.createFromSkin());
    std::string text;
    for (int i = 0; i < 15; ++i)
        text += "This sentence makes the message long. ";
    app::CMessageDlg long_one(nullptr, text, "T", app::kMessageInformation);
    ASSERT_TRUE(long_one.createFromSkin());
    EXPECT_GT(long_one.height(), short_one.height() + 100);
    EXPECT_EQ(long_one.width(), short_one.width());
    ui::Control* body = long_one.find("context");
    long_one.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&long_one));
    EXPECT_GE(body->height(), body->textHeightForWidth(body->width()));
}

TEST_F(Dialogs, TheSupportButtonOpensThePageAndKeepsTheDialog) {
    app::CMessageDlg dlg(nullptr, "<b>Failed</b>", "Error", app::kMessageError, true);
    std::vector<std::string> opened;
    dlg.setUrlOpener([&](const std::string& url) {
        opened.push_back(url);
        return true;
    });
    dlg.setSupportUrl("https://support.example/chat");
    dlg.setShowSupportButton(true);
    ASSERT_TRUE(dlg.createFromSkin());
    EXPECT_TRUE(shown(dlg, "btnKefu"));
    EXPECT_FALSE(shown(dlg, "btnYes"));
    QTimer::singleShot(0, &dlg, [&] {
        QTest::mouseClick(dlg.find("btnKefu"), Qt::LeftButton);
        EXPECT_TRUE(dlg.isVisible());
        QTest::mouseClick(dlg.find("btnExit"), Qt::LeftButton);
    });
    EXPECT_EQ(dlg.run(), app::kResultNo);
    EXPECT_EQ(opened, std::vector<std::string>{"https://support.example/chat"});
}

TEST_F(Dialogs, ShowMessageTakesTextAndTitleFromTheLanguageFile) {
    QTimer::singleShot(0, [] {
        for (QWidget* w : QApplication::topLevelWidgets()) {
            auto* dlg = dynamic_cast<app::CMessageDlg*>(w);
            if (!dlg || !dlg->isVisible())
                continue;
            EXPECT_EQ(dlg->find("caption")->text(), app::getText("Title", "Message"));
            EXPECT_EQ(dlg->find("context")->text(), app::getText("ConfirmStop", "Message"));
            EXPECT_FALSE(dlg->find("context")->text().empty());
            QTest::mouseClick(dlg->find("btnYes"), Qt::LeftButton);
        }
    });
    EXPECT_EQ(app::showMessage(nullptr, app::message_key::ConfirmStop, app::kMessageYesNo), app::kResultYes);
}

TEST_F(Dialogs, WithoutTheShadowSettingDialogsHaveNoShadow) {
    testsupport::TempDir dir;
    testsupport::writeFile(dir / "program.ini", "[Setting]\nEnableShadow=0\n");
    app::SettingsStore settings(dir / "user.ini", dir / "program.ini", dir / "oem.ini");
    settings.load();
    ui::skin().setShadowEnabled(settings.enableShadow());  // as start-up does
    app::CMessageDlg plain(nullptr, "x", "y", app::kMessageInformation);
    ASSERT_TRUE(plain.createFromSkin());
    EXPECT_FALSE(plain.hasShadow());
    ui::skin().setShadowEnabled(true);
    app::CMessageDlg shadowed(nullptr, "x", "y", app::kMessageInformation);
    ASSERT_TRUE(shadowed.createFromSkin());
    EXPECT_TRUE(shadowed.hasShadow());
}

class SettingDialog : public Dialogs {
protected:
    testsupport::TempDir dir_;
    app::SettingsStore settings_{dir_ / "user.ini", dir_ / "program.ini", dir_ / "oem.ini"};
    std::vector<std::string> messages_;

    // Opens the dialog, types the two fields, optionally ticks the standby box, and
    // clicks `button`; returns whether the dialog closed.
    bool apply(const std::string& bitrate, const std::string& fps, const char* button = "btnYes",
               bool standby = false) {
        app::CSettingDlg dlg(nullptr, settings_);
        dlg.setMessageHandler([this](const char* key) { messages_.push_back(key); });
        bool still_open = false;
        QTimer::singleShot(0, &dlg, [&] {
            dlg.find("edtBitRate")->setText(bitrate);
            dlg.find("edtFPS")->setText(fps);
            if (standby)
                dlg.find("StandbyServer")->setChecked(true);
            QTest::mouseClick(dlg.find(button), Qt::LeftButton);
            still_open = dlg.isVisible();
            if (still_open)
                dlg.close(0);
        });
        dlg.run();
        return !still_open;
    }
};

TEST_F(SettingDialog, BitRateLimitIsAMillionKbps) {
    EXPECT_TRUE(apply("1000000", ""));
    EXPECT_EQ(settings_.customBitrate(), 1000000000);
    EXPECT_TRUE(messages_.empty());
    settings_.setCustomBitrate(0);
    EXPECT_FALSE(apply("1000001", "25"));
    EXPECT_EQ(messages_, std::vector<std::string>{"BitRateTooLog"});
    EXPECT_EQ(settings_.customBitrate(), 0);
    EXPECT_EQ(settings_.customFrameRate(), 0.0f);
    // Far beyond 64 bits is still too large, not a wrapped small number.
    messages_.clear();
    EXPECT_FALSE(apply("99999999999999999999999", ""));
    EXPECT_EQ(messages_, std::vector<std::string>{"BitRateTooLog"});
}

TEST_F(SettingDialog, FrameRateAboveAThousandIsRefusedAfterTheBitRateWasStored) {
    EXPECT_FALSE(apply("2500", "1000.5", "btnYes", true));
    EXPECT_EQ(messages_, std::vector<std::string>{"FPSTooLog"});
    EXPECT_EQ(settings_.customBitrate(), 2500000);
    EXPECT_EQ(settings_.customFrameRate(), 0.0f);
    EXPECT_FALSE(settings_.standbyServer());
    EXPECT_TRUE(apply("", "1000", "btnYes", true));
    EXPECT_EQ(settings_.customFrameRate(), 1000.0f);
    EXPECT_EQ(settings_.customBitrate(), 0);
    EXPECT_TRUE(settings_.standbyServer());
    EXPECT_EQ(platform::getPrivateProfileInt("Setting", "StandbyServer", 0, dir_ / "user.ini"), 1);
}

TEST_F(SettingDialog, ReopeningShowsStoredValuesAndCloseStoresNothing) {
    EXPECT_TRUE(apply("2500", "25"));
    app::CSettingDlg again(nullptr, settings_);
    ASSERT_TRUE(again.createFromSkin());
    EXPECT_EQ(again.find("edtBitRate")->text(), "2500");
    EXPECT_EQ(again.find("edtFPS")->text(), "25.00");
    // Once the builder took them, the fields are empty again.
    settings_.takeCustomBitrate();
    settings_.takeCustomFrameRate();
    app::CSettingDlg taken(nullptr, settings_);
    ASSERT_TRUE(taken.createFromSkin());
    EXPECT_EQ(taken.find("edtBitRate")->text(), "");
    EXPECT_EQ(taken.find("edtFPS")->text(), "");

    EXPECT_TRUE(apply("300", "30", "btnClose"));
    EXPECT_EQ(settings_.customBitrate(), 0);
    EXPECT_TRUE(apply("abc", "nan", "btnYes"));  // no number: not set
    EXPECT_EQ(settings_.customBitrate(), 0);
    EXPECT_EQ(settings_.customFrameRate(), 0.0f);
}

TEST_F(SettingDialog, TabsSwitchPagesAndDefaultClearsTheFields) {
    settings_.setStandby(true);
    app::CSettingDlg dlg(nullptr, settings_);
    ASSERT_TRUE(dlg.createFromSkin());
    dlg.show();
    auto* pages = dlg.find<ui::TabLayout>("tabMain");
    ASSERT_NE(pages, nullptr);
    QTest::mouseClick(dlg.find("tabConmonSetting"), Qt::LeftButton);
    EXPECT_EQ(pages->currentSelection(), 2);
    QTest::mouseClick(dlg.find("tabFPSSetting"), Qt::LeftButton);
    EXPECT_EQ(pages->currentSelection(), 1);
    QTest::mouseClick(dlg.find("tabBitRateSetting"), Qt::LeftButton);
    EXPECT_EQ(pages->currentSelection(), 0);
    EXPECT_TRUE(dlg.find("StandbyServer")->isChecked());
    dlg.find("edtBitRate")->setText("100");
    QTest::mouseClick(dlg.find("btnDefault"), Qt::LeftButton);
    EXPECT_EQ(dlg.find("edtBitRate")->text(), "");
    EXPECT_FALSE(dlg.find("StandbyServer")->isChecked());
    EXPECT_TRUE(settings_.standbyServer());  // nothing stored before "btnYes"
}

TEST_F(Dialogs, AboutShowsNameVersionAndTheCompanyBlockOnlyWhenAllowed) {
    app::BrandingInfo branding;
    app::CAboutDlg about(nullptr, branding, "Quorin Video Converter", "1.2.3.4");
    ASSERT_TRUE(about.createFromSkin());
    EXPECT_EQ(about.find("ProductName")->text(), "Quorin Video Converter");
    EXPECT_EQ(about.find("label_version")->text(), "1.2.3.4");
    EXPECT_TRUE(shown(about, "LayCompanyInfo"));

    branding.show_official = false;
    branding.company_name = "Example Ltd";
    app::CAboutDlg hidden(nullptr, branding, "T", "1");
    ASSERT_TRUE(hidden.createFromSkin());
    EXPECT_FALSE(shown(hidden, "LayCompanyInfo"));
    EXPECT_EQ(hidden.find("CompanyName")->text(), "Example Ltd");
    clickLater(hidden, "btnClose");
    hidden.run();
    EXPECT_FALSE(hidden.isVisible());
}

}  // namespace
