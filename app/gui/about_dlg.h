#pragma once
// CAboutDlg: product name, version and the branding of oem.ini.

#include <functional>
#include <string>

#include "app/branding_info.h"
#include "app/gui/my_base_window.h"

namespace app {

class CAboutDlg : public MyBaseWindow {
    Q_OBJECT
public:
    CAboutDlg(QWidget* owner, BrandingInfo branding, std::string title, std::string version);
    void setUrlOpener(std::function<bool(const std::string&)> opener) { open_url_ = std::move(opener); }
    int run() { return doModal(0); }

protected:
    void initWindow() override;
    void onClick(ui::Notify& notify) override;

private:
    BrandingInfo branding_;
    std::string title_, version_;
    std::function<bool(const std::string&)> open_url_;
};

}  // namespace app
