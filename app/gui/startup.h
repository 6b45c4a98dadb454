#pragma once
// Start-up of the GUI program: folders, language, configuration, log path, skin
// archive, installer switches, single instance, display scale, the main window
// and the restart after a language change.

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/process.h"

namespace ui {
class Window;
}

namespace app {

class SettingsStore;
struct BrandingInfo;

enum class StartSwitch { None, Uninstall, TjUninstall, Install, Restart };

// The first switch found anywhere in the command line, by a plain case-sensitive
// search in the order "/uninstall", "/tjuninstall", "/install", "/Restart".
StartSwitch findStartSwitch(std::string_view command_line);

// What start-up hands to the window it creates.
struct MainWindowContext {
    SettingsStore& settings;
    const BrandingInfo& branding;
    std::string title;  // "ProductName", or the oem.ini "UI" "ProductName"
    bool right_to_left = false;
};
// The main window of the program, installed by the program (the converter window of
// mainframe/gui).
using MainWindowFactory = std::function<std::unique_ptr<ui::Window>(const MainWindowContext&)>;
void setMainWindowFactory(MainWindowFactory factory);
// What the main window does with files named on the command line, of this start or
// handed over by a later one. Without a handler they are ignored.
using OpenFilesHandler = std::function<void(ui::Window& window, const std::vector<std::string>& paths)>;
void setOpenFilesHandler(OpenFilesHandler handler);

// The arguments that are files or folders (made absolute), and the rest: a switch is
// only looked for outside file names, which on Linux contain "/install" easily.
struct StartArguments {
    std::string switches;  // the other arguments joined by blanks
    std::vector<std::string> files;
};
StartArguments splitArguments(int argc, char** argv);

// The single-instance command that hands files to the running instance, and back.
std::string openFilesCommand(const std::vector<std::string>& paths);
std::optional<std::vector<std::string>> parseOpenFilesCommand(std::string_view command);

// The online services' part of start-up, installed by the program (app/ does not
// see online/). Each hook may be empty.
struct OnlineHooks {
    std::function<void()> configure;                    // endpoints and report values, before the skin
    std::function<void()> uninstall_report;             // "/tjuninstall"
    std::function<void()> started;                      // the start report, before the main window
    std::function<void(ui::Window& main)> main_window;  // the daily check, once the window shows
    std::function<void()> exiting;                      // the conversion summary and shutdown
};
void setOnlineHooks(OnlineHooks hooks);

// Set by the language menu before it closes the main window: start-up then starts
// the program again with "/Restart". Safe from any thread.
void requestRestart();
bool restartRequested();
// The command that starts the program again: the own executable with "/Restart".
// `start` runs it (platform::startDetached by default); nothing happens unless a
// restart was requested. Returns whether it was started.
bool restartIfRequested(const std::function<bool(const platform::CommandLine&)>& start = {});

// The whole start-up and message loop. Always returns 0 (the process exit code).
int runGuiProgram(int argc, char** argv);

}  // namespace app
