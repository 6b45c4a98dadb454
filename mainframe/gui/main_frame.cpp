#include "mainframe/gui/main_frame.h"

#include <QCloseEvent>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QFileDialog>
#include <QKeyEvent>
#include <QLineEdit>
#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <set>

#include "app/branding_info.h"
#include "app/gui/about_dlg.h"
#include "app/gui/message_dlg.h"
#include "app/gui/setting_dlg.h"
#include "app/language.h"
#include "app/language_menu.h"
#include "app/log.h"
#include "app/settings_store.h"
#include "app/version.h"
#include "convert/target_formats.h"
#include "mainframe/clip_result.h"
#include "mainframe/gui/merge_dlg.h"
#include "mainframe/job_text.h"
#include "mainframe/path_batch.h"
#include "mainframe/probe_queue.h"
#include "mainframe/row_look.h"
#include "platform/folders.h"
#include "platform/process.h"
#include "platform/profile.h"
#include "platform/registry.h"
#include "platform/window_messages.h"
#include "player/gui/clip_dialog.h"
#include "ui/controls.h"
#include "ui/menu.h"

namespace mainframe {

using convert::ConvertMode;
using convert::ConvertTask;
using convert::TaskState;
namespace fs = std::filesystem;

namespace {

constexpr std::uint32_t raw(platform::MainWindowId id) {
    return static_cast<std::uint32_t>(id);
}
constexpr std::uint32_t raw(platform::MergeDialogId id) {
    return static_cast<std::uint32_t>(id);
}
constexpr std::uint32_t WM_CONVERT_PROGRESS = raw(platform::MainWindowId::WM_CONVERT_PROGRESS);
constexpr std::uint32_t WM_CONVERT_START_FAILED = raw(platform::MainWindowId::WM_CONVERT_START_FAILED);
constexpr std::uint32_t WM_CONVERT_FAILED = raw(platform::MainWindowId::WM_CONVERT_FAILED);
constexpr std::uint32_t WM_TASK_INFO_READY = raw(platform::MainWindowId::WM_TASK_INFO_READY);
constexpr std::uint32_t WM_MERGE_CHECK = raw(platform::MainWindowId::WM_MERGE_CHECK);
constexpr std::uint32_t WM_MERGE_FAILED = raw(platform::MainWindowId::WM_MERGE_FAILED);

constexpr std::array<ConvertMode, 6> kModes = {ConvertMode::Video, ConvertMode::Audio2,
                                               ConvertMode::Audio, ConvertMode::Gif,
                                               ConvertMode::Merge, ConvertMode::Compress};
constexpr std::array<const char*, 6> kModeOptions = {"optConverVideo", "optConverAudio2",
                                                     "optConverAudio", "optConverGif",
                                                     "optConverMerge", "optConverCompress"};
constexpr std::array<const char*, 6> kModeLists = {"listVideo", "listAudio2", "listAudio",
                                                   "listGif",   "listMerge",  "listCompress"};

// The format menu names its top entries "menu_<token>" in the converting modes,
// "menu2_<token>" in Merge and "menu3_<token>" in Compress.
std::string_view formatMenuPrefix(ConvertMode mode) {
    switch (mode) {
        case ConvertMode::Merge:
            return "menu2_";
        case ConvertMode::Compress:
            return "menu3_";
        default:
            return "menu_";
    }
}

bool sameText(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

std::string fill(std::string_view format, std::initializer_list<std::string> args) {
    std::vector<std::string> list(args);
    return app::fillTextFormat(format, list);
}

// "Video files (*.mp4 *.mkv ...)" for Qt's file dialog, from the mode's filter.
std::string qtFilter(ConvertMode mode) {
    const FileFilter filter = fileFilter(mode);
    std::string patterns;
    std::size_t from = 0;
    while (from < filter.patterns.size()) {
        std::size_t end = filter.patterns.find(';', from);
        if (end == std::string::npos)
            end = filter.patterns.size();
        if (end > from) {
            if (!patterns.empty())
                patterns += ' ';
            patterns += filter.patterns.substr(from, end - from);
        }
        from = end + 1;
    }
    return app::getText(mode == ConvertMode::Audio2 ? "FilterAudio" : "FilterVideo") + " " +
           filter.description + " (" + patterns + ")";
}

// QUORIN_GUI_TRACE (for bench/gui_bench.py): lines "quorin-trace <event> <steady
// clock ms> <value>" on stderr when rows are listed ("listed", rows in the list) and
// probed ("probed", how many so far), and for each stall of the window thread over
// 10 ms ("stall", its length, from a 10 ms heartbeat). With "convert" in its value,
// files from the command line are also converted at once.
const char* traceValue() {
    static const char* value = std::getenv("QUORIN_GUI_TRACE");
    return value && *value ? value : nullptr;
}

void trace(const char* event, long long value) {
    const auto now = std::chrono::steady_clock::now().time_since_epoch();
    std::fprintf(stderr, "quorin-trace %s %lld %lld\n", event,
                 static_cast<long long>(std::chrono::duration_cast<std::chrono::milliseconds>(now).count()),
                 value);
}

void startHeartbeat(QObject* owner) {
    auto* beat = new QTimer(owner);
    beat->setTimerType(Qt::PreciseTimer);
    beat->setInterval(10);
    QObject::connect(beat, &QTimer::timeout, owner, [last = std::chrono::steady_clock::now()]() mutable {
        const auto now = std::chrono::steady_clock::now();
        const auto late = std::chrono::duration_cast<std::chrono::milliseconds>(now - last).count() - 10;
        if (late > 10)
            trace("stall", late);
        last = now;
    });
    beat->start();
}

OnlineServices& installedOnlineServices() {
    static OnlineServices services;
    return services;
}

void desktopNotification(const std::string& title, const std::string& body) {
    // Without a session bus nothing is started to find one.
    const char* address = std::getenv("DBUS_SESSION_BUS_ADDRESS");
    if (!address || !*address)
        return;
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected() || !bus.interface() ||
        !bus.interface()->isServiceRegistered(QStringLiteral("org.freedesktop.Notifications")))
        return;
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.Notifications"), QStringLiteral("/org/freedesktop/Notifications"),
        QStringLiteral("org.freedesktop.Notifications"), QStringLiteral("Notify"));
    call << QStringLiteral("QuorinVideoConverter") << 0u << QString() << QString::fromStdString(title)
         << QString::fromStdString(body) << QStringList() << QVariantMap() << -1;
    bus.call(call, QDBus::NoBlock);
}

}  // namespace

CMainFrame::CMainFrame(const app::MainWindowContext& context, MainFrameOptions options, MainFrameHooks hooks)
    : MyBaseWindow(nullptr, "skin"),
      context_(context),
      options_(std::move(options)),
      hooks_(std::move(hooks)) {
    setObjectName(QStringLiteral("QuorinVideoConvertWindowClass"));
    title_ = context.title;
    setWindowTitle(QString::fromStdString(title_));
    if (context.right_to_left)
        setLayoutDirection(Qt::RightToLeft);
    fillDefaultHooks();
    // The support page is offered only where oem.ini names one.
    support_url_ = platform::getPrivateProfileString("URL", "Line", "", context.branding.oem_path);
    if (auto folder = platform::RegistryStore::currentUser().getString("LastOpenFolder"))
        last_open_folder_ = *folder;

    target_ = messageTarget();
    rows_ = std::make_unique<gui::RowFactory>(this);
    selection_ = std::make_unique<TargetSelection>();
    TaskLists::Hooks list_hooks;
    list_hooks.add_probe_batch = [this](const std::vector<ConvertTask*>& tasks) {
        probe_->AddProbeBatch(tasks);
    };
    list_hooks.skip_probe_batch = [this] { probe_->SkipProbeBatch(); };
    list_hooks.remove_task = [this](ConvertTask* task) { worker_->Remove(task); };
    lists_ = std::make_unique<TaskLists>(*selection_, std::move(list_hooks));
    probe_ = std::make_unique<ProbeQueue>(target_.get(), options_.make_covers);
    convert::JobOptions jobs = options_.jobs;
    app::SettingsStore& settings = context_.settings;
    jobs.build.muxing_queue_size = [&settings] { return settings.muxingQueueSize(); };
    jobs.build.take_bitrate_override = [&settings] { return settings.takeCustomBitrate(); };
    jobs.build.take_frame_rate_override = [&settings] { return settings.takeCustomFrameRate(); };
    worker_ = std::make_unique<ConvertWorker>(target_.get(), makeJobFactory(jobs));
    controller_ =
        std::make_unique<ConversionController>(*lists_, *selection_, *worker_, target_.get(), prompts());
    save_timer_.setSingleShot(true);
    save_timer_.setInterval(250);
    connect(&save_timer_, &QTimer::timeout, this, [this] { saveLists(); });
    row_timer_.setSingleShot(true);
    row_timer_.setInterval(0);
    connect(&row_timer_, &QTimer::timeout, this, [this] { buildRows(); });
    if (traceValue())
        startHeartbeat(this);
}

CMainFrame::~CMainFrame() {
    shutdown();
}

void CMainFrame::fillDefaultHooks() {
    if (!hooks_.ask) {
        hooks_.ask = [this](std::string_view key, const std::string& arg) {
            if (key == "TransformSuccess")
                return gui::askOpenOutputFolder(this);
            const std::string text = fill(app::getText(key, "Message"), {arg});
            const std::string title = app::getText(key == "RemoveVideo" ? "Error" : "Title", "Message");
            return app::messageBox(this, text, title, app::kMessageYesNo | app::kMessageInformation) ==
                   app::kResultYes;
        };
    }
    if (!hooks_.show) {
        hooks_.show = [this](std::string_view key, const std::string& arg) {
            const std::string text = fill(app::getText(key, "Message"), {arg});
            const bool error = key == "CannotRecode";
            app::CMessageDlg dlg(this, text, app::getText(error ? "Error" : "Title", "Message"),
                                 error ? app::kMessageError : app::kMessageInformation);
            if (error && !support_url_.empty()) {
                dlg.setShowSupportButton(true);
                dlg.setSupportUrl(support_url_);
                dlg.setUrlOpener([this](const std::string& url) { return gui::desktopActions().open(url); });
            }
            dlg.run();
        };
    }
    if (!hooks_.open_files) {
        hooks_.open_files = [this](const std::string& filter, const std::string& folder) {
            std::vector<std::string> paths;
            for (const QString& file : QFileDialog::getOpenFileNames(
                     this, QString(), QString::fromStdString(folder), QString::fromStdString(filter)))
                paths.push_back(file.toStdString());
            return paths;
        };
    }
    if (!hooks_.choose_folder) {
        hooks_.choose_folder = [this](const std::string& start) {
            return QFileDialog::getExistingDirectory(this, QString(), QString::fromStdString(start))
                .toStdString();
        };
    }
    if (!hooks_.clip) {
        hooks_.clip = [this](const player::ClipSource& source, player::ClipSettings& settings) {
            return player::gui::runClipDialog(this, source, settings);
        };
    }
    if (!hooks_.run_merge) {
        hooks_.run_merge = [this](const convert::MergeRequest& request) {
            convert::MergeOptions merge = gui::mergeOptions();
            merge.success_delay_ms = options_.jobs.success_delay_ms;
            merge.poll_interval_ms = options_.jobs.poll_interval_ms;
            merge.log = options_.jobs.log;
            gui::CMergeDlg dlg(this, request, merge);
            merge_dlg_ = &dlg;
            const int result = dlg.run();
            merge_dlg_ = nullptr;
            if (dlg.joinFailed())
                hooks_.show("MergeError", {});
            return result;
        };
    }
    if (!hooks_.notify_desktop)
        hooks_.notify_desktop = desktopNotification;
    if (!hooks_.settings) {
        hooks_.settings = [this] { app::CSettingDlg(this, context_.settings).run(); };
    }
    if (!hooks_.online)
        hooks_.online = installedOnlineServices();
    if (!hooks_.about) {
        hooks_.about = [this] {
            app::CAboutDlg dlg(this, context_.branding, title_, app::programVersion().text);
            dlg.setUrlOpener([this](const std::string& url) { return gui::desktopActions().open(url); });
            dlg.run();
        };
    }
}

Prompts CMainFrame::prompts() {
    Prompts p;
    p.ask = [this](std::string_view key, const std::string& arg) { return hooks_.ask(key, arg); };
    p.show = [this](std::string_view key, const std::string& arg) { hooks_.show(key, arg); };
    p.run_merge = [this](const convert::MergeRequest& request) { return hooks_.run_merge(request); };
    p.open_folder = [](const std::string& folder) { gui::openOutputFolder(folder); };
    p.log = [](const std::string& line) { app::fileLogRaw(line); };
    p.record = hooks_.online->record;
    return p;
}

void CMainFrame::initWindow() {
    std::string version = context_.branding.showVersion() ? app::programVersion().text : std::string();
    if (ui::Control* title = find("TitleText"))
        title->setText(version.empty() ? title_ : title_ + "  " + version);
    if (!context_.branding.title_logo.empty()) {
        if (ui::Control* logo = find("TitleLogo"))
            logo->setAttribute("bkimage", "file='" + context_.branding.title_logo + "' restype='fullpath'");
    }
    setControlVisible("btnRestore", false);
    for (ConvertMode m : kModes) {
        if (ui::List* l = list(m))
            l->setRowRealizer(gui::realizeRow);
    }
    showToolboxArea();
    showOutputFolder(lists_->initOutputFolder());
    setMode(ConvertMode::Video);
    restoreLists();
}

void CMainFrame::restoreLists() {
    if (options_.queue_file.empty())
        return;
    queue_store_ = std::make_unique<QueueStore>(options_.queue_file);
    const QueueStore::Loaded loaded = queue_store_->load();
    restoreQueue(*lists_, loaded.queue);
    buildRows();
    setMode(loaded.queue.current_mode);
    saved_state_ = queueToJson(snapshotQueue(*lists_));
    if (!loaded.set_aside.empty())
        hooks_.show("QueueSetAside", loaded.set_aside.string());
}

void CMainFrame::scheduleSave() {
    // Not restarted while it runs: progress arrives faster than the delay.
    if (queue_store_ && !shut_down_ && !save_timer_.isActive())
        save_timer_.start();
}

void CMainFrame::saveLists() {
    if (!queue_store_ || !lists_)
        return;
    // Progress is not kept: most changes leave the state as it was.
    std::string state = queueToJson(snapshotQueue(*lists_));
    if (state != saved_state_ && queue_store_->save(state))
        saved_state_ = std::move(state);
}

ui::List* CMainFrame::list(ConvertMode mode) const {
    return find<ui::List>(kModeLists[static_cast<std::size_t>(mode)]);
}

ui::Control* CMainFrame::rowControl(const ConvertTask* task) const {
    return task && rows_ ? rows_->rowOf(TaskLists::rowOf(task)) : nullptr;
}

std::string CMainFrame::failureText(const ConvertTask* task) const {
    auto it = failures_.find(task);
    return it == failures_.end() ? std::string() : it->second;
}

void CMainFrame::setMode(ConvertMode mode) {
    lists_->setMode(mode);
    const auto m = static_cast<std::size_t>(mode);
    for (std::size_t i = 0; i < kModes.size(); ++i) {
        if (i == m) {
            for (std::string name :
                 {std::string(kModeOptions[i]), std::string(kModeOptions[i]) + "_Bottom"}) {
                if (ui::Control* option = find(name); option && !option->isChecked())
                    option->setChecked(true);
            }
        }
        setControlVisible(kModeLists[i], i == m);
    }
    setControlVisible("layCompress", mode == ConvertMode::Compress);
    setControlText("btn_transform", app::getText(ConversionController::startButtonKey(mode)));
    showEmptyFrame();
    refreshButtons();
    // The clip buttons depend on the current mode (never in mode Compress).
    for (RowModel* row : lists_->rows(mode)) {
        if (!row->converting())
            applyRowLook(*row, true, mode);
    }
    refreshRows(mode);
}

void CMainFrame::showEmptyFrame() {
    const bool empty = lists_->emptyFrameVisible();
    setControlVisible("empty_frame", empty);
    setControlVisible("no_empty_frame", !empty);
}

void CMainFrame::refreshButtons() {
    setControlText("btn_menu_format", selection_->formatButton());
    setControlText("btn_menu_compress", selection_->compressButton());
}

void CMainFrame::addRows() {
    buildRows();
    showEmptyFrame();
}

// Rows are built for 15 ms per turn of the event loop, so that a large batch (a
// folder, a long command line) does not keep the window from painting and answering;
// the models come first, in list order, so a row still to be built waits at the end.
void CMainFrame::buildRows() {
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(15);
    for (ConvertMode m : kModes) {
        ui::List* target = list(m);
        for (RowModel* row : target ? lists_->rows(m) : std::vector<RowModel*>()) {
            if (rows_->rowOf(row))
                continue;
            if (std::chrono::steady_clock::now() > until) {
                row_timer_.start();
                return;
            }
            ui::Control* control = rows_->makeRow(*row);
            // Without the row markup no row is built (the tasks have none).
            if (!control)
                return;
            target->add(control);
        }
    }
    if (traceValue())
        if (ui::List* target = list(mode()))
            trace("listed", target->count());
}

void CMainFrame::refreshRow(const ConvertTask* task) {
    if (RowModel* row = task ? TaskLists::rowOf(task) : nullptr) {
        showRowTimeLeft(*row, run_.taskSecondsLeft(task));
        rows_->refresh(row);
    }
}

void CMainFrame::refreshRows(ConvertMode mode) {
    const std::vector<RowModel*> rows = lists_->rows(mode);
    for (RowModel* row : rows)
        refreshRow(row->task());
    // The merge order may have changed.
    if (ui::List* target = list(mode))
        gui::syncRowOrder(*target, rows, *rows_);
}

void CMainFrame::refreshAllRows() {
    for (ConvertMode mode : kModes)
        refreshRows(mode);
}

// Row controls whose model the lists no longer hold (removed, cleared).
void CMainFrame::removeRowControls() {
    for (ConvertMode mode : kModes) {
        ui::List* target = list(mode);
        if (!target)
            continue;
        const std::vector<RowModel*> rows = lists_->rows(mode);
        const std::set<const RowModel*> alive(rows.begin(), rows.end());
        for (int i = target->count() - 1; i >= 0; --i) {
            ui::Control* control = target->itemAt(i);
            if (!alive.count(gui::modelOfControl(control)))
                target->remove(control);
        }
    }
    showEmptyFrame();
}

void CMainFrame::addPaths(const std::vector<std::string>& paths) {
    const PathBatch batch = sortPaths(paths, fileFilter(mode()).patterns);
    if (!batch.accepted.empty())
        lists_->AddPaths(batch.accepted);
    addRows();
    scheduleSave();
    const RefusedMessage refused = refusedMessage(batch);
    if (!refused.key.empty())
        hooks_.show(refused.key,
                    refused.key == "NoSupportCount" ? std::to_string(refused.count) : std::string());
}

void CMainFrame::addFilesFromDialog() {
    std::string folder = last_open_folder_;
    std::error_code ec;
    if (folder.empty() || !fs::is_directory(folder, ec))
        folder = platform::documentsDir().string();
    const std::vector<std::string> paths = hooks_.open_files(qtFilter(mode()), folder);
    if (paths.empty())
        return;
    last_open_folder_ = fs::path(paths.front()).parent_path().string();
    platform::RegistryStore::currentUser().setString("LastOpenFolder", last_open_folder_);
    // The dialog filtered already; what the user chose is taken as it is.
    lists_->AddPaths(paths);
    addRows();
}

void CMainFrame::onDropFiles(const std::vector<std::string>& paths) {
    addPaths(paths);
}

void CMainFrame::notify(ui::Notify& n) {
    if (n.type == "windowinit") {
        initWindow();
        return;
    }
    if (!n.sender)
        return;
    const std::string name = n.sender->name();
    if (n.type == "click") {
        onClick(n);
    } else if (n.type == "selectchanged") {
        if (name == "ckb_poweroff") {
            controller_->setPowerOff(n.sender->isChecked());
            return;
        }
        if (!n.sender->isChecked())
            return;
        for (std::size_t i = 0; i < kModes.size(); ++i) {
            if ((name == kModeOptions[i] || name == std::string(kModeOptions[i]) + "_Bottom") &&
                mode() != kModes[i])
                setMode(kModes[i]);
        }
    } else if (n.type == "killfocus" && name == "edit_new_video_name") {
        gui::commitRenameEdit(n.sender);
    } else if (n.type == "return" && name == "edit_new_video_name") {
        setFocus();  // commits through "killfocus"
    }
    // Clicks, mode changes and renames change the lists that are kept.
    scheduleSave();
}

void CMainFrame::onClick(ui::Notify& n) {
    // The window's own buttons; every other name belongs to a row.
    using Action = void (*)(CMainFrame&);
    static const std::map<std::string_view, Action> kButtons = {
        {"btnClose", [](CMainFrame& f) { f.QWidget::close(); }},
        {"btnMax", [](CMainFrame& f) { f.showMaximized(); }},
        {"btnMin", [](CMainFrame& f) { f.showMinimized(); }},
        {"btnRestore", [](CMainFrame& f) { f.showNormal(); }},
        {"btnMenu", [](CMainFrame& f) { f.popupMenu("main_menu.xml", "btnMenu", true); }},
        {"btnKefu", [](CMainFrame& f) { f.openSupport(); }},
        {"btnToolbox", [](CMainFrame& f) { f.toggleToolbox(); }},
        {"btn_menu_format", [](CMainFrame& f) { f.popupMenu("format_menu.xml", "btn_menu_format", true); }},
        {"btn_menu_compress",
         [](CMainFrame& f) { f.popupMenu("compress_menu.xml", "btn_menu_compress", true); }},
        {"btn_addfile01", [](CMainFrame& f) { f.addFilesFromDialog(); }},
        {"btn_addfile02", [](CMainFrame& f) { f.addFilesFromDialog(); }},
        {"btn_addfile03", [](CMainFrame& f) { f.addFilesFromDialog(); }},
        {"btn_clear_list",
         [](CMainFrame& f) {
             f.stopping([&f] { f.controller_->clearList(); });
             f.removeRowControls();
         }},
        {"btn_select_folder", [](CMainFrame& f) { f.chooseOutputFolder(); }},
        {"btn_open_save_folder", [](CMainFrame& f) { f.openFolderOf(nullptr); }},
        {"btn_transform", [](CMainFrame& f) { f.startList(); }},
    };
    const std::string name = n.sender->name();
    if (auto it = kButtons.find(name); it != kButtons.end())
        it->second(*this);
    else
        onRowClick(name, n.sender);
}

// Starts the list; the tasks it queues join the run that the window follows.
void CMainFrame::startList() {
    std::set<const ConvertTask*> waiting;
    for (RowModel* row : lists_->rows()) {
        const TaskState state = row->task()->state.load(std::memory_order_acquire);
        if (state == TaskState::Queued || state == TaskState::Running)
            waiting.insert(row->task());
    }
    controller_->start();
    // The conversion thread may have taken a task already.
    for (RowModel* row : lists_->rows()) {
        const TaskState state = row->task()->state.load(std::memory_order_acquire);
        if (!waiting.count(row->task()) && (state == TaskState::Queued || state == TaskState::Running))
            run_.queued(row->task());
    }
    refreshRows(mode());
    afterQueueChange();
}

void CMainFrame::onRowClick(const std::string& name, ui::Control* sender) {
    RowModel* row = gui::modelOfControl(sender);
    if (!row)
        return;
    ConvertTask* task = row->task();
    if (name == "btn_video_rename") {
        gui::toggleRenameEdit(sender);
    } else if (name == "btn_open_video_folder") {
        openFolderOf(task);
    } else if (name == "btn_play_video") {
        gui::playResult(*task);
    } else if (name == "btn_del_video") {
        if (controller_->removeTask(task))
            removeRowControls();
    } else if (name == "btn_re_recode") {
        const TaskState before = task->state.load(std::memory_order_acquire);
        controller_->retry(task);
        if (before != TaskState::Queued && before != TaskState::Running)
            run_.queued(task);
        refreshRow(task);
        afterQueueChange();
    } else if (name == "btn_stop_recode") {
        stopping([&] { controller_->stop(task); });
        refreshRow(task);
        afterQueueChange();
    } else if (name == "btn_recode_fail") {
        if (!support_url_.empty())
            openSupport();
        else
            hooks_.show("ConvertFailedReason", failureText(task));
    } else if (name == "btn_clip_video") {
        openClipDialog(*row);
    } else if (name == "btn_up_video" || name == "btn_down_video") {
        if (name == "btn_up_video" ? lists_->moveUp(task) : lists_->moveDown(task))
            refreshRows(ConvertMode::Merge);
    }
}

// The row's one way into the clip dialog. The button shows only for idle rows of
// ordinary, unrotated sources outside mode Compress (row_look).
void CMainFrame::openClipDialog(RowModel& row) {
    if (!row.visible("layClipVideo1"))
        return;
    player::ClipSettings settings = clipSettingsOf(*row.task());
    if (!hooks_.clip(clipSourceOf(*row.task()), settings))
        return;
    applyClipResult(row, settings);
    refreshRow(row.task());
}

void CMainFrame::stopping(const std::function<void()>& command) {
    std::vector<ConvertTask*> busy;
    for (ConvertTask* task : lists_->allTasks()) {
        if (worker_->hasJob(task))
            busy.push_back(task);
    }
    command();
    for (ConvertTask* task : busy) {
        if (task->state.load(std::memory_order_acquire) == TaskState::Stopped)
            removePartialOutput(*task);
    }
}

void CMainFrame::chooseOutputFolder() {
    const std::string folder = hooks_.choose_folder(lists_->outputFolder());
    if (folder.empty())
        return;
    lists_->chooseOutputFolder(folder);
    showOutputFolder(lists_->outputFolder());
}

void CMainFrame::showOutputFolder(const std::string& folder) {
    auto* edit = find<ui::Edit>("edit_output_path");
    if (!edit)
        return;
    edit->setText(folder);
    edit->setToolTipText(folder);
    // The start of a long path says more than its end.
    edit->lineEdit()->setCursorPosition(0);
}

void CMainFrame::openFolderOf(const ConvertTask* task) {
    gui::openResultFolder(task, lists_->prepareOutputFolder());
}

void CMainFrame::openSupport() {
    if (!support_url_.empty())
        gui::desktopActions().open(support_url_);
}

void CMainFrame::showToolboxArea() {
    const OnlineServices& online = *hooks_.online;
    setControlVisible("LayoutToolbox",
                      online.open_toolbox && online.toolbox_available && online.toolbox_available());
}

// "btnToolbox": the popup at the button's lower-left corner, or away when it shows.
void CMainFrame::toggleToolbox() {
    const OnlineServices& online = *hooks_.online;
    ui::Control* button = find("btnToolbox");
    if (!button || !online.open_toolbox)
        return;
    if (online.toolbox_shown && online.toolbox_shown()) {
        if (online.hide_toolbox)
            online.hide_toolbox();
        return;
    }
    if (online.toolbox_available && online.toolbox_available())
        online.open_toolbox(*this, button->mapToGlobal(QPoint(0, button->height())));
}

void CMainFrame::popupMenu(const std::string& layout, const char* anchor_name, bool below) {
    menu_.reset();
    menu_ = ui::Menu::load(layout);
    ui::Control* anchor = find(anchor_name);
    if (!menu_ || !anchor)
        return;
    if (layout == "format_menu.xml") {
        // An entry shows when the mode offers its format.
        const std::string_view own = formatMenuPrefix(mode());
        for (const convert::TargetFormat& f : convert::targetFormats()) {
            for (std::string_view prefix : {"menu_", "menu2_", "menu3_"})
                menu_->setVisible(std::string(prefix) + std::string(f.token),
                                  prefix == own && convert::modeOffers(mode(), f));
        }
    } else if (layout == "main_menu.xml") {
        for (const auto& [item, checked] : app::languageMenuChecks(app::currentLanguage())) {
            menu_->setChecked(item, checked);
            menu_->setUserData(item, "menuLang");
        }
        // Entries whose service is not there are left out rather than shown dead.
        const OnlineServices& online = *hooks_.online;
        menu_->setVisible("menuUpdate", online.check_for_updates && online.update_menu_visible &&
                                            online.update_menu_visible());
        menu_->setVisible("menuFeedback", false);
        menu_->setVisible("menuKefu", !support_url_.empty());
    }
    // Right edges aligned under the button: the buttons sit at the window's right side.
    const QPoint corner = anchor->mapToGlobal(QPoint(anchor->width(), below ? anchor->height() : 0));
    menu_->popup(this, corner, below ? ui::MenuAlign::Left : ui::MenuAlign::LeftTop);
}

void CMainFrame::onMenuCommand(const std::string& name, const std::string& user_data) {
    if (TargetSelection::isFormatItem(name) || TargetSelection::isCompressItem(name)) {
        controller_->chooseMenuItem(name);
        refreshButtons();
        refreshRows(mode());
    } else if (sameText(name, "menuSetting")) {
        hooks_.settings();
    } else if (user_data == "menuLang") {
        app::LanguageMenuActions actions;
        actions.confirm_restart = [this] { return hooks_.ask("RestartApp", {}); };
        actions.write_language = [this](app::LanguageId id) { context_.settings.setLanguage(id); };
        actions.restart = [this] {
            app::requestRestart();
            QWidget::close();
        };
        app::onLanguageMenu(name, app::currentLanguage(), actions);
    } else if (name == "menuKefu") {
        openSupport();
    } else if (sameText(name, "menuUpdate")) {
        if (hooks_.online->check_for_updates)
            hooks_.online->check_for_updates(*this);
    } else if (sameText(name, "menuAbout")) {
        hooks_.about();
    }
}

platform::LParam CMainFrame::onCustomMessage(std::uint32_t id, platform::WParam wparam,
                                             platform::LParam lparam) {
    if (id == ui::kMenuCommandMessage) {
        const auto* command = reinterpret_cast<const ui::MenuCommand*>(wparam);
        if (command)
            onMenuCommand(command->name, command->user_data);
        scheduleSave();
        return 0;
    }
    const OnlineServices& online = *hooks_.online;
    if (online.update_found_message && id == online.update_found_message) {
        if (online.update_found)
            online.update_found(*this);
        return 0;
    }
    if (online.toolbox_ready_message && id == online.toolbox_ready_message) {
        showToolboxArea();
        return 0;
    }
    const platform::MainWindowMessage message(platform::Message{id, wparam, lparam});
    ConvertTask* task = platform::taskOf(message);
    if (id == WM_CONVERT_PROGRESS && task && worker_->hasJob(task)) {
        run_.progress(task, platform::progressPercent(message));
        // The job set its output before it sent this: kept so that a crash leaves
        // no partial file behind.
        if (RowModel* row = TaskLists::rowOf(task))
            row->job_output = task->output_path;
    }
    if ((id == WM_CONVERT_FAILED || id == WM_CONVERT_START_FAILED) && task) {
        if (auto job = worker_->job(task)) {
            // The user reads the engine's sentence; ffmpeg's own words go to the log.
            const convert::JobFailure& failure = job->failure();
            failures_[task] = failureSentence(failure);
            if (!failure.detail.empty())
                app::fileLog("ffmpeg: %s", failure.detail.c_str());
        }
    }
    if (!controller_->handleMessage(platform::Message{id, wparam, lparam}))
        return MyBaseWindow::onCustomMessage(id, wparam, lparam);
    if (id == WM_MERGE_CHECK || id == WM_MERGE_FAILED)
        refreshRows(ConvertMode::Merge);
    else
        refreshRow(task);
    if (id != WM_TASK_INFO_READY) {
        afterQueueChange();
    } else if (traceValue()) {
        static long long probed = 0;
        trace("probed", ++probed);
    }
    return 0;
}

void CMainFrame::afterQueueChange() {
    scheduleSave();
    if (std::optional<QueueRun::Summary> done = run_.finishIfIdle()) {
        hooks_.notify_desktop(app::getText("QueueDoneTitle"),
                              fill(app::getText("QueueDoneBody"),
                                   {std::to_string(done->succeeded), std::to_string(done->failed)}));
    }
    updateTitle();
}

void CMainFrame::updateTitle() {
    const std::string status = run_.statusText();
    setWindowTitle(QString::fromStdString(status.empty() ? title_ : status + " – " + title_));
    setControlText("label_queue_status", status);
    setControlVisible("label_queue_status", !status.empty());
}

void CMainFrame::removeSelectedRow() {
    ui::List* target = list(mode());
    ui::Control* selected = target ? target->itemAt(target->currentSelection()) : nullptr;
    RowModel* row = selected ? gui::modelOfControl(selected) : nullptr;
    // A converting row is stopped first, with its own button.
    if (!row || row->converting())
        return;
    if (controller_->removeTask(row->task()))
        removeRowControls();
}

void CMainFrame::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape)
        return;  // the main window stays open
    if (event->key() == Qt::Key_Delete && event->modifiers() == Qt::NoModifier) {
        removeSelectedRow();
        return;
    }
    if (event->key() == Qt::Key_O && event->modifiers() == Qt::ControlModifier) {
        addFilesFromDialog();
        return;
    }
    ui::Window::keyPressEvent(event);
}

void CMainFrame::changeEvent(QEvent* event) {
    MyBaseWindow::changeEvent(event);
    if (event->type() == QEvent::WindowStateChange) {
        setControlVisible("btnMax", !isMaximized());
        setControlVisible("btnRestore", isMaximized());
    }
}

void CMainFrame::closeEvent(QCloseEvent* event) {
    if (!controller_->confirmClose()) {
        event->ignore();
        return;
    }
    // A close that does not come through the window's own button (the desktop, a later
    // start's "close") may arrive while the merge dialog runs: it stops the join.
    if (merge_dlg_)
        merge_dlg_->QWidget::close();
    MyBaseWindow::closeEvent(event);
}

void CMainFrame::shutdown() {
    if (shut_down_)
        return;
    shut_down_ = true;
    menu_.reset();
    if (hooks_.online && hooks_.online->close_toolbox)
        hooks_.online->close_toolbox();
    if (merge_dlg_)
        merge_dlg_->QWidget::close();
    // The probe may wait in send(): from now on it is answered at once.
    detachMessages();
    std::vector<ConvertTask*> busy;
    for (ConvertTask* task : lists_->allTasks()) {
        if (worker_->hasJob(task))
            busy.push_back(task);
    }
    probe_.reset();
    worker_->Shutdown();
    for (ConvertTask* task : busy)
        removePartialOutput(*task);
    // Covers, then the work and scratch folders, once no child writes there any more.
    platform::deleteFilesIn(platform::coverDir());
    for (const fs::path& dir : {platform::workDir(), platform::scratchDir()}) {
        platform::deleteFilesIn(dir);
        std::error_code ec;
        fs::remove(dir, ec);
    }
    save_timer_.stop();
    row_timer_.stop();
    saveLists();  // the stopped tasks as they end
    controller_.reset();
    // The rows show models of the lists: they go first.
    for (ConvertMode mode : kModes) {
        if (ui::List* l = list(mode))
            l->removeAll();
    }
    worker_.reset();
    lists_.reset();
}

void setOnlineServices(OnlineServices services) {
    installedOnlineServices() = std::move(services);
}

void installMainFrame() {
    app::setMainWindowFactory([](const app::MainWindowContext& context) -> std::unique_ptr<ui::Window> {
        MainFrameOptions options;
        options.queue_file = platform::dataDir() / "queue.json";
        auto frame = std::make_unique<CMainFrame>(context, std::move(options));
        if (!frame->createFromSkin())
            return nullptr;
        return frame;
    });
    app::setOpenFilesHandler([](ui::Window& window, const std::vector<std::string>& paths) {
        if (auto* frame = dynamic_cast<CMainFrame*>(&window)) {
            frame->addPaths(paths);
            if (traceValue() && std::strstr(traceValue(), "convert"))
                frame->startList();
        }
    });
}

}  // namespace mainframe
