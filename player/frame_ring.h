#pragma once
// Fixed ring of decoded frames between one decoder thread and its consumer (the
// display loop or the audio callback). Frames are allocated once per slot and
// reused; the queue's aborted flag ends every wait.

#include <atomic>
#include <cmath>
#include <condition_variable>
#include <cstdint>
#include <mutex>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/frame.h>
}

#include "player/packet_fifo.h"

namespace player {

struct RingSlot {
    AVFrame* frame = nullptr;
    AVSubtitle sub{};
    int serial = 0;
    double pts = NAN;  // seconds
    double duration = 0.0;
    std::int64_t pos = -1;
    int width = 0;
    int height = 0;
    int format = -1;
    AVRational sar{0, 1};
    bool uploaded = false;
    bool flip_v = false;
};

class FrameRing {
public:
    static constexpr int kMaxSlots = 16;

    // Returns false when a frame could not be allocated (the ring is then unusable).
    bool create(PacketFifo* fifo, int capacity, bool keep_last);
    ~FrameRing();

    // Writer side. peekWritable waits for room; nullptr once the queue is aborted.
    RingSlot* peekWritable();
    void push();

    // Reader side. peekReadable waits for a frame; nullptr once the queue is aborted.
    RingSlot* peekReadable();
    RingSlot* peek() { return &slots_[(rindex_ + rindex_shown_) % capacity_]; }
    RingSlot* peekNext() { return &slots_[(rindex_ + rindex_shown_ + 1) % capacity_]; }
    RingSlot* peekLast() { return &slots_[rindex_]; }
    void next();
    // Frames written and not yet shown.
    int remaining() const { return size_.load(std::memory_order_acquire) - rindex_shown_; }
    bool lastShown() const { return rindex_shown_ != 0; }

    // Wakes the waiters (used after aborting the queue).
    void signal();
    std::mutex& mutex() { return mutex_; }

private:
    static void unrefSlot(RingSlot* s);

    RingSlot slots_[kMaxSlots];
    int rindex_ = 0;  // reader thread only
    int windex_ = 0;  // writer thread only
    // Changed under mutex_; acquire/release hands the slot contents over.
    std::atomic<int> size_{0};
    int capacity_ = 0;
    bool keep_last_ = false;
    int rindex_shown_ = 0;  // reader thread only
    std::mutex mutex_;
    std::condition_variable cond_;
    PacketFifo* fifo_ = nullptr;
};

}  // namespace player
