#pragma once
// Everything the player core keeps for one opened file. Fields touched by more than
// one thread are atomics or say which mutex guards them; the rest belong to the
// thread named beside them.

#include <SDL.h>

#include <array>
#include <atomic>
#include <cmath>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavcodec/avfft.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libswresample/swresample.h>
#include <libswscale/swscale.h>
}

#include "player/frame_ring.h"
#include "player/media_clock.h"
#include "player/packet_fifo.h"
#include "player/player_options.h"
#include "player/player_rules.h"

namespace player {

class Player;

// Signalled by decoders when their queue runs dry and by seeks; the reader waits on
// it (up to 10 ms) with its own mutex.
struct ContinueReading {
    std::mutex mutex;
    std::condition_variable cond;
    void signal() { cond.notify_one(); }
};

struct StreamDecoder {
    AVPacket* pkt = nullptr;  // pending packet, decoder thread only
    AVCodecContext* avctx = nullptr;
    PacketFifo* queue = nullptr;
    ContinueReading* empty_queue_cond = nullptr;
    bool packet_pending = false;
    std::atomic<int> finished{0};  // serial at which the decoder hit end of stream
    int pkt_serial = -1;           // decoder thread only
    std::int64_t start_pts = AV_NOPTS_VALUE;
    AVRational start_pts_tb{0, 1};
    std::int64_t next_pts = AV_NOPTS_VALUE;
    AVRational next_pts_tb{0, 1};
    SDL_Thread* thread = nullptr;
};

struct AudioParams {
    int freq = 0;
    AVChannelLayout ch_layout{};
    AVSampleFormat fmt = AV_SAMPLE_FMT_NONE;
    int frame_size = 0;
    int bytes_per_sec = 0;
};

struct VideoState {
    Player* owner = nullptr;
    SDL_Thread* read_tid = nullptr;
    std::atomic<bool> abort_request{false};
    std::atomic<bool> force_refresh{false};
    std::atomic<bool> paused{false};
    bool last_paused = false;  // reader thread
    std::atomic<bool> queue_attachments_req{false};

    // Seek request, guarded by seek_mutex: the command loop writes it, the reader takes it.
    std::mutex seek_mutex;
    bool seek_req = false;
    int seek_flags = 0;
    std::int64_t seek_pos = 0;
    std::int64_t seek_rel = 0;
    // Set by the reader after a seek while paused; the player thread then steps.
    std::atomic<bool> step_request{false};

    std::atomic<int> read_pause_return{0};  // written by the reader, read by the player thread
    AVFormatContext* ic = nullptr;
    std::atomic<bool> realtime{false};

    MediaClock audclk;
    MediaClock vidclk;
    MediaClock extclk;

    FrameRing pictq;
    FrameRing subpq;
    FrameRing sampq;

    StreamDecoder auddec;
    StreamDecoder viddec;
    StreamDecoder subdec;

    std::atomic<int> audio_stream{-1};
    std::atomic<int> video_stream{-1};
    std::atomic<int> subtitle_stream{-1};
    AVStream* audio_st = nullptr;  // set before the stream index is published
    AVStream* video_st = nullptr;
    AVStream* subtitle_st = nullptr;

    PacketFifo audioq;
    PacketFifo videoq;
    PacketFifo subtitleq;

    std::atomic<bool> eof{false};
    std::atomic<double> max_frame_duration{3600.0};
    std::string filename;
    bool step = false;  // player thread
    ContinueReading continue_read;

    // Audio output (audio callback thread unless said otherwise).
    double audio_clock = NAN;
    int audio_clock_serial = -1;
    AudioSyncAverager audio_sync;
    int audio_hw_buf_size = 0;
    std::uint8_t* audio_buf = nullptr;
    unsigned audio_buf_size = 0;
    int audio_buf_index = 0;
    std::atomic<int> audio_write_buf_size{0};  // read by the visualisation
    int audio_volume = 128;
    AudioParams audio_src;
    AudioParams audio_tgt;  // set before the device starts, then read-only
    SwrContext* swr_ctx = nullptr;
    std::uint8_t* audio_buf1 = nullptr;
    unsigned audio_buf1_size = 0;
    // Sample history for the visualisation, guarded by sample_mutex.
    std::mutex sample_mutex;
    std::array<std::int16_t, kSampleHistorySize> sample_array{};
    int sample_array_index = 0;
    int last_i_start = 0;  // player thread
    RDFTContext* rdft = nullptr;
    int rdft_bits = 0;
    float* rdft_data = nullptr;
    int xpos = 0;

    // Display (player thread).
    int width = 0;
    int height = 0;
    int xleft = 0;
    int ytop = 0;
    SDL_Texture* vis_texture = nullptr;
    SDL_Texture* sub_texture = nullptr;
    SDL_Texture* vid_texture = nullptr;
    SwsContext* img_convert_ctx = nullptr;
    SwsContext* sub_convert_ctx = nullptr;
    double frame_timer = 0.0;
    double last_vis_time = 0.0;
    std::atomic<DisplayMode> show_mode{DisplayMode::None};
};

}  // namespace player
