#pragma once
// The background probe: tasks handed over in batches are probed one after another on
// a thread of the queue's own; each probed task is announced with WM_TASK_INFO_READY
// (sent, so the window has seen the facts before the task is marked ready). Cover
// pictures take an ffmpeg run each, so they are cut once no task waits for its facts,
// and each is announced with WM_TASK_INFO_READY again.

#include "convert/convert_task.h"
#include "platform/message_target.h"

#include <atomic>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>
#include <vector>

namespace mainframe {

class ProbeQueue {
public:
    // `window` is not owned and must outlive the queue. With make_covers false no
    // cover picture is cut (front ends without pictures).
    explicit ProbeQueue(platform::MessageTarget* window, bool make_covers = true);
    // Stops the thread after the task it is on. The window must keep handling sent
    // messages until then (or be closed), or this blocks.
    ~ProbeQueue();
    ProbeQueue(const ProbeQueue&) = delete;
    ProbeQueue& operator=(const ProbeQueue&) = delete;

    // Queues tasks (not owned; they must outlive the queue or be marked Stopped and kept
    // until it is destroyed). Clears a previous skip.
    void AddProbeBatch(const std::vector<convert::ConvertTask*>& tasks);
    // Drops what is pending and stops the batch in progress after its current task
    // (a list was cleared), and the covers not cut yet. Skipped tasks are never marked
    // ready.
    void SkipProbeBatch();

private:
    void threadMain();

    platform::MessageTarget* const window_;
    const bool make_covers_;
    std::mutex mutex_;
    std::condition_variable wake_;                // guarded by mutex_: new items, quit
    std::vector<convert::ConvertTask*> pending_;  // guarded by mutex_
    std::deque<convert::ConvertTask*> covers_;    // guarded by mutex_: probed, cover to cut
    bool quit_ = false;                           // guarded by mutex_
    std::atomic<bool> stop_{false};
    std::atomic<bool> skip_{false};
    std::thread thread_;
};

}  // namespace mainframe
