#include "app/gui/about_dlg.h"

#include "platform/process.h"

namespace app {

// Branding images are files on disk named in oem.ini.
static std::string fullPathImage(const std::string& path) {
    return "file='" + path + "' restype='fullpath'";
}

CAboutDlg::CAboutDlg(QWidget* owner, BrandingInfo branding, std::string title, std::string version)
    : MyBaseWindow(owner, "dlg_about"),
      branding_(std::move(branding)),
      title_(std::move(title)),
      version_(std::move(version)),
      open_url_([](const std::string& url) { return platform::openWithDesktop(url); }) {}

void CAboutDlg::initWindow() {
    setControlText("ProductName", title_);
    setControlText("label_version", version_);
    if (!branding_.about_logo.empty()) {
        if (ui::Control* logo = find("AboutLogo"))
            logo->setAttribute("bkimage", fullPathImage(branding_.about_logo));
    }
    if (!branding_.official_site.empty())
        setControlText("buttonSite", branding_.official_site);
    if (!branding_.company_name.empty())
        setControlText("CompanyName", branding_.company_name);
    if (!branding_.dlg_bg_image.empty()) {
        if (ui::Control* frame = find("DlgFrame"))
            frame->setAttribute("bkimage", fullPathImage(branding_.dlg_bg_image));
    }
    setControlVisible("LayCompanyInfo", branding_.show_official);
    // An empty link would only leave a gap under the company name.
    if (ui::Control* site = find("buttonSite"); site && site->text().empty())
        site->setShown(false);
}

void CAboutDlg::onClick(ui::Notify& n) {
    const std::string name = n.sender ? n.sender->name() : std::string();
    if (name == "btnClose") {
        close(0);
    } else if (name == "btn_openurl" || name == "buttonSite") {
        const std::string url = n.sender->text();
        if (!url.empty() && open_url_)
            open_url_(url);
    }
}

}  // namespace app
