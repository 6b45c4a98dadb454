#include "player/frame_ring.h"

#include <algorithm>

namespace player {

bool FrameRing::create(PacketFifo* fifo, int capacity, bool keep_last) {
    fifo_ = fifo;
    capacity_ = std::clamp(capacity, 1, kMaxSlots);
    keep_last_ = keep_last;
    for (int i = 0; i < capacity_; ++i) {
        slots_[i].frame = av_frame_alloc();
        if (!slots_[i].frame) {
            return false;
        }
    }
    return true;
}

FrameRing::~FrameRing() {
    for (int i = 0; i < capacity_; ++i) {
        unrefSlot(&slots_[i]);
        av_frame_free(&slots_[i].frame);
    }
}

void FrameRing::unrefSlot(RingSlot* s) {
    if (s->frame) {
        av_frame_unref(s->frame);
    }
    avsubtitle_free(&s->sub);
}

RingSlot* FrameRing::peekWritable() {
    {
        std::unique_lock lock(mutex_);
        cond_.wait(lock, [&] { return size_.load() < capacity_ || fifo_->aborted(); });
    }
    if (fifo_->aborted()) {
        return nullptr;
    }
    return &slots_[windex_];
}

void FrameRing::push() {
    if (++windex_ == capacity_) {
        windex_ = 0;
    }
    std::lock_guard lock(mutex_);
    size_.fetch_add(1, std::memory_order_release);
    cond_.notify_one();
}

RingSlot* FrameRing::peekReadable() {
    {
        std::unique_lock lock(mutex_);
        cond_.wait(lock, [&] { return size_.load() - rindex_shown_ > 0 || fifo_->aborted(); });
    }
    if (fifo_->aborted()) {
        return nullptr;
    }
    return peek();
}

void FrameRing::next() {
    if (keep_last_ && !rindex_shown_) {
        rindex_shown_ = 1;
        return;
    }
    unrefSlot(&slots_[rindex_]);
    if (++rindex_ == capacity_) {
        rindex_ = 0;
    }
    std::lock_guard lock(mutex_);
    size_.fetch_sub(1, std::memory_order_release);
    cond_.notify_one();
}

void FrameRing::signal() {
    std::lock_guard lock(mutex_);
    cond_.notify_all();
}

}  // namespace player
