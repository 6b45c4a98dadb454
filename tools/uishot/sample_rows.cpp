#include "sample_rows.h"

#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <fstream>

#include "mainframe/gui/conver_ctrl.h"
#include "mainframe/queue_run.h"
#include "mainframe/row_look.h"
#include "mainframe/target_selection.h"
#include "ui/controls.h"
#include "ui/window.h"

namespace uishot {

namespace {

using convert::ConvertMode;
using convert::TaskState;
namespace fs = std::filesystem;

// A cover: a sky-to-field gradient with a sun, 16:9 (kept when `scratch` has it from
// an earlier call).
std::string writeCover(const fs::path& scratch, const std::string& name, QColor top, QColor bottom) {
    const fs::path path = scratch / (name + ".png");
    if (fs::exists(path))
        return path.string();
    QImage image(320, 180, QImage::Format_RGB32);
    QPainter p(&image);
    QLinearGradient g(0, 0, 0, 180);
    g.setColorAt(0, top);
    g.setColorAt(1, bottom);
    p.fillRect(image.rect(), g);
    p.setRenderHint(QPainter::Antialiasing);
    p.setBrush(QColor(255, 220, 120));
    p.setPen(Qt::NoPen);
    p.drawEllipse(QPointF(240, 60), 26, 26);
    p.setBrush(QColor(30, 60, 40, 200));
    p.drawRect(0, 130, 320, 50);
    p.end();
    image.save(QString::fromStdString(path.string()));
    return path.string();
}

}  // namespace

SampleRows makeSampleRows(const fs::path& scratch) {
    fs::create_directories(scratch);
    SampleRows out;
    mainframe::TargetSelection selection;
    auto add = [&](const std::string& file, ConvertMode mode, TaskState state, bool probed) {
        auto task = std::make_unique<convert::ConvertTask>((scratch / file).string(), mode);
        task->size_text = "24.60MB";
        if (probed) {
            task->takeDuration(754'000'000);
            task->takePictureSize(1920, 1080);
            task->source_audio_bitrate = "128";
            task->ready.store(true);
        }
        task->state.store(state);
        auto row = std::make_unique<mainframe::RowModel>(task.get());
        task->row = row.get();
        selection.fillNewRow(*row, mode);
        if (probed) {
            mainframe::showSourceFacts(*row);
            selection.applyProbeResult(*row);
        }
        convert::ConvertTask* t = task.get();
        mainframe::RowModel* r = row.get();
        out.tasks.push_back(std::move(task));
        out.rows.push_back(std::move(row));
        return std::pair{t, r};
    };
    auto idle = [](mainframe::RowModel* row) {
        mainframe::applyRowLook(*row, true, row->task()->convertMode());
    };
    auto busy = [](mainframe::RowModel* row) {
        mainframe::applyRowLook(*row, false, row->task()->convertMode());
    };

    idle(add("Family holiday 2026.mp4", ConvertMode::Video, TaskState::New, false).second);
    {
        auto [t, r] = add("Mountain trail.mkv", ConvertMode::Video, TaskState::New, true);
        t->cover_path = writeCover(scratch, "cover_trail", QColor(110, 170, 230), QColor(70, 140, 90));
        mainframe::showSourceFacts(*r);
        idle(r);
    }
    {
        auto [t, r] = add("Birthday party.mov", ConvertMode::Video, TaskState::Queued, true);
        t->cover_path = writeCover(scratch, "cover_party", QColor(240, 150, 120), QColor(120, 60, 110));
        mainframe::showSourceFacts(*r);
        busy(r);
    }
    {
        auto [t, r] = add("Concert recording.avi", ConvertMode::Video, TaskState::Running, true);
        t->cover_path = writeCover(scratch, "cover_concert", QColor(40, 40, 90), QColor(160, 60, 160));
        mainframe::showSourceFacts(*r);
        busy(r);
        mainframe::setRowProgress(*r, out.running_percent);
    }
    {
        auto [t, r] = add("Beach sunset.mp4", ConvertMode::Video, TaskState::Done, true);
        t->cover_path = writeCover(scratch, "cover_beach", QColor(250, 180, 90), QColor(60, 120, 170));
        mainframe::showSourceFacts(*r);
        t->output_path = (scratch / "Beach sunset.mkv").string();
        std::ofstream(t->output_path) << "result";
        idle(r);
    }
    {
        auto [t, r] = add("Broken download.flv", ConvertMode::Video, TaskState::Failed, true);
        idle(r);
    }
    for (const char* name : {"Part one.mp4", "Part two.mp4"}) {
        auto [t, r] = add(name, ConvertMode::Merge, TaskState::New, true);
        t->cover_path =
            writeCover(scratch, std::string("cover_") + name, QColor(90, 160, 200), QColor(200, 200, 120));
        mainframe::showSourceFacts(*r);
        idle(r);
    }
    {
        auto [t, r] = add("Drone flight.mp4", ConvertMode::Compress, TaskState::Done, true);
        t->cover_path = writeCover(scratch, "cover_drone", QColor(150, 200, 240), QColor(90, 110, 80));
        mainframe::showSourceFacts(*r);
        t->output_path = (scratch / "Drone flight small.mp4").string();
        const std::uintmax_t size = 3 * 1024 * 1024 + 400 * 1024;
        std::error_code ec;
        if (fs::file_size(t->output_path, ec) != size)
            std::ofstream(t->output_path) << std::string(size, 'x');
        idle(r);
    }
    {
        auto [t, r] = add("Podcast episode 12.mp3", ConvertMode::Audio2, TaskState::New, true);
        t->no_video = 1;
        t->source_resolution.clear();
        mainframe::showSourceFacts(*r);
        selection.applyProbeResult(*r);
        idle(r);
    }
    return out;
}

void showSampleRows(ui::Window& window, SampleRows& samples, mainframe::gui::RowFactory& factory) {
    auto* list = window.find<ui::List>("listVideo");
    if (!list)
        return;
    list->setShown(true);
    if (ui::Control* c = window.find("empty_frame"))
        c->setShown(false);
    if (ui::Control* c = window.find("no_empty_frame"))
        c->setShown(true);
    mainframe::QueueRun run;
    const auto now = mainframe::EtaClock::now();
    const auto later = now + std::chrono::seconds(8);
    for (auto& model : samples.rows) {
        if (model->task()->state.load() != TaskState::Running)
            continue;
        run.queued(model->task(), now);
        run.progress(model->task(), samples.running_percent / 2, now);
        run.progress(model->task(), samples.running_percent, later);
        mainframe::showRowTimeLeft(*model, run.taskSecondsLeft(model->task(), later));
    }
    for (auto& model : samples.rows) {
        if (ui::Control* row = factory.makeRow(*model)) {
            mainframe::gui::realizeRow(row);  // all of them are on the picture
            list->add(row);
        }
    }
    if (ui::Control* status = window.find("label_queue_status")) {
        status->setText(run.statusText(later));
        status->setShown(true);
    }
    window.resizeClient(960, 260 + 100 * list->count());
}

}  // namespace uishot
