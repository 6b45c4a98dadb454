#include "app/gui/startup.h"

#include "app/gui/compositing.h"
#include "app/gui/interface_language.h"

#include <unistd.h>

#include <QApplication>
#include <QMessageBox>
#include <QPointer>
#include <QScreen>
#include <QTimer>
#include <atomic>
#include <cstdio>
#include <filesystem>

#include "app/branding_info.h"
#include "app/crash.h"
#include "app/gui/message_dlg.h"
#include "app/gui/single_instance.h"
#include "app/language.h"
#include "app/log.h"
#include "app/settings_store.h"
#include "app/skin_select.h"
#include "platform/files.h"
#include "platform/folders.h"
#include "platform/process.h"
#include "platform/registry.h"
#include "ui/application.h"
#include "ui/skin.h"

namespace app {

namespace {

std::atomic<bool> g_restart{false};

OnlineHooks& onlineHooks() {
    static OnlineHooks hooks;
    return hooks;
}

void runHook(const std::function<void()>& hook) {
    if (hook)
        hook();
}

MainWindowFactory& mainWindowFactory() {
    static MainWindowFactory factory;
    return factory;
}

OpenFilesHandler& openFilesHandler() {
    static OpenFilesHandler handler;
    return handler;
}

std::string ownExecutable() {
    return platform::executablePath().string();
}

// A message box before any skin is open. Without a screen (offscreen platform)
// nobody could dismiss it, so the text goes to standard error instead.
void systemMessage(const std::string& text, const std::string& caption) {
    if (QGuiApplication::platformName() == QLatin1String("offscreen")) {
        std::fprintf(stderr, "%s: %s\n", caption.c_str(), text.c_str());
        return;
    }
    QMessageBox::information(nullptr, QString::fromStdString(caption), QString::fromStdString(text));
}

// A new crash report is noticed once, by its modification time.
void checkCrashReport(const SettingsStore& settings) {
    if (!settings.sendAction())
        return;
    std::error_code ec;
    const auto report = crashReportPath();
    if (!std::filesystem::exists(report, ec))
        return;
    auto stamp = std::filesystem::last_write_time(report, ec);
    if (ec)
        return;
    const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(
        std::chrono::file_clock::to_sys(stamp).time_since_epoch());
    const auto low = static_cast<std::uint32_t>(seconds.count());
    auto store = platform::RegistryStore::currentUser();
    if (store.getDword("UpDumpDay").value_or(0) == low)
        return;
    store.setDword("UpDumpDay", low);
    // The error report itself (usage statistics) accepts the dump and sends nothing.
}

// Qt may already scale by the screen's pixel ratio; the layer adds only the rest.
void applyDisplayScale() {
    QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen)
        return;
    const double ratio = screen->devicePixelRatio();
    const int dpi = static_cast<int>(screen->logicalDotsPerInch() * ratio + 0.5);
    debugLog("sys DPI is %d\n", dpi);
    int scale = ui::scaleDpiFor(dpi);
    if (const char* forced = std::getenv("QUORIN_DPI"); forced && *forced)
        scale = ui::scaleDpiFor(std::atoi(forced));
    ui::skin().setScaleDpi(static_cast<int>(scale / ratio + 0.5));
}

// "/install" runs as root from the installer: start the program as the desktop
// user who ran it instead of as root.
void startAsDesktopUser() {
    const std::string exe = ownExecutable();
    const char* user = std::getenv("SUDO_USER");
    if (geteuid() == 0 && user && *user) {
        platform::CommandLine command("runuser");
        command.args({"-u", user, "--", exe});
        if (platform::startDetached(command))
            return;
    }
    platform::startDetached(platform::CommandLine(exe));
}

// Closing the main window ends the message loop (dialogs closing do not). The window
// may refuse the close (conversions running), so the loop ends only once it is gone
// from the screen.
class QuitOnClose : public QObject {
public:
    using QObject::QObject;
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Close) {
            QPointer<QWidget> window(qobject_cast<QWidget*>(watched));
            QTimer::singleShot(0, this, [window] {
                if (!window || !window->isVisible())
                    QCoreApplication::quit();
            });
        }
        return QObject::eventFilter(watched, event);
    }
};

void activateWindow(ui::Window* window) {
    debugLog("another start: main window activated\n");
    if (window->isMinimized())
        window->showNormal();
    window->show();
    window->raise();
    window->activateWindow();
}

// The application routine; returns when the program should end.
void runApplication(const std::string& command_line, const std::vector<std::string>& files,
                    SettingsStore& settings, BrandingInfo& branding, const std::string& title,
                    LanguageId language) {
    if (!selectSkinArchive(language, branding) ||
        !ui::skin().openArchive(branding.skin_folder / branding.skin_file)) {
        systemMessage(getText("SkinLost"), "Error");
        return;
    }
    ui::skin().setShadowEnabled(settings.enableShadow() && desktopComposites());

    switch (findStartSwitch(command_line)) {
        case StartSwitch::Uninstall: {
            SingleInstance::notifyRunning("close", 1000);  // asked, not waited for
            const auto uninstaller = platform::programDir() / "uninst";
            std::error_code ec;
            if (std::filesystem::exists(uninstaller, ec)) {
                platform::startDetached(platform::CommandLine(uninstaller.string()));
            }
            return;
        }
        case StartSwitch::TjUninstall:
            runHook(onlineHooks().uninstall_report);
            // The feedback page needs a configured site; none is built in.
            return;
        case StartSwitch::Install:
            startAsDesktopUser();
            return;
        case StartSwitch::Restart:
        case StartSwitch::None:
            break;
    }

    const bool restarted = findStartSwitch(command_line) == StartSwitch::Restart;
    if (!restarted) {
        // A running instance takes the files ("Open with") and comes to the front.
        if (!files.empty() && SingleInstance::notifyRunning(openFilesCommand(files)))
            return;
        if (SingleInstance::notifyRunning("activate"))
            return;
    }

    const auto installer = platform::dataDir() / "VeltraVideoConvertSetup.exe";
    std::error_code ec;
    if (settings.hasNewInstaller() && std::filesystem::exists(installer, ec)) {
        if (showMessage(nullptr, message_key::HasUpdate, kMessageYesNo | kMessageInformation) == kResultYes) {
            platform::openWithDesktop(installer.string());
            return;
        }
    }

    runHook(onlineHooks().started);
    MainWindowContext context{settings, branding, title, isRightToLeft(language)};
    // The program installs its main window; without one (or when its skin cannot be
    // built) there is nothing to run.
    std::unique_ptr<ui::Window> window = mainWindowFactory() ? mainWindowFactory()(context) : nullptr;
    if (!window) {
        std::fprintf(stderr, "QuorinVideoConverter: the main window cannot be built\n");
        return;
    }

    SingleInstance instance;
    ui::Window* main = window.get();
    auto on_command = [main](const std::string& command) {
        if (command == "activate")
            activateWindow(main);
        if (command == "close")
            main->QWidget::close();
        if (auto paths = parseOpenFilesCommand(command)) {
            activateWindow(main);
            // Outside the socket's handler: adding may ask the user something.
            QTimer::singleShot(0, main, [main, paths = *paths] {
                if (openFilesHandler())
                    openFilesHandler()(*main, paths);
            });
        }
    };
    if (!instance.listen(on_command)) {
        // After "/Restart" the old instance may still hold the socket for a moment.
        auto* retry = new QTimer(main);
        QObject::connect(retry, &QTimer::timeout, main, [retry, &instance, on_command, tries = 0]() mutable {
            if (instance.listen(on_command) || ++tries >= 40)
                retry->deleteLater();
        });
        retry->start(250);
    }
    QuitOnClose quit_on_close;
    window->installEventFilter(&quit_on_close);
    window->centerOnOwner();
    window->show();
    if (onlineHooks().main_window)
        onlineHooks().main_window(*window);
    if (!files.empty() && openFilesHandler()) {
        // Once the loop runs, so that a message about refused files has a window under it.
        QTimer::singleShot(0, main, [main, files] { openFilesHandler()(*main, files); });
    }
    QApplication::exec();
}

}  // namespace

StartSwitch findStartSwitch(std::string_view command_line) {
    if (command_line.find("/uninstall") != std::string_view::npos)
        return StartSwitch::Uninstall;
    if (command_line.find("/tjuninstall") != std::string_view::npos)
        return StartSwitch::TjUninstall;
    if (command_line.find("/install") != std::string_view::npos)
        return StartSwitch::Install;
    if (command_line.find("/Restart") != std::string_view::npos)
        return StartSwitch::Restart;
    return StartSwitch::None;
}

void setOnlineHooks(OnlineHooks hooks) {
    onlineHooks() = std::move(hooks);
}

void setMainWindowFactory(MainWindowFactory factory) {
    mainWindowFactory() = std::move(factory);
}

void setOpenFilesHandler(OpenFilesHandler handler) {
    openFilesHandler() = std::move(handler);
}

StartArguments splitArguments(int argc, char** argv) {
    StartArguments out;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        std::error_code ec;
        if (!arg.empty() && arg[0] != '-' && std::filesystem::exists(arg, ec)) {
            out.files.push_back(std::filesystem::absolute(arg, ec).lexically_normal().string());
            continue;
        }
        if (!out.switches.empty())
            out.switches += ' ';
        out.switches += arg;
    }
    return out;
}

// "open" followed by each path percent-encoded, so that blanks and line breaks in
// names survive the one-line protocol.
std::string openFilesCommand(const std::vector<std::string>& paths) {
    std::string command = "open";
    for (const std::string& path : paths)
        command += " " + QByteArray::fromStdString(path).toPercentEncoding().toStdString();
    return command;
}

std::optional<std::vector<std::string>> parseOpenFilesCommand(std::string_view command) {
    if (command != "open" && !command.starts_with("open "))
        return std::nullopt;
    std::vector<std::string> paths;
    const QList<QByteArray> parts =
        QByteArray(command.data(), static_cast<qsizetype>(command.size())).split(' ');
    for (qsizetype i = 1; i < parts.size(); ++i) {
        if (!parts[i].isEmpty())
            paths.push_back(QByteArray::fromPercentEncoding(parts[i]).toStdString());
    }
    return paths;
}

void requestRestart() {
    g_restart.store(true);
}
bool restartRequested() {
    return g_restart.load();
}

bool restartIfRequested(const std::function<bool(const platform::CommandLine&)>& start) {
    if (!restartRequested())
        return false;
    platform::CommandLine again(ownExecutable());
    again.arg("/Restart");
    return start ? start(again) : platform::startDetached(again);
}

int runGuiProgram(int argc, char** argv) {
    installCrashHandler();
    ui::Application qt(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    // The window class and the desktop entry name let the desktop show the program's
    // icon and group its windows, whatever name it was started by.
    QApplication::setApplicationName(QStringLiteral("QuorinVideoConverter"));
    QGuiApplication::setDesktopFileName(QStringLiteral("quorin-video-converter"));
    const StartArguments arguments = splitArguments(argc, argv);

    platform::workDir();
    platform::dataDir();
    const LanguageId language = startupLanguage();
    // Every window and dialog of an Arabic or Hebrew run opens mirrored.
    applyInterfaceLanguage(language);
    SettingsStore settings;
    settings.load();
    BrandingInfo branding = BrandingInfo::load(language);
    const std::string title = branding.product_name.empty() ? getText("ProductName") : branding.product_name;
    setLogPath(platform::dataDir() / "run.dat");
    checkCrashReport(settings);
    applyDisplayScale();
    runHook(onlineHooks().configure);

    runApplication(arguments.switches, arguments.files, settings, branding, title, language);
    runHook(onlineHooks().exiting);

    ui::skin().close();
    restartIfRequested();
    return 0;
}

}  // namespace app
