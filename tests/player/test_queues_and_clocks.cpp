// Packet queues, frame rings and clocks: the serial rules that drop stale data
// after a seek, the abort rules that end every wait, and the clock arithmetic.
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <future>
#include <thread>

#include "player/frame_ring.h"
#include "player/media_clock.h"
#include "player/packet_fifo.h"
#include "player/player_rules.h"

using namespace player;
using namespace std::chrono_literals;

namespace {

AVPacket* packetOf(int size, std::int64_t duration) {
    AVPacket* p = av_packet_alloc();
    EXPECT_EQ(av_new_packet(p, size), 0);
    p->duration = duration;
    return p;
}

int putData(PacketFifo& q, int size, std::int64_t duration = 0) {
    AVPacket* p = packetOf(size, duration);
    const int r = q.put(p);
    av_packet_free(&p);
    return r;
}

}  // namespace

TEST(PacketFifo, FlushPacketStartsNewSerialAndStampsFollowingPackets) {
    PacketFifo q;
    q.start();
    EXPECT_EQ(q.serial(), 1);
    ASSERT_EQ(putData(q, 100, 10), 0);
    ASSERT_EQ(q.put(flushPacket()), 0);
    EXPECT_EQ(q.serial(), 2);
    ASSERT_EQ(putData(q, 50, 5), 0);

    AVPacket* pkt = av_packet_alloc();
    int serial = 0;
    bool is_flush = false;
    ASSERT_EQ(q.get(pkt, &serial, &is_flush), 1);  // start()'s own flush marker
    EXPECT_TRUE(is_flush);
    EXPECT_EQ(serial, 1);
    ASSERT_EQ(q.get(pkt, &serial, &is_flush), 1);
    EXPECT_FALSE(is_flush);
    EXPECT_EQ(pkt->size, 100);
    EXPECT_EQ(serial, 1);
    av_packet_unref(pkt);
    ASSERT_EQ(q.get(pkt, &serial, &is_flush), 1);
    EXPECT_TRUE(is_flush);
    EXPECT_EQ(serial, 2);
    ASSERT_EQ(q.get(pkt, &serial, &is_flush), 1);
    EXPECT_EQ(pkt->size, 50);
    EXPECT_EQ(serial, 2);
    av_packet_free(&pkt);
}

TEST(PacketFifo, CountsPayloadWithNodeOverheadAndDurationAndFlushKeepsSerial) {
    PacketFifo q;
    q.start();
    const int base = q.bytes();  // the start marker's node
    EXPECT_EQ(base, PacketFifo::kNodeOverhead);
    putData(q, 1000, 40);
    putData(q, 24, 2);
    EXPECT_EQ(q.packets(), 3);
    EXPECT_EQ(q.bytes(), base + 1024 + 2 * PacketFifo::kNodeOverhead);
    EXPECT_EQ(q.duration(), 42);
    q.flush();
    EXPECT_EQ(q.packets(), 0);
    EXPECT_EQ(q.bytes(), 0);
    EXPECT_EQ(q.duration(), 0);
    EXPECT_EQ(q.serial(), 1);
    ASSERT_EQ(q.putEmpty(3), 0);
    AVPacket* pkt = av_packet_alloc();
    int serial = 0;
    bool is_flush = true;
    ASSERT_EQ(q.get(pkt, &serial, &is_flush), 1);
    EXPECT_FALSE(is_flush);
    EXPECT_EQ(pkt->size, 0);
    EXPECT_EQ(pkt->data, nullptr);
    EXPECT_EQ(pkt->stream_index, 3);
    av_packet_free(&pkt);
}

TEST(PacketFifo, AbortFailsPutsAndReleasesBlockedGet) {
    PacketFifo q;
    EXPECT_EQ(putData(q, 10), -1);  // created aborted
    q.start();
    AVPacket* pkt = av_packet_alloc();
    int serial;
    bool is_flush;
    ASSERT_EQ(q.get(pkt, &serial, &is_flush), 1);  // the start marker
    auto blocked = std::async(std::launch::async, [&] { return q.get(pkt, &serial, &is_flush); });
    EXPECT_EQ(blocked.wait_for(50ms), std::future_status::timeout);
    q.abort();
    ASSERT_EQ(blocked.wait_for(2s), std::future_status::ready);
    EXPECT_EQ(blocked.get(), -1);
    EXPECT_EQ(putData(q, 10), -1);
    EXPECT_EQ(q.put(flushPacket()), -1);
    av_packet_free(&pkt);
}

TEST(FrameRing, WaitsEndWhenTheQueueIsAborted) {
    PacketFifo q;
    q.start();
    FrameRing ring;
    ASSERT_TRUE(ring.create(&q, 2, false));
    auto reader = std::async(std::launch::async, [&] { return ring.peekReadable(); });
    EXPECT_EQ(reader.wait_for(50ms), std::future_status::timeout);
    ring.peekWritable();
    ring.push();
    ring.peekWritable();
    ring.push();
    ASSERT_EQ(reader.wait_for(2s), std::future_status::ready);
    EXPECT_NE(reader.get(), nullptr);
    auto writer = std::async(std::launch::async, [&] { return ring.peekWritable(); });  // ring is full
    EXPECT_EQ(writer.wait_for(50ms), std::future_status::timeout);
    q.abort();
    ring.signal();
    ASSERT_EQ(writer.wait_for(2s), std::future_status::ready);
    EXPECT_EQ(writer.get(), nullptr);
    EXPECT_EQ(ring.peekReadable(), nullptr);
}

TEST(FrameRing, KeepLastRingMarksTheFirstFrameShownBeforeReleasingIt) {
    PacketFifo q;
    q.start();
    FrameRing ring;
    ASSERT_TRUE(ring.create(&q, 3, true));
    RingSlot* s = ring.peekWritable();
    s->pts = 1.5;
    av_frame_get_buffer(
        [&] {
            s->frame->format = AV_SAMPLE_FMT_S16;
            s->frame->nb_samples = 16;
            av_channel_layout_default(&s->frame->ch_layout, 1);
            return s->frame;
        }(),
        0);
    ring.push();
    EXPECT_EQ(ring.remaining(), 1);
    EXPECT_FALSE(ring.lastShown());
    ring.next();
    EXPECT_TRUE(ring.lastShown());
    EXPECT_EQ(ring.remaining(), 0);
    EXPECT_EQ(ring.peekLast()->pts, 1.5);
    EXPECT_EQ(ring.peekLast(), s);
    EXPECT_NE(s->frame->data[0], nullptr);  // still readable as the last shown
    ring.next();
    EXPECT_EQ(s->frame->data[0], nullptr);  // released
    // The released slot is writable again: three pushes fit without waiting.
    for (int i = 0; i < 3; ++i) {
        ASSERT_NE(ring.peekWritable(), nullptr);
        ring.push();
    }
    EXPECT_EQ(ring.remaining(), 2);  // one of the three stands in for the last shown
}

TEST(FrameRing, CapacityIsBoundedBySixteenSlots) {
    PacketFifo q;
    q.start();
    FrameRing ring;
    ASSERT_TRUE(ring.create(&q, 40, false));
    for (int i = 0; i < FrameRing::kMaxSlots; ++i) {
        ASSERT_NE(ring.peekWritable(), nullptr);
        ring.push();
    }
    auto writer = std::async(std::launch::async, [&] { return ring.peekWritable(); });
    EXPECT_EQ(writer.wait_for(50ms), std::future_status::timeout);
    q.abort();
    ring.signal();
    EXPECT_EQ(writer.get(), nullptr);
}

TEST(MediaClock, ReadsNaNWhenItsQueueHasMovedOn) {
    std::atomic<int> queue_serial{1};
    MediaClock c;
    c.init(&queue_serial);
    EXPECT_TRUE(std::isnan(c.get()));
    c.setAt(5.0, 1, 100.0);
    EXPECT_DOUBLE_EQ(c.getAt(100.5), 5.5);
    queue_serial = 2;
    EXPECT_TRUE(std::isnan(c.getAt(100.5)));
    EXPECT_EQ(c.pts(), 5.0);
}

TEST(MediaClock, PausedHoldsAndSpeedScalesTheAdvance) {
    MediaClock c;
    c.init(nullptr);
    c.setAt(10.0, 0, 50.0);
    EXPECT_DOUBLE_EQ(c.getAt(51.0), 11.0);
    c.setPaused(true);
    EXPECT_DOUBLE_EQ(c.getAt(51.0), 10.0);
    EXPECT_DOUBLE_EQ(c.getAt(5000.0), 10.0);
    c.setPaused(false);

    c.setSpeed(0.9);  // re-anchors at the current value and wall time
    const double anchor_time = c.lastUpdated();
    const double anchor = c.getAt(anchor_time);
    EXPECT_NEAR(c.getAt(anchor_time + 1.0) - anchor, 0.9, 1e-9);
    EXPECT_NEAR(c.getAt(anchor_time + 10.0) - anchor, 9.0, 1e-9);
}

TEST(MediaClock, SyncToSlaveCopiesOnlyBeyondTenSeconds) {
    MediaClock master, slave;
    master.init(nullptr);
    slave.init(nullptr);
    master.set(3.0, 0);
    master.syncToSlave(slave);  // slave NaN: nothing happens
    EXPECT_EQ(master.pts(), 3.0);

    slave.set(13.0, 0);
    master.set(3.0, 0);
    master.setPaused(true);
    slave.setPaused(true);
    master.syncToSlave(slave);  // exactly 10.0 apart: kept
    EXPECT_EQ(master.pts(), 3.0);
    slave.set(13.5, 7);
    master.syncToSlave(slave);
    EXPECT_EQ(master.pts(), 13.5);
    EXPECT_EQ(master.serial(), 7);

    MediaClock unset;
    unset.init(nullptr);
    unset.syncToSlave(slave);  // an unset clock takes the slave at any distance
    EXPECT_EQ(unset.pts(), 13.5);
}

TEST(SyncMasterChoice, FallsBackWhenThePreferredStreamIsMissing) {
    EXPECT_EQ(chooseSyncMaster(SyncMaster::Audio, true, true), SyncMaster::Audio);
    EXPECT_EQ(chooseSyncMaster(SyncMaster::Audio, true, false), SyncMaster::External);
    EXPECT_EQ(chooseSyncMaster(SyncMaster::Video, false, true), SyncMaster::Audio);
    EXPECT_EQ(chooseSyncMaster(SyncMaster::Video, true, false), SyncMaster::Video);
    EXPECT_EQ(chooseSyncMaster(SyncMaster::External, true, true), SyncMaster::External);
}
