#pragma once
// One run of the conversion queue as the window reports it: from the first task
// queued while the queue was idle until no task of the run is queued or converting.
// Gives the run's overall percentage (for the title) and, at its end, how many tasks
// succeeded and failed (for the desktop notification). UI thread only.

#include "convert/convert_task.h"

#include <chrono>
#include <map>
#include <optional>
#include <string>

namespace mainframe {

class QueueRun {
public:
    using Clock = std::chrono::steady_clock;

    // A task was queued (start, retry). A task queued again counts once.
    void queued(const convert::ConvertTask* task, Clock::time_point now = Clock::now());
    // A progress reading of a task of the run (ignored for others).
    void progress(const convert::ConvertTask* task, int percent);

    bool active() const { return !tasks_.empty(); }
    // 0..100 over the run's tasks: finished ones (done, failed, stopped, put back)
    // count in full, the others by their last reading. -1 when no run is active.
    int percent() const;
    // Seconds the run still needs by its pace so far; nothing before any progress.
    std::optional<int> secondsLeft(Clock::time_point now = Clock::now()) const;

    struct Summary {
        int succeeded = 0;
        int failed = 0;
        int stopped = 0;
    };
    // Ends the run when none of its tasks is queued or converting any more, and
    // returns what became of them. Nothing while the run goes on or none is active.
    std::optional<Summary> finishIfIdle();

private:
    std::map<const convert::ConvertTask*, int> tasks_;  // task -> last percent
    Clock::time_point started_{};
};

// A job stopped before it finished leaves a cut-off file under the output name it
// chose (always a name that was free): that file is deleted, so no broken file looks
// like a result. Nothing happens for a Done task. True when a file was removed.
bool removePartialOutput(const convert::ConvertTask& task);

// "1:05:09", "4:07", "0:09".
std::string formatDuration(int seconds);

}  // namespace mainframe
