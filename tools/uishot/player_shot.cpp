#include "player_shot.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QScreen>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <thread>

#include "mainframe/clip_result.h"
#include "mainframe/media_probe.h"
#include "platform/process.h"
#include "player/gui/media_window.h"
#include "player/gui/video_player_dlg.h"
#include "ui/control.h"

namespace fs = std::filesystem;

PrivateXServer::PrivateXServer() {
    for (int n = 150 + static_cast<int>(getpid() % 50); n < 250; ++n) {
        const std::string socket = "/tmp/.X11-unix/X" + std::to_string(n);
        if (fs::exists(socket) || fs::exists("/tmp/.X" + std::to_string(n) + "-lock"))
            continue;
        platform::CommandLine cmd("Xvfb");
        cmd.args({":" + std::to_string(n), "-screen", "0", "1920x1200x24", "-nolisten", "tcp"});
        process_ = platform::Process::start(cmd);
        if (!process_)
            return;
        for (int i = 0; i < 500 && !fs::exists(socket); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        if (fs::exists(socket)) {
            setenv("DISPLAY", (":" + std::to_string(n)).c_str(), 1);
            started_ = true;
            return;
        }
        process_.reset();
    }
}

PrivateXServer::~PrivateXServer() {
    if (process_) {
        process_->terminate();
        process_->wait();
    }
}

void preparePlayerEnvironment() {
    if (std::getenv("DISPLAY"))
        setenv("QT_QPA_PLATFORM", "xcb", 0);
    setenv("SDL_VIDEODRIVER", "x11", 0);
    setenv("SDL_RENDER_DRIVER", "software", 0);
    setenv("SDL_AUDIODRIVER", "dummy", 0);
}

namespace {

// Runs the event loop until `done` or `ms` have passed.
template <class F>
bool spin(F done, int ms) {
    QElapsedTimer t;
    t.start();
    while (!done()) {
        if (t.elapsed() > ms)
            return false;
        QApplication::processEvents(QEventLoop::AllEvents, 10);
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

}  // namespace

bool shootPlayer(const std::string& file, const std::string& clip, const std::string& crop,
                 bool close_playing, const SaveShot& save) {
    convert::ConvertTask task(file, convert::ConvertMode::Video);
    mainframe::silenceLibraryLogs();
    mainframe::ProbeMedia(task);
    if (task.duration <= 0 && task.width <= 0) {
        // As when a file went away after it was added: the dialog cannot open it.
        std::fprintf(stderr, "uishot: cannot read %s; shown as a 60 s 1280x720 source\n", file.c_str());
        task.duration = task.clip_end = 60;
        task.width = task.crop_width = 1280;
        task.height = task.crop_height = 720;
    }
    player::ClipSettings settings = mainframe::clipSettingsOf(task);
    if (!clip.empty()) {
        const QMargins m = ui::parseMargins(clip);
        settings.clip_start = m.left();
        settings.clip_end = m.top();
    }
    if (!crop.empty()) {
        const QMargins m = ui::parseMargins(crop);
        settings = {settings.clip_start, settings.clip_end, m.left(), m.top(), m.right(), m.bottom(), false,
                    settings.speed,      settings.volume};
    }
    const player::ClipSource source = mainframe::clipSourceOf(task);
    player::gui::CVideoPlayerDlg dlg(nullptr, source.no_video ? 1 : 0, source.path, source.duration,
                                     source.width, source.height);
    dlg.takeTaskValues(settings);
    if (!dlg.createFromSkin()) {
        std::fprintf(stderr, "uishot: the skin has no layout for the player dialog\n");
        return false;
    }
    dlg.show();
    player::PlayerShared& shared = dlg.shared();
    // The first picture (or, without one, a moment of playback), then a still.
    if (!source.no_video && !spin([&] { return shared.shown.load() > 0; }, 10000))
        std::fprintf(stderr, "uishot: no picture within 10 s; the picture area stays empty\n");
    shared.send(player::PlayerCommand::PauseRequested);
    spin([&] { return shared.current() == player::PlayerCommand::Paused; }, 2000);
    shared.refresh.store(true);
    spin([] { return false; }, 700);  // the overlay redraw and the position label

    player::gui::CWndUI* wnd = dlg.mediaWindow();
    QPixmap picture;
    QPoint at;
    if (wnd && wnd->surface()->isVisible() && !source.no_video) {
        QWidget* surface = wnd->surface();
        picture = dlg.screen()->grabWindow(surface->winId());
        at = surface->mapTo(&dlg, QPoint(0, 0));
    }
    const bool saved = save(dlg, [&](QPainter& p) {
        if (!picture.isNull())
            p.drawPixmap(at, picture);
    });
    if (close_playing) {
        shared.send(player::PlayerCommand::ResumeRequested);
        spin([] { return false; }, 1000);
    }
    if (ui::Control* close = dlg.find("btnClose"))
        close->notify("click");
    return saved;
}
