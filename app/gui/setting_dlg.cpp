#include "app/gui/setting_dlg.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "app/gui/message_dlg.h"
#include "ui/container.h"

namespace app {

namespace {

constexpr std::int64_t kMaxBitrateKbps = 1000000;
constexpr double kMaxFrameRate = 1000.0;

// Leading digits (after an optional sign) as a number; text that is no number
// gives 0. Values beyond the 64-bit range saturate, so they stay "too large"
// instead of wrapping into an accepted value.
std::int64_t leadingInteger(const std::string& text) {
    const char* p = text.c_str();
    while (*p == ' ' || *p == '\t')
        ++p;
    long long v = std::strtoll(p, nullptr, 10);
    return static_cast<std::int64_t>(v);
}

}  // namespace

CSettingDlg::CSettingDlg(QWidget* owner, SettingsStore& settings)
    : MyBaseWindow(owner, "dlg_setting"), settings_(settings) {
    show_message_ = [this](const char* key) { showMessage(this, key, kMessageError); };
}

void CSettingDlg::initWindow() {
    if (ui::Control* standby = find("StandbyServer"))
        standby->setChecked(settings_.standbyServer());
    if (settings_.customBitrate() > 0) {
        setControlText("edtBitRate", std::to_string(settings_.customBitrate() / 1000));
    }
    if (settings_.customFrameRate() > 0) {
        char text[32];
        std::snprintf(text, sizeof text, "%0.2f", static_cast<double>(settings_.customFrameRate()));
        setControlText("edtFPS", text);
    }
}

void CSettingDlg::onClick(ui::Notify& n) {
    const std::string name = n.sender ? n.sender->name() : std::string();
    auto* tabs = find<ui::TabLayout>("tabMain");
    if (name == "tabBitRateSetting") {
        if (tabs)
            tabs->selectItem(0);
    } else if (name == "tabFPSSetting") {
        if (tabs)
            tabs->selectItem(1);
    } else if (name == "tabConmonSetting") {
        if (tabs)
            tabs->selectItem(2);
    } else if (name == "btnDefault") {
        setControlText("edtBitRate", "");
        setControlText("edtFPS", "");
        if (ui::Control* standby = find("StandbyServer"))
            standby->setChecked(false);
    } else if (name == "btnClose" || name == "btnCancel") {
        close(0);
    } else if (name == "btnYes") {
        apply();
    }
}

void CSettingDlg::apply() {
    ui::Control* bitrate_edit = find("edtBitRate");
    ui::Control* fps_edit = find("edtFPS");
    const std::string bitrate_text = bitrate_edit ? bitrate_edit->text() : std::string();
    std::int64_t kbps = 0;
    if (!bitrate_text.empty()) {
        kbps = leadingInteger(bitrate_text);
        if (kbps > kMaxBitrateKbps) {
            show_message_("BitRateTooLog");
            return;
        }
    }
    // Negative entries mean "not set": the builder only ever uses values above 0.
    settings_.setCustomBitrate(kbps > 0 ? kbps * 1000 : 0);

    const std::string fps_text = fps_edit ? fps_edit->text() : std::string();
    double fps = 0.0;
    if (!fps_text.empty()) {
        fps = std::strtod(fps_text.c_str(), nullptr);
        // "nan" is no number: like any other unparsable text it means "not set".
        if (std::isnan(fps))
            fps = 0.0;
        if (fps > kMaxFrameRate) {
            show_message_("FPSTooLog");
            return;
        }
    }
    settings_.setCustomFrameRate(fps > 0 ? static_cast<float>(fps) : 0.0f);

    if (ui::Control* standby = find("StandbyServer"))
        settings_.setStandby(standby->isChecked());
    close(1);
}

}  // namespace app
