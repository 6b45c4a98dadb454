// uishot: renders a window of the program, or any layout of a skin archive, to a
// PNG without a desktop.
//   uishot --dialog message|about|setting|main|merge|update|toolbox [--language CODE]
//          [--dpi 96|120|144|192] [--kind 16|64|4|68|32] [--support] [--page 0|1|2] [--rows]
//          [--skin ARCHIVE] --out FILE.png
// --rows fills the main window's list with a row in every state. "update" shows sample
// release notes (--page 1: the download); "toolbox" a sample package with a row of each
// kind, the last one installing. Both keep their files in a data folder of their own.
//   uishot --dialog player --file MEDIA [--clip S,E] [--crop X,Y,W,H] [--close-playing] [--dpi N]
//          --out FILE.png
//   uishot --layout NAME.xml [--language CODE] [--dpi N] [--skin ARCHIVE] --out FILE.png
//
// The player dialog shows the file's first picture, drawn by the player core into a
// native window: without a display, uishot starts a private Xvfb for it.

#include "app/gui/interface_language.h"

#include <QApplication>
#include <QImage>
#include <QLayout>
#include <QPainter>
#include <QThread>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <string>

#include "app/branding_info.h"
#include "app/gui/about_dlg.h"
#include "app/gui/message_dlg.h"
#include "app/gui/setting_dlg.h"
#include "app/language.h"
#include "app/settings_store.h"
#include "app/version.h"
#include "mainframe/gui/conver_ctrl.h"
#include "mainframe/gui/main_frame.h"
#include "mainframe/gui/merge_dlg.h"
#include "platform/files.h"
#include "platform/folders.h"
#include "platform/window_messages.h"
#include "player_shot.h"
#include "sample_rows.h"
#include "ui/application.h"
#include "ui/container.h"
#include "ui/controls.h"
#include "ui/skin.h"
#ifdef QUORIN_WITH_ONLINE
#include "online/gui/toolbox_wnd.h"
#include "online/gui/update_dlg.h"
#include "online/toolbox.h"
#include "online/update.h"
#include "online/version_page.h"
#include "sample_toolbox.h"
#endif

namespace {

int usage() {
    std::fprintf(
        stderr,
        "usage: uishot --dialog message|about|setting|main|merge|update|toolbox [--language CODE] [--dpi N]\n"
        "              [--kind K] [--support] [--page N] [--rows] [--mode OPTION] [--files A,B...]\n"
        "              [--skin ARCHIVE] --out FILE.png\n"
        "       uishot --dialog player --file MEDIA [--clip S,E] [--crop X,Y,W,H] [--close-playing]\n"
        "              [--dpi N] --out FILE.png\n"
        "       uishot --layout NAME.xml [--language CODE] [--dpi N] [--skin ARCHIVE] --out FILE.png\n");
    return 2;
}

app::LanguageId languageOfCode(const std::string& code) {
    for (const app::LanguageInfo& info : app::languageTable()) {
        if (info.code == code)
            return info.id;
    }
    return app::LanguageId::English;
}

// The window on a quiet desktop-coloured backdrop, so the shadow shows. `extra`
// paints over the grabbed window (the player's native picture).
bool save(QWidget& window, const std::string& out, bool backdrop,
          const std::function<void(QPainter&)>& extra = {}) {
    window.ensurePolished();
    if (QLayout* layout = window.layout())
        layout->activate();
    QPixmap shot = window.grab();
    QImage image(shot.size(), QImage::Format_ARGB32_Premultiplied);
    image.fill(backdrop ? QColor(0xE4, 0xE8, 0xEE) : QColor(Qt::transparent));
    {
        QPainter painter(&image);
        painter.drawPixmap(0, 0, shot);
        if (extra)
            extra(painter);
    }
    return image.save(QString::fromStdString(out));
}

class PlainWindow : public ui::Window {};

}  // namespace

int main(int argc, char** argv) {
    std::map<std::string, std::string> opt;
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        if (!a.starts_with("--"))
            return usage();
        if (a == "--support" || a == "--no-backdrop" || a == "--rows" || a == "--close-playing") {
            opt[a] = "1";
        } else if (i + 1 < argc) {
            opt[a] = argv[++i];
        } else {
            return usage();
        }
    }
    if (!opt.count("--out") || (opt.count("--dialog") == opt.count("--layout")))
        return usage();
    // The player's picture needs an X server; the other windows draw offscreen.
    std::unique_ptr<PrivateXServer> xserver;
    if (opt["--dialog"] == "player" && !std::getenv("DISPLAY")) {
        xserver = std::make_unique<PrivateXServer>();
        if (!xserver->started()) {
            std::fprintf(stderr, "uishot: the player dialog needs an X display and Xvfb did not start\n");
            return 1;
        }
    }
    if (opt["--dialog"] == "player")
        preparePlayerEnvironment();
    if (!std::getenv("QT_QPA_PLATFORM"))
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    // In a build tree the program folder is <build>/bin, a few levels above us.
    if (!std::getenv("QUORIN_PROGRAM_DIR")) {
        for (auto dir = platform::executablePath().parent_path(); dir != dir.parent_path();
             dir = dir.parent_path()) {
            if (std::filesystem::exists(dir / "bin" / "skin")) {
                setenv("QUORIN_PROGRAM_DIR", (dir / "bin").c_str(), 1);
                break;
            }
        }
    }
    // The online windows write the data folder (the installer, the package) and read the
    // machine store (installed tools): private ones.
    if (opt["--dialog"] == "update" || opt["--dialog"] == "toolbox") {
        const auto data = platform::workDir() / "uishot_data";
        setenv("QUORIN_DATA_DIR", data.c_str(), 1);
        setenv("QUORIN_MACHINE_CONFIG_DIR", (data / "machine" / "QuorinVideoConverter").c_str(), 1);
    }
    ui::Application qt(argc, argv);

    const std::string code = opt.count("--language") ? opt["--language"] : "en";
    const app::LanguageId language = languageOfCode(code);
    app::applyInterfaceLanguage(language);
    const int dpi = opt.count("--dpi") ? std::atoi(opt["--dpi"].c_str()) : 96;
    ui::skin().setScaleDpi(ui::scaleDpiFor(dpi));
    const std::filesystem::path archive =
        opt.count("--skin") ? std::filesystem::path(opt["--skin"])
                            : platform::programDir() / std::string(app::skinArchiveName(language));
    if (!ui::skin().openArchive(archive)) {
        std::fprintf(stderr, "uishot: cannot open skin archive %s\n", archive.c_str());
        return 1;
    }
    const bool backdrop = !opt.count("--no-backdrop");
    const std::string out = opt["--out"];

    if (opt.count("--layout")) {
        PlainWindow window;
        if (!window.create(opt["--layout"])) {
            std::fprintf(stderr, "uishot: cannot build layout %s\n", opt["--layout"].c_str());
            return 1;
        }
        return save(window, out, backdrop) ? 0 : 1;
    }

    const std::string dialog = opt["--dialog"];
    app::SettingsStore settings("/nonexistent/Config.ini", "/nonexistent/Config.ini", "/nonexistent/oem.ini");
    app::BrandingInfo branding = app::BrandingInfo::load(language, "/nonexistent/oem.ini");
    std::string title = app::getText("ProductName");
    std::unique_ptr<ui::Window> window;
    bool built = false;
    if (dialog == "message") {
        const int kind = opt.count("--kind") ? std::atoi(opt["--kind"].c_str()) : 64;
        std::string key = (kind & app::kMessageYesNo)     ? "ConfirmStop"
                          : (kind & app::kMessageError)   ? "CannotRecode"
                          : (kind & app::kMessageWarning) ? "WaitForConver"
                                                          : "NotUpdate";
        std::string text = app::getText(key, "Message");
        if (key == "CannotRecode") {
            std::string file = "Holiday clip 2026.mp4";
            text = app::fillTextFormat(text, std::span<const std::string>(&file, 1));
        }
        auto dlg = std::make_unique<app::CMessageDlg>(nullptr, text, app::getText("Title", "Message"), kind);
        dlg->setShowSupportButton(opt.count("--support") > 0);
        built = dlg->createFromSkin();
        window = std::move(dlg);
    } else if (dialog == "about") {
        auto dlg = std::make_unique<app::CAboutDlg>(nullptr, branding, title, app::programVersion().text);
        built = dlg->createFromSkin();
        window = std::move(dlg);
    } else if (dialog == "setting") {
        auto dlg = std::make_unique<app::CSettingDlg>(nullptr, settings);
        built = dlg->createFromSkin();
        const int page = opt.count("--page") ? std::atoi(opt["--page"].c_str()) : 0;
        static const char* tabs[] = {"tabBitRateSetting", "tabFPSSetting", "tabConmonSetting"};
        if (built && page >= 0 && page < 3) {
            if (ui::Control* tab = dlg->find(tabs[page]))
                tab->setChecked(true);
            if (auto* pages = dlg->find<ui::TabLayout>("tabMain"))
                pages->selectItem(page);
        }
        window = std::move(dlg);
    } else if (dialog == "player") {
        if (!opt.count("--file"))
            return usage();
        auto saver = [&](QWidget& w, const std::function<void(QPainter&)>& extra) {
            return save(w, out, backdrop, extra);
        };
        return shootPlayer(opt["--file"], opt["--clip"], opt["--crop"], opt.count("--close-playing"), saver)
                   ? 0
                   : 1;
    } else if (dialog == "main") {
        app::MainWindowContext context{settings, branding, title, app::isRightToLeft(language)};
        auto frame = std::make_unique<mainframe::CMainFrame>(context);
        built = frame->createFromSkin();
        if (built && opt.count("--mode")) {
            const std::string mode_option = std::string(opt["--mode"]);
            if (ui::Control* option = frame->find(mode_option))
                option->setChecked(true);
        }
        if (built && opt.count("--files")) {
            // Comma-separated; the rows are shown once the probe has seen them.
            std::vector<std::string> files;
            std::string list = opt["--files"];
            for (std::size_t from = 0; from <= list.size();) {
                std::size_t end = std::min(list.find(',', from), list.size());
                if (end > from)
                    files.push_back(list.substr(from, end - from));
                from = end + 1;
            }
            frame->addPaths(files);
            for (int i = 0; i < 100; ++i) {
                QApplication::processEvents(QEventLoop::AllEvents, 20);
                bool all = true;
                for (auto* task : frame->lists().allTasks())
                    all = all && task->ready.load();
                if (all)
                    break;
                QThread::msleep(20);
            }
            QApplication::processEvents();
        }
        if (built && opt.count("--rows")) {
            static uishot::SampleRows samples = uishot::makeSampleRows(platform::workDir() / "uishot_rows");
            static mainframe::gui::RowFactory factory(frame.get());
            uishot::showSampleRows(*frame, samples, factory);
        }
        window = std::move(frame);
    } else if (dialog == "merge") {
        convert::MergeRequest request;
        request.inputs = {"/nonexistent/part1.mp4", "/nonexistent/part2.mp4", "/nonexistent/part3.mp4"};
        request.target_ext = "mp4";
        request.output_folder = (platform::workDir() / "uishot_merge").string();
        request.total_duration = 90;
        auto dlg = std::make_unique<mainframe::gui::CMergeDlg>(nullptr, request);
        built = dlg->createFromSkin();
        if (built)
            platform::postJoinProgress(*dlg, 40);
        QCoreApplication::processEvents();
        window = std::move(dlg);
#ifdef QUORIN_WITH_ONLINE
    } else if (dialog == "update") {
        auto dlg = std::make_unique<online::gui::CUpdateDlg>(nullptr, online::updater());
        built = dlg->createFromSkin();
        if (built) {
            dlg->showNotes(online::releaseNotesText(uishot::kSampleReleaseNotes, app::programVersion().text));
            // No update host: the download ends at once; the picture is taken before
            // its end is handled.
            if (ui::Control* update = opt["--page"] == "1" ? dlg->find("Update") : nullptr)
                update->notify("click");
        }
        window = std::move(dlg);
    } else if (dialog == "toolbox") {
        if (!uishot::writeSampleToolbox(online::toolboxPackagePath()))
            return 1;
        auto popup = std::make_unique<online::gui::CToolbox>(nullptr);
        built = popup->open(QPoint(40, 40));
        // The last row's "get": its install starts (and fails at once, no toolbox host).
        if (built && popup->rowCount() > 0) {
            if (ui::Control* row = popup->find<ui::List>("list")->itemAt(popup->rowCount() - 1))
                row->find("button")->notify("click");
        }
        window = std::move(popup);
#endif
    } else {
        return usage();
    }
    if (!built) {
        std::fprintf(stderr, "uishot: the skin has no layout for %s\n", dialog.c_str());
        return 1;
    }
    return save(*window, out, backdrop) ? 0 : 1;
}
