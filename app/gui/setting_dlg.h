#pragma once
// CSettingDlg: the one-shot video bit rate and frame rate of the next conversion,
// and the standby service switch. Values are stored only by "btnYes", after both
// range checks (a bit rate above 1,000,000 kbit/s or a frame rate above 1000 is
// refused with a message and the dialog stays open).

#include "app/gui/my_base_window.h"
#include "app/settings_store.h"

namespace app {

class CSettingDlg : public MyBaseWindow {
    Q_OBJECT
public:
    CSettingDlg(QWidget* owner, SettingsStore& settings);
    int run() { return doModal(0); }

    // How a validation message is shown (the message dialog by default); tests
    // record it instead of running a nested modal loop.
    void setMessageHandler(std::function<void(const char* key)> handler) {
        show_message_ = std::move(handler);
    }

protected:
    void initWindow() override;
    void onClick(ui::Notify& notify) override;

private:
    void apply();
    SettingsStore& settings_;
    std::function<void(const char* key)> show_message_;
};

}  // namespace app
