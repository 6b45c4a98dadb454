#include "player/gui/video_player_dlg.h"

#include <QGuiApplication>
#include <QKeyEvent>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <new>

#include "player/gui/media_window.h"
#include "player/media_clock.h"
#include "player/player.h"
#include "ui/container.h"
#include "ui/range_slider.h"

namespace player::gui {

namespace {

constexpr auto kPlayerStopWait = std::chrono::milliseconds(15000);

// The last text each time edit was seen with, over every dialog of the process: a
// text the dialog writes itself is not read again as typed.
std::string& lastTimeText(bool end_edit) {
    static std::string start, end;
    return end_edit ? end : start;
}

}  // namespace

CVideoPlayerDlg::CVideoPlayerDlg(QWidget* owner, int mode, std::string source_path, int duration,
                                 int video_width, int video_height)
    : app::MyBaseWindow(owner, "dlg_videoplayer"),
      opened_at_(wallSeconds()),
      panel_(this, video_width, video_height),
      run_(std::make_shared<PlayerRun>()),
      mode_(mode),
      source_path_(std::move(source_path)),
      video_width_(video_width),
      video_height_(video_height),
      duration_(duration),
      fallback_start_(clockText(0)),
      fallback_end_(clockText(duration)),
      times_(duration, 1) {
    settings_.clip_end = duration;
    settings_.crop_width = video_width;
    settings_.crop_height = video_height;
    timer_.setInterval(500);
    connect(&timer_, &QTimer::timeout, this, &CVideoPlayerDlg::onTimer);
}

CVideoPlayerDlg::~CVideoPlayerDlg() {
    if (close_at_ == 0.0)
        close_at_ = wallSeconds();
    timer_.stop();
    // Before any window goes: the core draws into the picture window.
    stopPlayer();
    panel_.create(nullptr, nullptr);
    writeTrace();
}

// With QUORIN_CLIP_TRACE naming a file, every dialog appends one line as it goes: the
// monotonic seconds (wallSeconds) of its opening, of its first presented picture (0:
// none), of the close request and of the end of closing, the player thread joined.
void CVideoPlayerDlg::writeTrace() {
    const char* path = std::getenv("QUORIN_CLIP_TRACE");
    if (!path || !*path)
        return;
    if (std::FILE* f = std::fopen(path, "a")) {
        std::fprintf(f, "open=%.6f first_picture=%.6f close=%.6f closed=%.6f\n", opened_at_,
                     run_->shared.first_picture_at.load(), close_at_, wallSeconds());
        std::fclose(f);
    }
}

void CVideoPlayerDlg::takeTaskValues(const ClipSettings& task) {
    player::copyClipAndCrop(task, settings_);
}

CWndUI* CVideoPlayerDlg::mediaWindow() const {
    return find<CWndUI>("wndMedia");
}

ui::Control* CVideoPlayerDlg::createControl(std::string_view tag) {
    if (tag == "WndMediaDisplay")
        return new CWndUI;
    if (tag == "RangeSlider")
        return new ui::CRangeSliderUI;
    return MyBaseWindow::createControl(tag);
}

void CVideoPlayerDlg::initWindow() {
    slider_volume_ = find("sliderVolume");
    slider_play_ = find("sliderPlay");
    slider_rect_ = find<ui::CRangeSliderUI>("sliderRect");
    slider_volume2_ = find("sliderVolume2");
    slider_speed2_ = find("sliderSpeed2");
    if (slider_rect_) {
        slider_rect_->subscribe([this](ui::CRangeSliderUI& s, const ui::CRangeSliderUI::Event& e) {
            using Type = ui::CRangeSliderUI::Event::Type;
            if (e.type == Type::Key) {
                onRangeEvent(s, e.thumb);
            } else if (e.type == Type::MouseMove) {
                if (s.thumbState(ui::CRangeSliderUI::kFirst) & ui::CRangeSliderUI::kCaptured)
                    onRangeEvent(s, ui::CRangeSliderUI::kFirst);
                else if (s.thumbState(ui::CRangeSliderUI::kSecond) & ui::CRangeSliderUI::kCaptured)
                    onRangeEvent(s, ui::CRangeSliderUI::kSecond);
            }
        });
    }

    const int page = mode_ == 1 ? 1 : 0;
    for (const char* name : {"tabMain", "tabTool"}) {
        if (auto* tab = find<ui::TabLayout>(name))
            tab->selectItem(page);
    }
    if (mode_ == 1) {
        if (ui::Control* gif = find("btnAudioGif"))
            gif->setChecked(true);
    }

    times_ = ClipTimes(duration_, slider_rect_ ? slider_rect_->maximum() : 1);
    times_.set(settings_.clip_start, settings_.clip_end);
    if (settings_.clip_start > 0 && slider_play_)
        slider_play_->setValue(sliderValueFor(settings_.clip_start, duration_, slider_play_->maximum()));
    if (slider_rect_) {
        slider_rect_->setValue(times_.units(settings_.clip_start), ui::CRangeSliderUI::kFirst);
        slider_rect_->setValue(times_.units(settings_.clip_end), ui::CRangeSliderUI::kSecond);
    }
    fillTimeEdits();

    if (settings_.crop_width > 0 && settings_.crop_height > 0) {
        setCropEdits(static_cast<float>(settings_.crop_x), static_cast<float>(settings_.crop_y),
                     static_cast<float>(settings_.crop_width), static_cast<float>(settings_.crop_height));
    }
    if (ui::Control* keep = find("optKeepRatio"))
        keep->setChecked(settings_.keep_ratio);
    panel_.setKeepRatio(settings_.keep_ratio,
                        video_height_ > 0 ? static_cast<float>(video_width_) / video_height_ : 0.0f);

    // The output sliders start where the layout puts them; their edits say so.
    if (slider_speed2_) {
        settings_.speed = outputSpeedFor(slider_speed2_->value());
        setControlText("edtSpeed2", speedText(settings_.speed));
    }
    if (slider_volume2_) {
        settings_.volume = outputVolumeFor(slider_volume2_->value());
        setControlText("edtVolume2", std::to_string(slider_volume2_->value()));
    }

    if (CWndUI* wnd = mediaWindow()) {
        panel_.create(wnd->surface(), &run_->shared);
        wnd->surface()->on_expose = [this] { run_->shared.refresh.store(true); };
    }
    if (ui::Control* area = find("LayMedia"))
        area->installEventFilter(this);

    showPlaying(true);
    if (started_) {
        run_->shared.send(PlayerCommand::ResumeRequested);
    } else {
        // The picture is fitted into its area, which has its size once shown.
        start_pending_ = true;
    }
}

void CVideoPlayerDlg::showEvent(QShowEvent* event) {
    MyBaseWindow::showEvent(event);
    if (start_pending_) {
        start_pending_ = false;
        QTimer::singleShot(0, this, [this] {
            if (!started_)
                startPlayback();
        });
    }
}

bool CVideoPlayerDlg::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::Resize && started_ && watched == find("LayMedia"))
        fitPicture();
    return MyBaseWindow::eventFilter(watched, event);
}

void CVideoPlayerDlg::fitPicture() {
    CWndUI* wnd = mediaWindow();
    ui::Control* area = find("LayMedia");
    if (mode_ != 0 || !wnd || !area)
        return;
    // The surface's coordinates are the media control's, which fills the area.
    const QRect a = area->contentsRect();
    const QPoint origin = wnd->mapFrom(area, a.topLeft());
    const Rect fit =
        player::fitPicture({origin.x(), origin.y(), a.width(), a.height()}, video_width_, video_height_);
    wnd->placeSurface(QRect(fit.x, fit.y, fit.w, fit.h));
    panel_.place(fit.x, fit.y, fit.x + fit.w, fit.y + fit.h, video_width_, video_height_);
    panel_.repaint();
}

void CVideoPlayerDlg::startPlayback() {
    if (mode_ == 0) {
        fitPicture();
        panel_.setRect({static_cast<float>(settings_.crop_x), static_cast<float>(settings_.crop_y),
                        static_cast<float>(settings_.crop_width), static_cast<float>(settings_.crop_height)});
        panel_.repaint();
    }
    timer_.start();
    stopPlayer();
    started_ = true;
    CWndUI* wnd = mediaWindow();
    if (!wnd)
        return;
    const std::uintptr_t window = wnd->nativeWindow();
    {
        std::lock_guard lock(run_->mutex);
        run_->ended = false;
    }
    run_->shared.refresh.store(true);
    thread_ = std::thread([run = run_, window, path = source_path_, start = settings_.clip_start] {
        try {
            player_main(run->shared, window, path, start);
        } catch (const std::bad_alloc&) {
            // Out of memory: the preview ends, the dialog stays.
        }
        std::lock_guard lock(run->mutex);
        run->ended = true;
        run->ended_cv.notify_all();
    });
}

bool CVideoPlayerDlg::stopPlayer() {
    if (!thread_.joinable())
        return true;
    const auto deadline = std::chrono::steady_clock::now() + kPlayerStopWait;
    std::unique_lock lock(run_->mutex);
    while (!run_->ended) {
        // Sent again on every turn: a core that is still starting resets the word.
        run_->shared.send(PlayerCommand::QuitRequested);
        run_->ended_cv.wait_for(lock, std::chrono::milliseconds(5));
        if (!run_->ended && std::chrono::steady_clock::now() >= deadline) {
            lock.unlock();
            thread_.detach();
            run_ = std::make_shared<PlayerRun>();
            panel_.setShared(&run_->shared);
            return false;
        }
    }
    lock.unlock();
    thread_.join();
    return true;
}

void CVideoPlayerDlg::onTimer() {
    const double position = run_->shared.position.load();
    const int p = std::clamp(static_cast<int>(position + 0.5), 0, std::max(0, duration_));
    setControlText("labelPlayTime", clockText(p) + "/" + clockText(duration_));
    // A thumb the user holds stays under the pointer.
    if (slider_play_ && !(QGuiApplication::mouseButtons() & Qt::LeftButton && slider_play_->underMouse()))
        slider_play_->setValue(sliderValueFor(p, duration_, slider_play_->maximum()));
}

void CVideoPlayerDlg::showPlaying(bool playing) {
    setControlVisible("btnPause", playing);
    setControlVisible("btnPlay", !playing);
}

void CVideoPlayerDlg::onClick(ui::Notify& n) {
    const std::string name = n.sender ? n.sender->name() : std::string();
    if (name == "btnClose" || name == "btnOK")
        close_at_ = wallSeconds();
    if (name == "btnClose") {
        accepted_ = false;
        close(0);
    } else if (name == "btnOK") {
        const CropRect& r = panel_.rect();
        settings_.crop_x = static_cast<int>(r.x);
        settings_.crop_y = static_cast<int>(r.y);
        settings_.crop_width = static_cast<int>(r.w);
        settings_.crop_height = static_cast<int>(r.h);
        settings_.clip_start = times_.start();
        settings_.clip_end = times_.end();
        accepted_ = true;
        close(1);
    } else if (name == "btnPlay") {
        showPlaying(true);
        if (!started_)
            startPlayback();
        else
            run_->shared.send(PlayerCommand::ResumeRequested);
    } else if (name == "btnPause") {
        showPlaying(false);
        run_->shared.send(PlayerCommand::PauseRequested);
    } else if (name == "btnFastBackward" || name == "btnFastForward") {
        fastJump(name == "btnFastForward");
    } else if (name == "optKeepRatio") {
        toggleKeepRatio();
    }
}

void CVideoPlayerDlg::fastJump(bool forward) {
    if (!slider_play_)
        return;
    const int t = fastJumpTarget(run_->shared.position.load(), duration_, forward);
    slider_play_->setValue(sliderValueFor(t, duration_, slider_play_->maximum()));
    seekFromSlider();
}

void CVideoPlayerDlg::seekFromSlider() {
    const int target = sliderSeconds(slider_play_->value(), slider_play_->maximum(), duration_);
    if (passSeekTarget(target, run_->shared.position.load()))
        run_->shared.seekTo(target);
}

void CVideoPlayerDlg::toggleKeepRatio() {
    ui::Control* keep_option = find("optKeepRatio");
    if (!keep_option)
        return;
    // The check box has already turned: its state is the new one.
    const bool keep = keep_option->isChecked();
    settings_.keep_ratio = keep;
    if (keep) {
        panel_.setRect({0, 0, static_cast<float>(video_width_), static_cast<float>(video_height_)});
        panel_.repaint();
        setCropEdits(0, 0, static_cast<float>(video_width_), static_cast<float>(video_height_));
    }
    panel_.setKeepRatio(keep, video_height_ > 0 ? static_cast<float>(video_width_) / video_height_ : 0.0f);
}

void CVideoPlayerDlg::notify(ui::Notify& n) {
    MyBaseWindow::notify(n);
    if (!n.sender)
        return;
    const std::string name = n.sender->name();
    if (n.type == "textchanged") {
        if (name == "edtStartTime" || name == "edtEndTime") {
            onTimeText(name == "edtEndTime", n.sender->text());
        } else if (name == "edtPosX") {
            onCropText(CropField::X, "edtPosX");
        } else if (name == "edtPosY") {
            onCropText(CropField::Y, "edtPosY");
        } else if (name == "edtWidth") {
            onCropText(CropField::Width, "edtWidth");
        } else if (name == "edtHeight") {
            onCropText(CropField::Height, "edtHeight");
        }
        return;
    }
    if (n.type != "valuechanged" && n.type != "movevaluechanged")
        return;
    if (n.sender == slider_play_ && n.type == "valuechanged") {
        seekFromSlider();
    } else if (n.sender == slider_volume_) {
        run_->shared.live_volume.store(liveVolumeFor(slider_volume_->value(), slider_volume_->maximum()));
    } else if (n.sender == slider_volume2_) {
        settings_.volume = outputVolumeFor(slider_volume2_->value());
        setControlText("edtVolume2", std::to_string(slider_volume2_->value()));
    } else if (n.sender == slider_speed2_) {
        settings_.speed = outputSpeedFor(slider_speed2_->value());
        setControlText("edtSpeed2", speedText(settings_.speed));
    }
}

void CVideoPlayerDlg::onRangeEvent(ui::CRangeSliderUI& s, int thumb) {
    std::optional<int> corrected = thumb == ui::CRangeSliderUI::kFirst ? times_.dragFirst(s.value(thumb))
                                                                       : times_.dragSecond(s.value(thumb));
    if (corrected)
        s.setValue(*corrected, thumb);
    settings_.clip_start = times_.start();
    settings_.clip_end = times_.end();
    fillTimeEdits();
}

void CVideoPlayerDlg::setTimeEdit(const char* name, int seconds) {
    const std::string text = clockText(seconds);
    lastTimeText(std::string_view(name) == "edtEndTime") = text;
    setControlText(name, text);
}

void CVideoPlayerDlg::fillTimeEdits() {
    setTimeEdit("edtStartTime", times_.start());
    setTimeEdit("edtEndTime", times_.end());
}

void CVideoPlayerDlg::onTimeText(bool end_edit, std::string text) {
    const char* name = end_edit ? "edtEndTime" : "edtStartTime";
    // A corrected or restored text is read again, as if typed; the last-text check
    // ends the round once a text repeats.
    while (text != lastTimeText(end_edit)) {
        lastTimeText(end_edit) = text;
        const TimeText t = parseTimeText(text);
        if (t.kind == TimeText::Kind::Rewrite) {
            text = t.text;
        } else if (t.kind == TimeText::Kind::Seconds) {
            bool accepted = false;
            if (end_edit) {
                accepted = times_.typeEnd(t.seconds);
                if (accepted && slider_rect_)
                    slider_rect_->setValue(times_.units(t.seconds), ui::CRangeSliderUI::kSecond);
            } else {
                const ClipTimes::Typed typed = times_.typeStart(t.seconds);
                accepted = typed != ClipTimes::Typed::Refused;
                if (accepted && slider_rect_)
                    slider_rect_->setValue(times_.units(t.seconds), ui::CRangeSliderUI::kFirst);
                if (typed == ClipTimes::Typed::EndMoved) {
                    if (slider_rect_)
                        slider_rect_->setValue(times_.units(times_.end()), ui::CRangeSliderUI::kSecond);
                    setTimeEdit("edtEndTime", times_.end());
                }
            }
            settings_.clip_start = times_.start();
            settings_.clip_end = times_.end();
            if (accepted)
                return;  // left as typed
            text = end_edit ? fallback_end_ : fallback_start_;
        } else {
            text = end_edit ? fallback_end_ : fallback_start_;
        }
        setControlText(name, text);
    }
}

void CVideoPlayerDlg::onCropText(CropField field, const char* name) {
    ui::Control* edit = find(name);
    if (!edit)
        return;
    const CropEdit e =
        editCrop(field, edit->text(), panel_.rect(), video_width_, video_height_, panel_.keepRatio());
    if (!e.changed)
        return;
    panel_.setRect(e.rect);
    panel_.repaint();
    if (e.own_text)
        edit->setText(*e.own_text);
    if (e.width_text)
        setControlText("edtWidth", *e.width_text);
    if (e.height_text)
        setControlText("edtHeight", *e.height_text);
}

void CVideoPlayerDlg::setCropEdits(float x, float y, float w, float h) {
    auto text = [](float v) { return std::to_string(static_cast<int>(std::lround(v))); };
    setControlText("edtPosX", text(x));
    setControlText("edtPosY", text(y));
    setControlText("edtWidth", text(w));
    setControlText("edtHeight", text(h));
}

void CVideoPlayerDlg::rectChanged(float x, float y, float width, float height) {
    setCropEdits(x, y, width, height);
}

void CVideoPlayerDlg::keyPressEvent(QKeyEvent* event) {
    // Return and Escape never close this dialog: a clip is only taken with OK.
    switch (event->key()) {
        case Qt::Key_Return:
        case Qt::Key_Enter:
        case Qt::Key_Escape:
            event->accept();
            return;
        default:
            MyBaseWindow::keyPressEvent(event);
    }
}

}  // namespace player::gui
