#pragma once
// The message loop of the tests that stand in for a window: messages of a
// platform::MessageQueue handed to the test until it has seen what it waits for.

#include "platform/message_target.h"

#include <chrono>
#include <functional>

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

}  // namespace testsupport
