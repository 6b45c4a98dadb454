#include "platform/message_target.h"

#include "platform/window_messages.h"

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

TEST(WindowMessages, PayloadsArriveAsPostedAndEachReceiverReadsItsOwnId) {
    platform::MessageQueue main_window, merge_dialog;
    char storage = 0;  // any address stands for a task here
    auto* task = reinterpret_cast<convert::ConvertTask*>(&storage);
    platform::postConvertProgress(main_window, task, 42);
    platform::postToMainWindow(main_window, platform::MainWindowId::WM_MERGE_FAILED);
    platform::postJoinProgress(merge_dialog, 57);
    platform::postToMergeDialog(merge_dialog, platform::MergeDialogId::WM_MERGE_JOIN_FAILED);

    std::vector<platform::Message> to_main, to_dialog;
    auto keep = [](std::vector<platform::Message>& into) {
        return [&into](const platform::Message& m) {
            into.push_back(m);
            return platform::LParam{0};
        };
    };
    main_window.dispatch(keep(to_main));
    merge_dialog.dispatch(keep(to_dialog));
    ASSERT_EQ(to_main.size(), 2u);
    ASSERT_EQ(to_dialog.size(), 2u);

    const platform::MainWindowMessage progress(to_main[0]);
    EXPECT_EQ(progress.id(), platform::MainWindowId::WM_CONVERT_PROGRESS);
    EXPECT_EQ(platform::taskOf(progress), task);
    EXPECT_EQ(platform::progressPercent(progress), 42);
    const platform::MergeDialogMessage join(to_dialog[0]);
    EXPECT_EQ(join.id(), platform::MergeDialogId::WM_MERGE_JOIN_PROGRESS);
    EXPECT_EQ(platform::progressPercent(join), 57);

    // The system's ids on the wire: one number, two meanings by receiver.
    EXPECT_EQ(to_main[1].id, 9031u);
    EXPECT_EQ(to_dialog[1].id, 9031u);
    EXPECT_EQ(platform::MainWindowMessage(to_main[1]).id(), platform::MainWindowId::WM_MERGE_FAILED);
    EXPECT_EQ(platform::taskOf(platform::MainWindowMessage(to_main[1])), nullptr);
    EXPECT_EQ(platform::MergeDialogMessage(to_dialog[1]).id(), platform::MergeDialogId::WM_MERGE_JOIN_FAILED);
}

}  // namespace
