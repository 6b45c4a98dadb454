#include "app/gui/main_shell.h"

#include <QCloseEvent>
#include <array>

#include "app/branding_info.h"

namespace app {

namespace {
constexpr std::array<const char*, 6> kModeOptions = {"optConverVideo", "optConverAudio2",
                                                     "optConverAudio", "optConverGif",
                                                     "optConverMerge", "optConverCompress"};
constexpr std::array<const char*, 6> kModeLists = {"listVideo", "listAudio2", "listAudio",
                                                   "listGif",   "listMerge",  "listCompress"};
}  // namespace

CMainShell::CMainShell(const MainWindowContext& context) : context_(context) {
    setObjectName(QStringLiteral("QuorinVideoConvertWindowClass"));
    setWindowTitle(QString::fromStdString(context.title));
    if (context.right_to_left)
        setLayoutDirection(Qt::RightToLeft);
}

bool CMainShell::createFromSkin() {
    if (!create("skin.xml"))
        return false;
    if (ui::Control* title = find("TitleText"))
        title->setText(context_.title);
    if (!context_.branding.title_logo.empty()) {
        if (ui::Control* logo = find("TitleLogo"))
            logo->setAttribute("bkimage", "file='" + context_.branding.title_logo + "' restype='fullpath'");
    }
    setControlShown("btnRestore", false);
    selectMode(0);
    return true;
}

void CMainShell::setControlShown(const char* name, bool shown) {
    if (ui::Control* c = find(name))
        c->setShown(shown);
}

void CMainShell::selectMode(int mode) {
    if (mode < 0 || mode >= static_cast<int>(kModeOptions.size()))
        return;
    mode_ = mode;
    for (size_t i = 0; i < kModeOptions.size(); ++i) {
        const bool on = static_cast<int>(i) == mode;
        if (ui::Control* opt = find(kModeOptions[i])) {
            if (on)
                opt->setChecked(true);
        }
        if (ui::Control* bottom = find(std::string(kModeOptions[i]) + "_Bottom")) {
            if (on)
                bottom->setChecked(true);
        }
        setControlShown(kModeLists[i], on);
    }
    setControlShown("layCompress", mode == 5);
}

void CMainShell::notify(ui::Notify& n) {
    if (!n.sender)
        return;
    const std::string name = n.sender->name();
    if (n.type == "selectchanged" && n.sender->isChecked()) {
        for (size_t i = 0; i < kModeOptions.size(); ++i) {
            if (name == kModeOptions[i] || name == std::string(kModeOptions[i]) + "_Bottom") {
                if (mode_ != static_cast<int>(i))
                    selectMode(static_cast<int>(i));
            }
        }
        return;
    }
    if (n.type != "click")
        return;
    if (name == "btnClose") {
        QWidget::close();
    } else if (name == "btnMin") {
        showMinimized();
    } else if (name == "btnMax") {
        showMaximized();
        setControlShown("btnMax", false);
        setControlShown("btnRestore", true);
    } else if (name == "btnRestore") {
        showNormal();
        setControlShown("btnMax", true);
        setControlShown("btnRestore", false);
    }
}

}  // namespace app
