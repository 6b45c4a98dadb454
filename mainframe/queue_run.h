#pragma once
// One run of the conversion queue as the window reports it: from the first task
// queued while the queue was idle until no task of the run is queued or converting.
// Gives the run's overall percentage and the time left (for the title and the status
// line), each converting task's time left (for its row) and, at its end, how many
// tasks succeeded and failed (for the desktop notification). UI thread only.

#include "convert/convert_task.h"
#include "mainframe/row_model.h"
#include "mainframe/time_left.h"

#include <chrono>
#include <map>
#include <optional>
#include <string>

namespace mainframe {

class QueueRun {
public:
    using Clock = EtaClock;

    // A task was queued (start, retry). A task queued again counts once.
    void queued(const convert::ConvertTask* task, Clock::time_point now = Clock::now());
    // A progress reading of a task of the run (ignored for others).
    void progress(const convert::ConvertTask* task, int percent, Clock::time_point now = Clock::now());

    bool active() const { return !tasks_.empty(); }
    // 0..100 over the run's tasks: finished ones (done, failed, stopped, put back)
    // count in full, the others by their last reading. -1 when no run is active.
    int percent() const;
    // Seconds the run still needs: the media left over the pace the whole run has kept
    // since its first progress (all tasks, by their media length; a finished task
    // counts in full). Nothing while unknown, and before 3 s of progress.
    std::optional<int> secondsLeft(Clock::time_point now = Clock::now()) const;
    // Seconds a converting task of the run still needs; nothing while unknown and for
    // a task that is not converting.
    std::optional<int> taskSecondsLeft(const convert::ConvertTask* task,
                                       Clock::time_point now = Clock::now()) const;
    // "42%", or "42% · 0:35 left" once the time left is known; empty when no run is
    // active (the title's prefix and the status line).
    std::string statusText(Clock::time_point now = Clock::now()) const;

    struct Summary {
        int succeeded = 0;
        int failed = 0;
        int stopped = 0;
    };
    // Ends the run when none of its tasks is queued or converting any more, and
    // returns what became of them. Nothing while the run goes on or none is active.
    std::optional<Summary> finishIfIdle();

private:
    struct Entry {
        int percent = 0;
        TimeLeftEstimator eta;
    };
    // The run's progress in percent of its media, from every task's state and reading.
    double mediaPercent() const;

    std::map<const convert::ConvertTask*, Entry> tasks_;
    TimeLeftEstimator eta_;  // fed with mediaPercent()
};

// The row's "label_time_left": "0:14 left" while the estimate is known, else hidden.
void showRowTimeLeft(RowModel& row, std::optional<int> seconds);

// A job stopped before it finished leaves a cut-off file under the output name it
// chose (always a name that was free): that file is deleted, so no broken file looks
// like a result. Nothing happens for a Done task. True when a file was removed.
bool removePartialOutput(const convert::ConvertTask& task);

}  // namespace mainframe
