#pragma once
// CMessageDlg: the program's message box. Kinds are the system message-box flags
// (1 OK/cancel, 4 yes/no, 16 error, 32 warning, 64 information); the result is 6
// when the user confirmed ("btnYes") and 7 otherwise.

#include <QColor>
#include <functional>
#include <string>
#include <string_view>

#include "app/gui/my_base_window.h"
#include "app/message_key.h"

namespace app {

inline constexpr int kMessageOkCancel = 1;
inline constexpr int kMessageYesNo = 4;
inline constexpr int kMessageError = 16;
inline constexpr int kMessageWarning = 32;
inline constexpr int kMessageInformation = 64;
inline constexpr int kResultYes = 6;
inline constexpr int kResultNo = 7;

class CMessageDlg : public MyBaseWindow {
    Q_OBJECT
public:
    CMessageDlg(QWidget* owner, std::string text, std::string title, int kind, bool html = false,
                QColor text_color = QColor::fromRgba(0xFF2244BB));

    // The support button ("btnKefu") in place of the confirm button.
    void setShowSupportButton(bool show) { show_support_ = show; }
    void setShowNoShowAgain(bool show) { show_no_show_again_ = show; }
    // How the support page is opened (the desktop's browser by default).
    void setUrlOpener(std::function<bool(const std::string&)> opener) { open_url_ = std::move(opener); }
    void setSupportUrl(std::string url) { support_url_ = std::move(url); }

    // Runs the dialog; 6 or 7, or 0 when the skin has no message layout.
    int run() { return doModal(kResultNo); }

protected:
    void initWindow() override;
    void onClick(ui::Notify& notify) override;

private:
    void fitBody();
    std::string text_, title_;
    int kind_;
    bool html_;
    QColor text_color_;
    bool show_support_ = false;
    bool show_no_show_again_ = false;
    std::string support_url_;
    std::function<bool(const std::string&)> open_url_;
};

// Shows `text` with `title` in a message dialog of `kind`; 6 for yes, 7 for no.
int messageBox(QWidget* owner, const std::string& text, const std::string& title, int kind);
// Text `key` and the title "Title" from section "Message" of the language file.
int showMessage(QWidget* owner, std::string_view key, int kind);
int showMessage(QWidget* owner, MessageKey key, int kind);

}  // namespace app
