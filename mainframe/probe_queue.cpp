#include "mainframe/probe_queue.h"

#include "mainframe/media_probe.h"
#include "platform/process.h"
#include "platform/window_messages.h"

namespace mainframe {

ProbeQueue::ProbeQueue(platform::MessageTarget* window, bool make_covers)
    : window_(window), make_covers_(make_covers), thread_([this] { threadMain(); }) {}

ProbeQueue::~ProbeQueue() {
    stop_.store(true);
    {
        std::lock_guard lock(mutex_);
        quit_ = true;
    }
    wake_.notify_all();
    thread_.join();
}

void ProbeQueue::AddProbeBatch(const std::vector<convert::ConvertTask*>& tasks) {
    {
        std::lock_guard lock(mutex_);
        pending_.insert(pending_.end(), tasks.begin(), tasks.end());
        skip_.store(false);
    }
    wake_.notify_all();
}

void ProbeQueue::SkipProbeBatch() {
    std::lock_guard lock(mutex_);
    skip_.store(true);
    pending_.clear();
    covers_.clear();
}

void ProbeQueue::threadMain() {
    platform::lowerThreadPriority();  // the covers' ffmpeg too: behind the window
    const auto announce = [this](convert::ConvertTask* task) {
        if (!stop_.load() && !skip_.load() && !task->isStopped() && window_)
            platform::sendToMainWindow(*window_, platform::MainWindowId::WM_TASK_INFO_READY, task);
    };
    while (!stop_.load()) {
        std::vector<convert::ConvertTask*> batch;
        convert::ConvertTask* cover = nullptr;
        {
            std::unique_lock lock(mutex_);
            wake_.wait(lock, [&] { return quit_ || !pending_.empty() || !covers_.empty(); });
            if (quit_)
                return;
            if (!pending_.empty()) {
                batch.swap(pending_);
            } else {
                cover = covers_.front();
                covers_.pop_front();
            }
        }
        for (convert::ConvertTask* task : batch) {
            if (stop_.load() || skip_.load())
                break;
            if (ProbeMedia(*task) && make_covers_ && task->source_kind == 0) {
                std::lock_guard lock(mutex_);
                covers_.push_back(task);
            }
            announce(task);
            task->ready.store(true, std::memory_order_release);
        }
        if (cover && !skip_.load() && MakeCover(*cover))
            announce(cover);
    }
}

}  // namespace mainframe
