// uishot: renders a window of the program, or any layout of a skin archive, to a
// PNG without a desktop.
//   uishot --dialog message|about|setting|main [--language CODE] [--dpi 96|120|144|192]
//          [--kind 16|64|4|68|32] [--support] [--page 0|1|2] [--skin ARCHIVE] --out FILE.png
//   uishot --layout NAME.xml [--language CODE] [--dpi N] [--skin ARCHIVE] --out FILE.png

#include <QApplication>
#include <QImage>
#include <QLayout>
#include <QPainter>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <memory>
#include <string>

#include "app/branding_info.h"
#include "app/gui/about_dlg.h"
#include "app/gui/main_shell.h"
#include "app/gui/message_dlg.h"
#include "app/gui/setting_dlg.h"
#include "app/language.h"
#include "app/settings_store.h"
#include "app/version.h"
#include "platform/files.h"
#include "platform/folders.h"
#include "ui/container.h"
#include "ui/skin.h"

namespace {

int usage() {
    std::fprintf(
        stderr,
        "usage: uishot --dialog message|about|setting|main [--language CODE] [--dpi N] [--kind K]\n"
        "              [--support] [--page N] [--skin ARCHIVE] --out FILE.png\n"
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

// The window on a quiet desktop-coloured backdrop, so the shadow shows.
bool save(QWidget& window, const std::string& out, bool backdrop) {
    window.ensurePolished();
    if (QLayout* layout = window.layout())
        layout->activate();
    QPixmap shot = window.grab();
    QImage image(shot.size(), QImage::Format_ARGB32_Premultiplied);
    image.fill(backdrop ? QColor(0xE4, 0xE8, 0xEE) : QColor(Qt::transparent));
    {
        QPainter painter(&image);
        painter.drawPixmap(0, 0, shot);
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
        if (a == "--support" || a == "--no-backdrop") {
            opt[a] = "1";
        } else if (i + 1 < argc) {
            opt[a] = argv[++i];
        } else {
            return usage();
        }
    }
    if (!opt.count("--out") || (opt.count("--dialog") == opt.count("--layout")))
        return usage();
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
    QApplication qt(argc, argv);

    const std::string code = opt.count("--language") ? opt["--language"] : "en";
    const app::LanguageId language = languageOfCode(code);
    app::setCurrentLanguage(language);
    QApplication::setLayoutDirection(app::isRightToLeft(language) ? Qt::RightToLeft : Qt::LeftToRight);
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
    } else if (dialog == "main") {
        app::MainWindowContext context{settings, branding, title, app::isRightToLeft(language)};
        auto shell = std::make_unique<app::CMainShell>(context);
        built = shell->createFromSkin();
        window = std::move(shell);
    } else {
        return usage();
    }
    if (!built) {
        std::fprintf(stderr, "uishot: the skin has no layout for %s\n", dialog.c_str());
        return 1;
    }
    return save(*window, out, backdrop) ? 0 : 1;
}
