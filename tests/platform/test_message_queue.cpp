#include "platform/message_target.h"

#include <gtest/gtest.h>

#include <atomic>
#include <map>
#include <thread>
#include <vector>

namespace {

TEST(MessageQueue, PostsFromManyThreadsArriveOnceAndInOrderPerThread) {
    platform::MessageQueue queue;
    constexpr int kThreads = 4, kPerThread = 2500;
    std::vector<std::thread> senders;
    for (int t = 0; t < kThreads; ++t)
        senders.emplace_back([&, t] {
            for (int i = 0; i < kPerThread; ++i)
                queue.post(100 + t, static_cast<platform::WParam>(i), 0);
        });
    std::map<std::uint32_t, int> next;
    int total = 0;
    while (total < kThreads * kPerThread) {
        total += queue.waitAndDispatch(
            [&](const platform::Message& m) {
                EXPECT_EQ(static_cast<int>(m.wparam), next[m.id]);
                next[m.id] = static_cast<int>(m.wparam) + 1;
                return platform::LParam{0};
            },
            1000);
    }
    for (auto& s : senders)
        s.join();
    for (int t = 0; t < kThreads; ++t)
        EXPECT_EQ(next[100 + t], kPerThread);
}

TEST(MessageQueue, SendWaitsForTheHandlersResult) {
    platform::MessageQueue queue;
    std::atomic<bool> handled{false};
    std::thread sender([&] {
        EXPECT_EQ(queue.send(9027, 5, 6), 11);
        EXPECT_TRUE(handled.load());
    });
    int n = 0;
    while (n == 0)
        n = queue.waitAndDispatch(
            [&](const platform::Message& m) {
                handled = true;
                return static_cast<platform::LParam>(m.wparam) + m.lparam;
            },
            1000);
    sender.join();
}

TEST(MessageQueue, CloseReleasesBlockedSendersAndRefusesMore) {
    platform::MessageQueue queue;
    std::thread sender([&] { EXPECT_EQ(queue.send(1, 0, 0), 0); });
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    queue.close();
    sender.join();
    EXPECT_FALSE(queue.post(1, 0, 0));
}

}  // namespace
