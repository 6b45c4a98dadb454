#pragma once
// The message loop of the tests that stand in for a window: messages of a
// platform::MessageQueue handed to the test until it has seen what it waits for.

#include "platform/message_target.h"
#include "platform/window_messages.h"

#include <chrono>
#include <functional>
#include <vector>

namespace testsupport {

// Hands every message of `queue` to `handle` until `handle` has returned true once (the
// messages dispatched with that one are still handed on) or `timeout_ms` have passed;
// waits up to `wait_ms` for each batch. True when the end came in time.
inline bool dispatchUntil(platform::MessageQueue& queue,
                          const std::function<bool(const platform::Message&)>& handle, int timeout_ms,
                          int wait_ms = 100) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
    bool ended = false;
    while (!ended && std::chrono::steady_clock::now() < until) {
        queue.waitAndDispatch(
            [&](const platform::Message& m) -> platform::LParam {
                ended = handle(m) || ended;
                return 0;
            },
            wait_ms);
    }
    return ended;
}

// What a job told its window up to its end. A conversion ends with progress 100
// (success) or WM_CONVERT_FAILED; a join with WM_MERGE_JOIN_DONE (success) or
// WM_MERGE_JOIN_FAILED.
struct JobOutcome {
    std::vector<platform::Message> messages;
    std::vector<int> progress;
    bool success = false;
    bool failed = false;
    bool start_failed = false;  // WM_CONVERT_START_FAILED came
    bool info_ready = false;    // WM_TASK_INFO_READY came
};

// Whose messages the queue stands in for.
enum class JobWindow { Main, MergeDialog };

// Collects what `queue` receives until the job's end (or `timeout_ms`).
inline JobOutcome runToEnd(platform::MessageQueue& queue, JobWindow window, int timeout_ms) {
    JobOutcome out;
    dispatchUntil(
        queue,
        [&](const platform::Message& raw) {
            out.messages.push_back(raw);
            if (window == JobWindow::MergeDialog) {
                using Id = platform::MergeDialogId;
                const platform::MergeDialogMessage m(raw);
                if (m.id() == Id::WM_MERGE_JOIN_PROGRESS)
                    out.progress.push_back(platform::progressPercent(m));
                out.success = out.success || m.id() == Id::WM_MERGE_JOIN_DONE;
                out.failed = out.failed || m.id() == Id::WM_MERGE_JOIN_FAILED;
            } else {
                using Id = platform::MainWindowId;
                const platform::MainWindowMessage m(raw);
                if (m.id() == Id::WM_CONVERT_PROGRESS) {
                    out.progress.push_back(platform::progressPercent(m));
                    out.success = out.success || out.progress.back() == 100;
                }
                out.failed = out.failed || m.id() == Id::WM_CONVERT_FAILED;
                out.start_failed = out.start_failed || m.id() == Id::WM_CONVERT_START_FAILED;
                out.info_ready = out.info_ready || m.id() == Id::WM_TASK_INFO_READY;
            }
            return out.success || out.failed;
        },
        timeout_ms);
    return out;
}

}  // namespace testsupport
