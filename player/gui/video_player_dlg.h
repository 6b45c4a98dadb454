#pragma once
// CVideoPlayerDlg: the modal clip dialog. It previews one source with the player core
// (on a thread of its own, driven through PlayerShared) and lets the user choose the
// clip start and end (time edits, two-thumb range slider), a crop rectangle (edits, or
// drawn on the picture), keep ratio, and an output speed and volume. OK hands them
// back; Close, Escape or the title bar leave them alone.

#include <QPointer>
#include <QTimer>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "app/gui/my_base_window.h"
#include "player/clip_rules.h"
#include "player/clip_settings.h"
#include "player/gui/video_draw_panel.h"
#include "player/player_shared.h"

namespace ui {
class CRangeSliderUI;
}

namespace player::gui {

class CWndUI;

class CVideoPlayerDlg : public app::MyBaseWindow, public IDrawPanelEvent {
    Q_OBJECT
public:
    // mode 0: the source has a video stream; 1: it has none.
    CVideoPlayerDlg(QWidget* owner, int mode, std::string source_path, int duration, int video_width,
                    int video_height);
    ~CVideoPlayerDlg() override;

    // The values the caller gives before running the dialog and reads after it.
    ClipSettings& settings() { return settings_; }
    // What the caller gives from the task before running: clip, crop and keep ratio
    // (speed and volume keep the dialog's own start values).
    void takeTaskValues(const ClipSettings& task);
    bool accepted() const { return accepted_; }

    // For tests and tools.
    PlayerShared& shared() { return run_->shared; }
    bool playerThreadRunning() const { return thread_.joinable(); }
    CVideoDrawPanel& drawPanel() { return panel_; }
    CWndUI* mediaWindow() const;
    // Asks the player thread to end and waits for it (at most 15 s). False when it
    // did not end in time (it is then left to itself).
    bool stopPlayer();

    void rectChanged(float x, float y, float width, float height) override;

protected:
    ui::Control* createControl(std::string_view tag) override;
    void notify(ui::Notify& notify) override;
    void initWindow() override;
    void onClick(ui::Notify& notify) override;
    void keyPressEvent(QKeyEvent* event) override;
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // The shared words and the thread's end, kept alive by the thread too.
    struct PlayerRun {
        PlayerShared shared;
        std::mutex mutex;
        std::condition_variable ended_cv;
        bool ended = false;  // guarded by mutex
    };

    void startPlayback();
    void fitPicture();
    void onTimer();
    void seekFromSlider();
    void fastJump(bool forward);
    void toggleKeepRatio();
    void onRangeEvent(ui::CRangeSliderUI& slider, int thumb);
    void fillTimeEdits();
    void setTimeEdit(const char* name, int seconds);
    void onTimeText(bool end_edit, std::string text);
    void onCropText(CropField field, const char* name);
    void setCropEdits(float x, float y, float w, float h);
    void showPlaying(bool playing);
    void writeTrace();

    const double opened_at_;
    double close_at_ = 0.0;
    CVideoDrawPanel panel_;
    ClipSettings settings_;
    bool accepted_ = false;
    ui::Control* slider_volume_ = nullptr;
    ui::Control* slider_play_ = nullptr;
    ui::CRangeSliderUI* slider_rect_ = nullptr;
    ui::Control* slider_volume2_ = nullptr;
    ui::Control* slider_speed2_ = nullptr;
    std::shared_ptr<PlayerRun> run_;
    std::thread thread_;
    bool started_ = false;
    bool start_pending_ = false;
    int mode_;
    std::string source_path_;
    int video_width_;
    int video_height_;
    int duration_;
    std::string fallback_start_;
    std::string fallback_end_;
    ClipTimes times_;
    QTimer timer_;
};

}  // namespace player::gui
