// Every window and menu in every language at 96 and 144 DPI: no text is wider or
// taller than the room its control gives it, and Arabic and Hebrew windows open mirrored.

#include <QApplication>
#include <QLayout>
#include <QLineEdit>
#include <QMenu>
#include <QTest>
#include <sstream>

#include "app/gui/about_dlg.h"
#include "app/gui/interface_language.h"
#include "app/gui/message_dlg.h"
#include "app/gui/setting_dlg.h"
#include "app/language.h"
#include "app/settings_store.h"
#include "mainframe/gui/conver_ctrl.h"
#include "mainframe/gui/main_frame.h"
#include "mainframe/gui/merge_dlg.h"
#include "online/gui/update_dlg.h"
#include "online/update.h"
#include "platform/folders.h"
#include "qt_env.h"
#include "sample_rows.h"
#include "test_support.h"
#include "ui/container.h"
#include "ui/controls.h"
#include "ui/menu.h"
#include "ui/skin.h"

namespace {

struct Room {
    std::vector<std::string> problems;
    std::string where;
    int windows = 0;

    void check(ui::Window& window, const std::string& what) {
        ++windows;
        window.show();
        if (QLayout* layout = window.layout())
            layout->activate();
        QApplication::processEvents();
        for (ui::Control* c : window.findChildren<ui::Control*>()) {
            if (!c->isVisibleTo(&window))
                continue;
            // An over-full line pushes a control past its container's edge or over its
            // neighbour.
            auto* parent = qobject_cast<ui::Control*>(c->parentWidget());
            if (parent && !parent->rect().contains(c->geometry()))
                problems.push_back(where + " " + what + " " + c->name() + " outside " + parent->name());
            if (qobject_cast<ui::HorizontalLayout*>(parent) || qobject_cast<ui::VerticalLayout*>(parent)) {
                for (auto* other : parent->findChildren<ui::Control*>(Qt::FindDirectChildrenOnly)) {
                    if (other < c && other->isVisibleTo(&window) && !other->isFloat() && !c->isFloat() &&
                        other->geometry().intersects(c->geometry()))
                        problems.push_back(where + " " + what + " " + c->name() + " over " + other->name());
                }
            }
            if (c->textFits())
                continue;
            // The output folder and a row's output name are the user's, of any length.
            if (c->name() == "edit_output_path" || c->name() == "edit_new_video_name")
                continue;
            std::string text = c->text();
            if (auto* edit = dynamic_cast<ui::Edit*>(c))
                text += " / " + edit->lineEdit()->placeholderText().toStdString();
            problems.push_back(where + " " + what + " " + c->name() + " (" + std::to_string(c->width()) +
                               "x" + std::to_string(c->height()) + "): " + text);
        }
        window.hide();
    }

    // The menu a click on `button` opens, as the window fills it.
    void checkMenu(ui::Window& window, const char* button, ui::Menu* (*open_menu)(ui::Window&)) {
        ++windows;
        QTest::mouseClick(window.find(button), Qt::LeftButton);
        ui::Menu* menu = open_menu(window);
        if (!menu) {
            problems.push_back(where + " " + button + ": no menu");
            return;
        }
        // The entries of services a deployment may have.
        for (const char* item : {"menuUpdate", "menuKefu", "menuFeedback"})
            menu->setVisible(item, true);
        for (const std::string& item : menu->itemsWithoutRoom())
            problems.push_back(where + " " + button + " " + item);
        menu->qmenu()->hide();
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

void checkDialogs(Room& room, app::SettingsStore& settings, const app::BrandingInfo& branding) {
    std::string file = "Holiday clip 2026.mp4";
    const std::string cannot = app::fillTextFormat(app::getText("CannotRecode", "Message"), {&file, 1});
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
    }
    {
        app::CAboutDlg dlg(nullptr, branding, app::getText("ProductName"), "1.0.0.0");
        ASSERT_TRUE(dlg.createFromSkin());
        room.check(dlg, "about");
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
    }
    {
        convert::MergeRequest request;
        request.inputs = {"/nonexistent/part1.mp4", "/nonexistent/part2.mp4"};
        request.target_ext = "mp4";
        request.output_folder = "/nonexistent";
        mainframe::gui::CMergeDlg dlg(nullptr, request);
        ASSERT_TRUE(dlg.createFromSkin());
        room.check(dlg, "merge");
    }
    {
        // The release notes, then the download (no host: nothing is fetched).
        online::CUpdate update;
        online::gui::CUpdateDlg dlg(nullptr, update);
        ASSERT_TRUE(dlg.createFromSkin());
        room.check(dlg, "update");
        for (const char* name : {"layName", "layContent", "LaterReminder", "Update"})
            dlg.find(name)->setShown(false);
        for (const char* name : {"Cancel", "layDownload"})
            dlg.find(name)->setShown(true);
        room.check(dlg, "update download");
    }
}

// The main window with a row in every state, then in every mode.
void checkMainWindow(Room& room, const app::MainWindowContext& context,
                     const std::filesystem::path& scratch) {
    uishot::SampleRows samples = uishot::makeSampleRows(scratch);  // texts of the current language
    mainframe::CMainFrame frame(context);
    ASSERT_TRUE(frame.createFromSkin());
    EXPECT_EQ(frame.layoutDirection(), context.right_to_left ? Qt::RightToLeft : Qt::LeftToRight);
    // A path reads left to right in every window.
    EXPECT_EQ(frame.find<ui::Edit>("edit_output_path")->lineEdit()->layoutDirection(), Qt::LeftToRight);
    frame.find("LayoutToolbox")->setShown(true);
    {
        mainframe::gui::RowFactory factory(&frame);
        uishot::showSampleRows(frame, samples, factory);
        room.check(frame, "main rows");
        frame.list(convert::ConvertMode::Video)->removeAll();
    }
    auto open_menu = [](ui::Window& w) { return static_cast<mainframe::CMainFrame&>(w).openMenu(); };
    frame.show();
    room.checkMenu(frame, "btnMenu", open_menu);
    for (const char* mode : {"optConverVideo", "optConverAudio2", "optConverAudio", "optConverGif",
                             "optConverMerge", "optConverCompress"}) {
        frame.show();  // as the user switches: a hidden window lays out only when shown again
        frame.find(mode)->setChecked(true);
        room.checkMenu(frame, "btn_menu_format", open_menu);
        room.check(frame, std::string("main ") + mode);
    }
    frame.show();
    room.checkMenu(frame, "btn_menu_compress", open_menu);
    frame.hide();
}

// Menus are measured on a 1920x1080 screen, not the offscreen platform's 800x600.
[[maybe_unused]] const bool kFullHdScreen = [] {
    static testsupport::TempDir dir;
    testsupport::writeFile(
        dir / "screen.json",
        R"({"screens": [{"name": "FullHD", "x": 0, "y": 0, "width": 1920, "height": 1080}]})");
    setenv("QT_QPA_PLATFORM", ("offscreen:configfile=" + (dir / "screen.json").string()).c_str(), 1);
    return true;
}();

}  // namespace

TEST(TextRoom, EveryWindowInEveryLanguageAtBothScales) {
    ASSERT_TRUE(std::filesystem::exists(platform::programDir() / "skin" / "skin_de.skin"))
        << "skin archives not built";
    testsupport::TempDir scratch;
    app::SettingsStore settings("/nonexistent/Config.ini", "/nonexistent/Config.ini", "/nonexistent/oem.ini");
    Room room;
    for (const app::LanguageInfo& info : app::languageTable()) {
        app::applyInterfaceLanguage(info.id);  // the fonts the program draws this language with
        app::BrandingInfo branding = app::BrandingInfo::load(info.id, "/nonexistent/oem.ini");
        const app::MainWindowContext context{settings, branding, app::getText("ProductName"),
                                             app::isRightToLeft(info.id)};
        for (int dpi : {96, 144}) {
            ui::skin().setScaleDpi(ui::scaleDpiFor(dpi));
            ASSERT_TRUE(
                ui::skin().openArchive(platform::programDir() / std::string(app::skinArchiveName(info.id))));
            room.where = std::string(info.code) + "@" + std::to_string(dpi);
            checkDialogs(room, settings, branding);
            checkMainWindow(room, context, scratch.path());
            ui::skin().close();
        }
    }
    QApplication::setLayoutDirection(Qt::LeftToRight);
    app::setCurrentLanguage(app::LanguageId::English);
    std::ostringstream all;
    for (const auto& p : room.problems)
        all << p << "\n";
    EXPECT_TRUE(room.problems.empty())
        << room.problems.size() << " texts without room in " << room.windows << " windows and menus:\n"
        << all.str();
}
