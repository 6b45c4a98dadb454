#pragma once
// CMainFrame: the program's main window from "skin.xml". It binds the six lists,
// the target menus, the output folder bar and the start button to the engine
// (TaskLists, TargetSelection, ConversionController, ConvertWorker, ProbeQueue) and
// dispatches every notification and message to it. Dialogs and desktop actions go
// through MainFrameHooks, so tests answer them; files, folders and addresses open
// through gui::desktopActions().

#include <QPoint>
#include <QPointer>
#include <QTimer>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "app/gui/my_base_window.h"
#include "app/gui/startup.h"
#include "convert/merge_join.h"
#include "mainframe/conversion_controller.h"
#include "mainframe/gui/conver_ctrl.h"
#include "mainframe/queue_run.h"
#include "mainframe/queue_store.h"
#include "player/clip_settings.h"

namespace ui {
class List;
class Menu;
}  // namespace ui

namespace mainframe {

class ProbeQueue;
namespace gui {
class CMergeDlg;
}

// The online services' part of the main window. The program fills it when it is built
// with them (mainframe does not see online/); an empty entry is a service that is not
// there, and what belongs to it stays hidden.
struct OnlineServices {
    std::function<bool()> update_menu_visible;                // "menuUpdate" offered
    std::function<void(ui::Window& main)> check_for_updates;  // "menuUpdate"
    std::uint32_t update_found_message = 0;                   // its answer: the update dialog
    std::function<void(ui::Window& main)> update_found;
    std::uint32_t toolbox_ready_message = 0;  // "LayoutToolbox" shown again by availability
    std::function<bool()> toolbox_available;
    std::function<bool()> toolbox_shown;
    std::function<void(ui::Window& main, QPoint screen_pos)> open_toolbox;
    std::function<void()> hide_toolbox;
    std::function<void()> close_toolbox;  // the window's destruction
    // A conversion ended (the usage summary).
    std::function<void(bool success, const std::string& source_ext, const std::string& target_ext)> record;
};
// The services every later CMainFrame gets (unless its hooks bring their own).
void setOnlineServices(OnlineServices services);

struct MainFrameHooks {
    // A Yes/No question by "Message" key, `arg` filling its "%s"; true for Yes.
    std::function<bool(std::string_view key, const std::string& arg)> ask;
    // A message by "Message" key.
    std::function<void(std::string_view key, const std::string& arg)> show;
    // The open-file dialog: Qt filter and start folder in, chosen paths out.
    std::function<std::vector<std::string>(const std::string& filter, const std::string& folder)> open_files;
    // The folder dialog; empty when cancelled.
    std::function<std::string(const std::string& start)> choose_folder;
    // The merge dialog, modal: 1 when the join succeeded (default: gui::CMergeDlg, and
    // "MergeError" when the join failed rather than being stopped).
    std::function<int(const convert::MergeRequest& request)> run_merge;
    // A desktop notification (nothing when no notification service runs).
    std::function<void(const std::string& title, const std::string& body)> notify_desktop;
    // The clip dialog (default player::gui::runClipDialog), modal; true when the user
    // confirmed, `settings` then holding the chosen clip, crop, speed and volume.
    std::function<bool(const player::ClipSource& source, player::ClipSettings& settings)> clip;
    // The settings and about dialogs, modal.
    std::function<void()> settings;
    std::function<void()> about;
    // Default: what setOnlineServices installed.
    std::optional<OnlineServices> online;
};

struct MainFrameOptions {
    // The jobs' timings (the window's defaults: 5 s success delay, 1 s polls); the
    // build settings come from the settings store.
    convert::JobOptions jobs;
    bool make_covers = true;
    // Where the lists are kept across restarts; empty: they are not kept.
    std::filesystem::path queue_file;
};

class CMainFrame : public app::MyBaseWindow {
    Q_OBJECT
public:
    explicit CMainFrame(const app::MainWindowContext& context, MainFrameOptions options = {},
                        MainFrameHooks hooks = {});
    ~CMainFrame() override;

    // Paths from a drop, the command line or a second start: folders opened, the
    // current mode's patterns applied, one message for what was refused.
    void addPaths(const std::vector<std::string>& paths);
    // "btn_addfile01": the open-file dialog.
    void addFilesFromDialog();
    // "btn_transform": the current list's waiting tasks are queued.
    void startList();

    convert::ConvertMode mode() const { return lists_->mode(); }
    TaskLists& lists() { return *lists_; }
    ConversionController& controller() { return *controller_; }
    ConvertWorker& worker() { return *worker_; }
    // The row control of a task; null when it has none.
    ui::Control* rowControl(const convert::ConvertTask* task) const;
    // The list control of a mode.
    ui::List* list(convert::ConvertMode mode) const;
    // The menu open right now (format, compression or main menu), null when none.
    ui::Menu* openMenu() const { return menu_.get(); }
    // The reason of the last failure of a task ("" when unknown).
    std::string failureText(const convert::ConvertTask* task) const;

protected:
    platform::LParam onCustomMessage(std::uint32_t id, platform::WParam wparam,
                                     platform::LParam lparam) override;
    void initWindow() override;
    void notify(ui::Notify& notify) override;
    void onClick(ui::Notify& notify) override;
    void onDropFiles(const std::vector<std::string>& paths) override;
    void keyPressEvent(QKeyEvent* event) override;
    void changeEvent(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void setMode(convert::ConvertMode mode);
    void showEmptyFrame();
    void addRows();
    void buildRows();
    void refreshRow(const convert::ConvertTask* task);
    void openClipDialog(RowModel& row);
    void refreshRows(convert::ConvertMode mode);
    void refreshAllRows();
    void refreshButtons();
    void removeRowControls();
    void popupMenu(const std::string& layout, const char* anchor, bool below);
    void onMenuCommand(const std::string& name, const std::string& user_data);
    void onRowClick(const std::string& name, ui::Control* sender);
    void chooseOutputFolder();
    void showOutputFolder(const std::string& folder);
    void openFolderOf(const convert::ConvertTask* task);
    void removeSelectedRow();
    // Runs a command that may stop jobs; a stopped job's cut-off file is deleted.
    void stopping(const std::function<void()>& command);
    void afterQueueChange();
    void updateTitle();
    void openSupport();
    void showToolboxArea();
    void toggleToolbox();
    Prompts prompts();
    void fillDefaultHooks();
    void shutdown();
    // The lists of the last run, put back at start.
    void restoreLists();
    // Writes the lists soon (changes in a burst are written once), or now.
    void scheduleSave();
    void saveLists();

    app::MainWindowContext context_;
    MainFrameOptions options_;
    MainFrameHooks hooks_;
    std::shared_ptr<platform::MessageTarget> target_;
    std::unique_ptr<TargetSelection> selection_;
    std::unique_ptr<TaskLists> lists_;
    std::unique_ptr<ProbeQueue> probe_;
    std::unique_ptr<ConvertWorker> worker_;
    std::unique_ptr<ConversionController> controller_;
    std::unique_ptr<ui::Menu> menu_;
    QPointer<gui::CMergeDlg> merge_dlg_;  // while the merge dialog runs
    std::unique_ptr<gui::RowFactory> rows_;
    std::map<const convert::ConvertTask*, std::string> failures_;
    QueueRun run_;
    std::string title_;
    std::string last_open_folder_;
    std::string support_url_;
    std::unique_ptr<QueueStore> queue_store_;
    std::string saved_state_;  // what the state file holds
    QTimer save_timer_;
    QTimer row_timer_;  // more rows to build
    bool shut_down_ = false;
};

// Installs CMainFrame as the program's main window (start-up's factory).
void installMainFrame();

}  // namespace mainframe
