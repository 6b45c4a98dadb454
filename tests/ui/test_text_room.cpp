// Every window in every language at 96 and 144 DPI: no text is wider or taller
// than the room its control gives it, and Arabic and Hebrew windows open mirrored.

#include <QApplication>
#include <QLayout>
#include <QLineEdit>
#include <sstream>

#include "app/gui/about_dlg.h"
#include "app/gui/interface_language.h"
#include "app/gui/message_dlg.h"
#include "app/gui/setting_dlg.h"
#include "app/language.h"
#include "app/settings_store.h"
#include "mainframe/gui/main_frame.h"
#include "platform/folders.h"
#include "qt_env.h"
#include "ui/container.h"
#include "ui/controls.h"
#include "ui/skin.h"

namespace {

struct Room {
    std::vector<std::string> problems;
    std::string where;

    void check(ui::Window& window, const std::string& what) {
        window.show();
        if (QLayout* layout = window.layout())
            layout->activate();
        QApplication::processEvents();
        for (ui::Control* c : window.findChildren<ui::Control*>()) {
            if (!c->isVisibleTo(&window) || c->textFits())
                continue;
            // The output folder is the user's path, of any length (its tooltip has it whole).
            if (c->name() == "edit_output_path")
                continue;
            std::string text = c->text();
            if (auto* edit = dynamic_cast<ui::Edit*>(c))
                text += " / " + edit->lineEdit()->placeholderText().toStdString();
            problems.push_back(where + " " + what + " " + c->name() + " (" + std::to_string(c->width()) +
                               "x" + std::to_string(c->height()) + "): " + text);
        }
        window.hide();
    }
};

// The longest text of section Message in the current language.
std::string longestMessage() {
    std::string longest;
    for (const char* key : {"RestartApp", "ConfirmClose", "MergeError2", "NoVersion", "AnalyseError",
                            "ConnectError", "SuggestFail", "DownloadFailure", "WaitForConver"}) {
        std::string text = app::getText(key, "Message");
        if (text.size() > longest.size())
            longest = text;
    }
    return longest;
}

}  // namespace

TEST(TextRoom, EveryWindowInEveryLanguageAtBothScales) {
    ASSERT_TRUE(std::filesystem::exists(platform::programDir() / "skin" / "skin_de.skin"))
        << "skin archives not built";
    app::SettingsStore settings("/nonexistent/Config.ini", "/nonexistent/Config.ini", "/nonexistent/oem.ini");
    Room room;
    int windows = 0;
    for (const app::LanguageInfo& info : app::languageTable()) {
        app::applyInterfaceLanguage(info.id);  // the fonts the program draws this language with
        const bool rtl = app::isRightToLeft(info.id);
        app::BrandingInfo branding = app::BrandingInfo::load(info.id, "/nonexistent/oem.ini");
        const std::string title = app::getText("ProductName");
        for (int dpi : {96, 144}) {
            ui::skin().setScaleDpi(ui::scaleDpiFor(dpi));
            ASSERT_TRUE(
                ui::skin().openArchive(platform::programDir() / std::string(app::skinArchiveName(info.id))));
            room.where = std::string(info.code) + "@" + std::to_string(dpi);

            std::string file = "Holiday clip 2026.mp4";
            const std::string cannot =
                app::fillTextFormat(app::getText("CannotRecode", "Message"), {&file, 1});
            struct Message {
                std::string text;
                int kind;
                bool support;
            };
            for (const Message& m :
                 {Message{cannot, app::kMessageError, true},
                  Message{longestMessage(), app::kMessageYesNo | app::kMessageInformation, false},
                  Message{app::getText("NotUpdate", "Message"), app::kMessageInformation, false}}) {
                app::CMessageDlg dlg(nullptr, m.text, app::getText("Title", "Message"), m.kind);
                dlg.setShowSupportButton(m.support);
                ASSERT_TRUE(dlg.createFromSkin());
                room.check(dlg, "message " + std::to_string(m.kind));
                ++windows;
            }
            {
                app::CAboutDlg dlg(nullptr, branding, title, "1.0.0.0");
                ASSERT_TRUE(dlg.createFromSkin());
                room.check(dlg, "about");
                ++windows;
            }
            static const char* tabs[] = {"tabBitRateSetting", "tabFPSSetting", "tabConmonSetting"};
            for (int page = 0; page < 3; ++page) {
                app::CSettingDlg dlg(nullptr, settings);
                ASSERT_TRUE(dlg.createFromSkin());
                if (ui::Control* tab = dlg.find(tabs[page]))
                    tab->setChecked(true);
                if (auto* pages = dlg.find<ui::TabLayout>("tabMain"))
                    pages->selectItem(page);
                room.check(dlg, "setting page " + std::to_string(page));
                ++windows;
            }
            {
                app::MainWindowContext context{settings, branding, title, rtl};
                mainframe::CMainFrame frame(context);
                ASSERT_TRUE(frame.createFromSkin());
                EXPECT_EQ(frame.layoutDirection(), rtl ? Qt::RightToLeft : Qt::LeftToRight);
                room.check(frame, "main");
                ++windows;
            }
            ui::skin().close();
        }
    }
    QApplication::setLayoutDirection(Qt::LeftToRight);
    app::setCurrentLanguage(app::LanguageId::English);
    std::ostringstream all;
    for (const auto& p : room.problems)
        all << p << "\n";
    EXPECT_TRUE(room.problems.empty())
        << room.problems.size() << " texts without room in " << windows << " windows:\n"
        << all.str();
}
