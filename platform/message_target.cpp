#include "platform/message_target.h"

#include <chrono>

namespace platform {

bool MessageQueue::post(std::uint32_t id, WParam wparam, LParam lparam) {
    {
        std::lock_guard lock(mutex_);
        if (closed_)
            return false;
        queue_.push_back({{id, wparam, lparam}, nullptr});
    }
    cv_.notify_all();
    return true;
}

LParam MessageQueue::send(std::uint32_t id, WParam wparam, LParam lparam) {
    auto reply = std::make_shared<std::optional<LParam>>();
    std::unique_lock lock(mutex_);
    if (closed_)
        return 0;
    queue_.push_back({{id, wparam, lparam}, reply});
    cv_.notify_all();
    cv_.wait(lock, [&] { return reply->has_value() || closed_; });
    return reply->value_or(0);
}

int MessageQueue::dispatch(const Handler& handler) {
    int handled = 0;
    std::unique_lock lock(mutex_);
    while (!queue_.empty()) {
        Entry entry = std::move(queue_.front());
        queue_.pop_front();
        lock.unlock();
        LParam result = handler(entry.message);
        lock.lock();
        if (entry.reply) {
            *entry.reply = result;
            cv_.notify_all();
        }
        ++handled;
    }
    return handled;
}

int MessageQueue::waitAndDispatch(const Handler& handler, int timeout_ms) {
    {
        std::unique_lock lock(mutex_);
        cv_.wait_for(lock, std::chrono::milliseconds(timeout_ms), [&] { return !queue_.empty() || closed_; });
    }
    return dispatch(handler);
}

void MessageQueue::close() {
    {
        std::lock_guard lock(mutex_);
        closed_ = true;
    }
    cv_.notify_all();
}

}  // namespace platform
