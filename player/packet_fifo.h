#pragma once
// Packet queue between the reader and one decoder. Every packet carries the
// queue's serial at the time it was queued; queuing the flush marker starts a new
// serial, which is how stale packets are recognised after a seek.

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>

extern "C" {
#include <libavcodec/packet.h>
}

namespace player {

// The flush marker: recognised by its address, its content is never read.
AVPacket* flushPacket();

struct PacketNode {
    AVPacket* pkt;  // owned, or flushPacket()
    PacketNode* next;
    int serial;
};

class PacketFifo {
public:
    // Bytes counted per queued packet on top of its payload.
    static constexpr int kNodeOverhead = static_cast<int>(sizeof(PacketNode) + sizeof(AVPacket));

    // Created aborted; start() opens it.
    PacketFifo() = default;
    ~PacketFifo();
    PacketFifo(const PacketFifo&) = delete;
    PacketFifo& operator=(const PacketFifo&) = delete;

    // Takes the packet's payload (the packet is left blank). Returns 0, or -1 when the
    // queue is aborted or out of memory; then the caller still owns the packet.
    int put(AVPacket* pkt);
    // Queues an empty packet for the stream: the end-of-stream marker.
    int putEmpty(int stream_index);
    void flush();
    void abort();
    void start();
    // Blocks until a packet is there. Returns 1 with the packet moved into `pkt` (or
    // *is_flush set, `pkt` untouched) and its serial; -1 when aborted.
    int get(AVPacket* pkt, int* serial, bool* is_flush);

    int serial() const { return serial_.load(std::memory_order_acquire); }
    const std::atomic<int>& serialRef() const { return serial_; }
    bool aborted() const { return aborted_.load(std::memory_order_acquire); }
    int packets() const { return count_.load(std::memory_order_relaxed); }
    int bytes() const { return bytes_.load(std::memory_order_relaxed); }
    std::int64_t duration() const { return duration_.load(std::memory_order_relaxed); }

private:
    void flushLocked();

    PacketNode* first_ = nullptr;  // guarded by mutex_
    PacketNode* last_ = nullptr;   // guarded by mutex_
    // Written under mutex_, read without it by the reader and the display loop.
    std::atomic<int> count_{0};
    std::atomic<int> bytes_{0};
    std::atomic<std::int64_t> duration_{0};
    std::atomic<bool> aborted_{true};
    std::atomic<int> serial_{0};
    std::mutex mutex_;
    std::condition_variable cond_;
};

}  // namespace player
