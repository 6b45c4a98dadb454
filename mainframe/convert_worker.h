#pragma once
// The conversion queue: tasks are queued from the window's thread and run one at a
// time by a conversion thread of the worker's own, each through a job made for its
// source kind. The jobs report to the owner window; the thread itself only posts
// WM_MERGE_FAILED.
//
// Jobs are held here, not in the task: the window destroys a job (DestroyJob) while
// the conversion thread may still wait for its runner, so the last of the two lets go.

#include "convert/convert_task.h"
#include "convert/job_factory.h"
#include "platform/message_target.h"

#include <condition_variable>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace mainframe {

using JobFactory =
    std::function<std::unique_ptr<convert::CUtilTransform>(convert::ConvertTask*, platform::MessageTarget*)>;

// The special sources' probe: ProbeMedia and MakeCover.
convert::SourceProbe listProbe();
// A factory for convert::makeJob with these options (the default: the window's timings, the
// list's probe).
JobFactory makeJobFactory(convert::JobOptions options = {},
                          convert::SpecialSourceOptions special = {listProbe()});

class ConvertWorker {
public:
    // `owner` is not owned and must outlive the worker. The thread starts here.
    explicit ConvertWorker(platform::MessageTarget* owner, JobFactory factory = makeJobFactory());
    ~ConvertWorker();  // Shutdown()
    ConvertWorker(const ConvertWorker&) = delete;
    ConvertWorker& operator=(const ConvertWorker&) = delete;

    // Takes the task out of the removed list and moves it to the end of the queue. Does
    // not wake the thread.
    void Enqueue(convert::ConvertTask* task);
    // The task joins the removed list, becomes Stopped, loses its job and leaves the queue.
    void Remove(convert::ConvertTask* task);
    // Stops and releases the task's job, if any.
    void DestroyJob(convert::ConvertTask* task);
    // Lets the conversion thread take the Queued tasks.
    void Wake();
    // Stops every queued task and the thread. Tasks are not freed (the lists own them).
    void Shutdown();

    // True while the task has a job (its messages count).
    bool hasJob(const convert::ConvertTask* task) const;
    // The task's job, for display (command line, failure text); null when none.
    std::shared_ptr<convert::CUtilTransform> job(const convert::ConvertTask* task) const;
    std::vector<convert::ConvertTask*> queue() const;
    std::vector<convert::ConvertTask*> removed() const;

private:
    struct BatchEntry {
        convert::ConvertTask* task;
        bool requeued;
    };
    void threadMain();
    void runTask(convert::ConvertTask* task, bool& merge_failed);

    platform::MessageTarget* const owner_;
    const JobFactory factory_;

    mutable std::mutex mutex_;      // guards queue_, removed_, work_, quit_
    std::condition_variable wake_;  // work_ or quit_ set
    std::vector<convert::ConvertTask*> queue_;
    std::vector<convert::ConvertTask*> removed_;
    bool work_ = false;
    bool quit_ = false;
    std::atomic<bool> stop_{false};

    // Guards jobs_ and serialises a job's Start against its destruction.
    mutable std::mutex jobs_mutex_;
    std::map<const convert::ConvertTask*, std::shared_ptr<convert::CUtilTransform>> jobs_;

    std::mutex shutdown_mutex_;
    std::thread thread_;
};

}  // namespace mainframe
