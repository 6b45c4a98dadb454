#include "player/packet_fifo.h"

extern "C" {
#include <libavutil/mem.h>
}

namespace player {

AVPacket* flushPacket() {
    // Never filled, never freed: only its address matters.
    static AVPacket* marker = av_packet_alloc();
    return marker;
}

PacketFifo::~PacketFifo() {
    std::lock_guard lock(mutex_);
    flushLocked();
}

int PacketFifo::put(AVPacket* pkt) {
    std::lock_guard lock(mutex_);
    if (aborted_.load()) {
        return -1;
    }
    auto* node = static_cast<PacketNode*>(av_malloc(sizeof(PacketNode)));
    if (!node) {
        return -1;
    }
    const bool is_flush = pkt == flushPacket();
    if (is_flush) {
        node->pkt = pkt;
        serial_.fetch_add(1, std::memory_order_release);
    } else {
        node->pkt = av_packet_alloc();
        if (!node->pkt) {
            av_free(node);
            return -1;
        }
        av_packet_move_ref(node->pkt, pkt);
    }
    node->next = nullptr;
    node->serial = serial_.load();
    if (last_) {
        last_->next = node;
    } else {
        first_ = node;
    }
    last_ = node;
    count_.fetch_add(1);
    const int payload = is_flush ? 0 : node->pkt->size;
    bytes_.fetch_add(payload + kNodeOverhead);
    duration_.fetch_add(is_flush ? 0 : node->pkt->duration);
    cond_.notify_one();
    return 0;
}

int PacketFifo::putEmpty(int stream_index) {
    AVPacket* pkt = av_packet_alloc();
    if (!pkt) {
        return -1;
    }
    pkt->stream_index = stream_index;
    const int ret = put(pkt);
    av_packet_free(&pkt);
    return ret;
}

void PacketFifo::flushLocked() {
    for (PacketNode* n = first_; n;) {
        PacketNode* next = n->next;
        if (n->pkt != flushPacket()) {
            av_packet_free(&n->pkt);
        }
        av_free(n);
        n = next;
    }
    first_ = last_ = nullptr;
    count_.store(0);
    bytes_.store(0);
    duration_.store(0);
}

void PacketFifo::flush() {
    std::lock_guard lock(mutex_);
    flushLocked();
}

void PacketFifo::abort() {
    std::lock_guard lock(mutex_);
    aborted_.store(true, std::memory_order_release);
    cond_.notify_all();
}

void PacketFifo::start() {
    {
        std::lock_guard lock(mutex_);
        aborted_.store(false, std::memory_order_release);
    }
    put(flushPacket());
}

int PacketFifo::get(AVPacket* pkt, int* serial, bool* is_flush) {
    std::unique_lock lock(mutex_);
    for (;;) {
        if (aborted_.load()) {
            return -1;
        }
        if (PacketNode* n = first_) {
            first_ = n->next;
            if (!first_) {
                last_ = nullptr;
            }
            const bool flush = n->pkt == flushPacket();
            count_.fetch_sub(1);
            bytes_.fetch_sub((flush ? 0 : n->pkt->size) + kNodeOverhead);
            duration_.fetch_sub(flush ? 0 : n->pkt->duration);
            *serial = n->serial;
            *is_flush = flush;
            if (!flush) {
                av_packet_move_ref(pkt, n->pkt);
                av_packet_free(&n->pkt);
            }
            av_free(n);
            return 1;
        }
        cond_.wait(lock);
    }
}

}  // namespace player
