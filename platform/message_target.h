#pragma once
// How worker threads report to a window: numbered messages with two parameters,
// as window messages do. The GUI posts Qt events; the CLI and tests use
// MessageQueue below.

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>

namespace platform {

using WParam = std::uintptr_t;
using LParam = std::intptr_t;

class MessageTarget {
public:
    virtual ~MessageTarget() = default;
    // Queued; returns at once. False when the target no longer takes messages.
    virtual bool post(std::uint32_t id, WParam wparam, LParam lparam) = 0;
    // Blocks until the target's thread has handled the message; returns its result
    // (0 when the target no longer takes messages).
    virtual LParam send(std::uint32_t id, WParam wparam, LParam lparam) = 0;
};

struct Message {
    std::uint32_t id = 0;
    WParam wparam = 0;
    LParam lparam = 0;
};

// A message queue drained by one consumer thread, which calls dispatch() or
// waitAndDispatch(). send() blocks the sender until the consumer has handled it.
class MessageQueue : public MessageTarget {
public:
    using Handler = std::function<LParam(const Message&)>;

    bool post(std::uint32_t id, WParam wparam, LParam lparam) override;
    LParam send(std::uint32_t id, WParam wparam, LParam lparam) override;

    // Handles every queued message with `handler`; returns how many.
    int dispatch(const Handler& handler);
    // Waits up to timeout_ms for a message, then handles it and every other queued one.
    // Returns how many were handled.
    int waitAndDispatch(const Handler& handler, int timeout_ms);
    // After close() posts and sends are refused and blocked senders are released.
    void close();

private:
    struct Entry {
        Message message;
        std::shared_ptr<std::optional<LParam>> reply;  // set for send()
    };
    std::mutex mutex_;
    std::condition_variable cv_;  // guarded by mutex_: new entries, replies, close
    std::deque<Entry> queue_;
    bool closed_ = false;
};

}  // namespace platform
