#include "online/gui/online_services.h"

#include <QCoreApplication>
#include <QPointer>
#include <memory>

#include "app/branding_info.h"
#include "app/cd_dat.h"
#include "app/gui/message_dlg.h"
#include "app/gui/startup.h"
#include "app/language.h"
#include "app/version.h"
#include "online/endpoints.h"
#include "online/gui/toolbox_wnd.h"
#include "online/gui/update_dlg.h"
#include "online/toolbox.h"
#include "online/update.h"
#include "online/usage_reporter.h"
#include "platform/registry.h"
#include "platform/window_messages.h"

namespace online::gui {
namespace {

std::unique_ptr<CToolbox>& toolboxWindow() {
    static std::unique_ptr<CToolbox> window;
    return window;
}

std::string g_new_version_url;  // oem.ini "Partner" "NewVersion"; GUI thread

void configure() {
    setEndpoints(Endpoints::load());
    const auto branding = app::BrandingInfo::load(app::currentLanguage());
    auto user = platform::RegistryStore::currentUser();
    const auto machine = platform::RegistryStore::localMachine();
    const auto version = app::programVersion();
    usageReporter().setIdentity(branding.partner_id, version.text, app::campaignTag(user, machine));
    g_new_version_url = branding.new_version_url;
    updater().setContext({.program_version = version.text,
                          .partner_id = branding.partner_id,
                          .new_version_url = branding.new_version_url,
                          .information_tag = app::getText("Information"),
                          .partner_tag = app::partnerTag(user, machine)});
}

void exiting() {
    closeToolbox();
    if (app::cddat::formatAnalysis() != 0)
        usageReporter().sendSessionReport(app::getText("ProductName"));
    // First: the update check may be sending a report itself.
    usageReporter().shutdown();
    updater().shutdown();
    toolboxCheck().shutdown();
}

std::string toolboxCode() {
    const auto branding = app::BrandingInfo::load(app::currentLanguage());
    return branding.toolbox.empty() ? std::string("videoconvert") : branding.toolbox;
}

}  // namespace

void installOnlineServices() {
    app::setOnlineHooks({
        .configure = configure,
        .uninstall_report = [] { usageReporter().reportEvent(UsageEvent::Uninstalled); },
        .started = [] { usageReporter().reportEvent(UsageEvent::Started); },
        .main_window =
            [](ui::Window& main) {
                updater().startDailyCheck(main.messageTarget());
                toolboxCheck().start(toolboxCode(), main.messageTarget(), platform::WM_TOOLBOX_READY);
            },
        .exiting = exiting,
    });
}

bool updateMenuVisible() {
    return !endpoints().update.empty() || g_new_version_url.starts_with("http");
}

void checkForUpdates(ui::Window& main) {
    QPointer<ui::Window> window(&main);
    auto notice = [window](UpdateNotice what) {
        // From the check thread: the message shows on the window's thread.
        QMetaObject::invokeMethod(
            QCoreApplication::instance(),
            [window, what] {
                if (window)
                    app::showMessage(window,
                                     what == UpdateNotice::NoVersion ? app::message_key::NoVersion
                                                                     : app::message_key::NotUpdate,
                                     app::kMessageInformation);
            },
            Qt::QueuedConnection);
    };
    switch (updater().startManualCheck(main.messageTarget(), notice)) {
        case CUpdate::ManualStart::Started:
            break;
        case CUpdate::ManualStart::StillRunning:
            app::showMessage(&main, app::message_key::Updating, app::kMessageInformation);
            break;
        case CUpdate::ManualStart::PendingInstaller:
            if (app::showMessage(&main, app::message_key::HasUpdate, app::kMessageYesNo) == app::kResultYes)
                updater().runInstaller();
            break;
    }
}

void onUpdateFound(ui::Window& main) {
    CUpdateDlg dialog(&main, updater());
    if (dialog.run() != 1 || !dialog.downloadFinished())
        return;
    std::error_code ec;
    if (!std::filesystem::exists(updater().installerPath(), ec))
        return;
    if (updater().runInstaller())
        main.QWidget::close();
    else
        app::showMessage(&main, "ErrWhenRunUpdateInstallFile", app::kMessageError);
}

bool toolboxAvailable() {
    return online::toolboxAvailable();
}

void openToolbox(ui::Window& main, QPoint screen_pos) {
    if (!online::toolboxAvailable())
        return;
    auto& window = toolboxWindow();
    if (!window)
        window = std::make_unique<CToolbox>(&main);
    if (!window->open(screen_pos))
        window.reset();
}

bool toolboxShown() {
    return toolboxWindow() && toolboxWindow()->isVisible();
}

void hideToolbox() {
    if (toolboxWindow())
        toolboxWindow()->hidePopup();
}

void closeToolbox() {
    toolboxWindow().reset();
}

void recordConversion(bool success, const std::string& source_ext, const std::string& target_ext) {
    usageReporter().addConversionRecord(success, source_ext, target_ext);
}

}  // namespace online::gui
