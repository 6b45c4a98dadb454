#include "app/gui/message_dlg.h"

#include "app/language.h"
#include "platform/process.h"
#include "ui/skin.h"

#include <QGuiApplication>
#include <QScreen>
#include <algorithm>

namespace app {

CMessageDlg::CMessageDlg(QWidget* owner, std::string text, std::string title, int kind, bool html,
                         QColor text_color)
    : MyBaseWindow(owner, "dlg_message"),
      text_(std::move(text)),
      title_(std::move(title)),
      kind_(kind),
      html_(html),
      text_color_(text_color),
      open_url_([](const std::string& url) { return platform::openWithDesktop(url); }) {}

void CMessageDlg::initWindow() {
    setControlText("caption", title_);
    setWindowTitle(QString::fromStdString(title_));
    if (ui::Control* body = find("context")) {
        body->setAttribute("showhtml", html_ ? "true" : "false");
        if (text_color_.isValid())
            body->setAttribute("textcolor", text_color_.name(QColor::HexArgb).toStdString());
        body->setText(text_);
    }
    // One icon: information first, then error, then warning; information otherwise.
    const char* icon = (kind_ & kMessageInformation) ? "infoLogo"
                       : (kind_ & kMessageError)     ? "errorLogo"
                       : (kind_ & kMessageWarning)   ? "warnLogo"
                                                     : "infoLogo";
    for (const char* name : {"infoLogo", "errorLogo", "warnLogo"})
        setControlVisible(name, std::string_view(name) == icon);
    // A plain message has the confirm button only.
    setControlVisible("btnClose", (kind_ & (kMessageYesNo | kMessageOkCancel)) != 0);
    if (kind_ & kMessageYesNo) {
        // A question reads better with Yes / No than with OK / Cancel.
        if (std::string yes = getText("BtnYes"); !yes.empty())
            setControlText("btnYes", yes);
        if (std::string no = getText("BtnNo"); !no.empty())
            setControlText("btnClose", no);
    }
    setControlVisible("btnKefu", show_support_);
    setControlVisible("btnYes", !show_support_);
    setControlVisible("optNoShowAgain", show_no_show_again_);
    fitBody();
}

void CMessageDlg::fitBody() {
    ui::Control* body = find("context");
    if (!body || !layout())
        return;
    // A grab lays the hidden window out (it delivers the pending resizes all the way
    // down), which tells the body's width.
    (void)grab(QRect(0, 0, 1, 1));
    const int missing = body->textHeightForWidth(body->width()) - body->height();
    if (missing <= 0)
        return;
    const ui::Skin& s = ui::skin();
    const int client_units = (height() - 2 * shadowMargin()) * 96 / s.scaleDpi();
    int wanted = client_units + (missing * 96 + s.scaleDpi() - 1) / s.scaleDpi();
    // Never taller than most of the screen; the rest of a huge text is cut.
    if (QScreen* screen = QGuiApplication::primaryScreen())
        wanted = std::min(wanted, screen->availableGeometry().height() * 4 / 5 * 96 / s.scaleDpi());
    resizeClient(-1, wanted);
}

void CMessageDlg::onClick(ui::Notify& n) {
    const std::string name = n.sender ? n.sender->name() : std::string();
    if (name == "btnYes") {
        close(kResultYes);
    } else if (name == "btnClose" || name == "btnExit") {
        close(kResultNo);
    } else if (name == "btnKefu") {
        if (!support_url_.empty() && open_url_)
            open_url_(support_url_);
    }
}

int messageBox(QWidget* owner, const std::string& text, const std::string& title, int kind) {
    CMessageDlg dlg(owner, text, title, kind);
    return dlg.run();
}

int showMessage(QWidget* owner, std::string_view key, int kind) {
    return messageBox(owner, getText(key, "Message"), getText("Title", "Message"), kind);
}

int showMessage(QWidget* owner, MessageKey key, int kind) {
    return showMessage(owner, key.decode(), kind);
}

}  // namespace app
