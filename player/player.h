#pragma once
// The preview player core: opens one file, demultiplexes it on a reader thread,
// decodes on one thread per stream, plays audio through SDL and draws pictures with
// an SDL renderer into a host window (or a window of its own). It is driven only
// through PlayerShared.

#include <SDL.h>

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

#include "player/audio_device.h"
#include "player/player_options.h"
#include "player/player_shared.h"
#include "player/video_state.h"

namespace player {

// The core's own SDL event: the reader could not open the file (the command loop
// drops it, so the display stays black and the host stays in charge).
inline constexpr Uint32 kOpenFailedEvent = SDL_USEREVENT + 2;

class Player {
public:
    // `options` are the values every run starts from. `audio` is the playback device
    // to use (not owned); nullptr plays through SDL.
    explicit Player(PlayerShared& shared, const PlayerOptions& options = PlayerOptions{},
                    AudioDevice* audio = nullptr);
    ~Player();
    Player(const Player&) = delete;
    Player& operator=(const Player&) = delete;

    // Plays `path` into the native window `host_window` (an X11 window id; 0 opens a
    // window of the core's own) until the host writes QuitRequested. A start second > 0
    // seeks there first. Returns 0 after a quit; -1 when SDL or the player state could
    // not be set up (the host's command words are then left alone).
    int run(std::uintptr_t host_window, const std::string& path, int start_second);

private:
    friend struct PlayerAccess;

    // Lifecycle and command loop (player.cpp).
    VideoState* streamOpen(const std::string& filename);
    void streamClose(VideoState* is);
    void eventLoop(VideoState* is);
    // Hands a written seek command to the reader and acknowledges it.
    void takeSeekCommand(VideoState* is);
    // The window and the renderer (SDL's video is up); false when one of them failed.
    bool openDisplay(std::uintptr_t host_window);
    void closeDisplay();
    // The audio device plays once it is open (the reader) and the display is made (the
    // player thread), whichever comes last: sound before the first picture can be drawn
    // would start the picture behind.
    void startAudio(bool display_made);
    // Blocks until the player thread has made (or failed to make) its display.
    void waitForDisplay();
    void togglePause(VideoState* is);
    void publishPosition(VideoState* is);
    SyncMaster masterSyncType(const VideoState* is) const;
    double masterClock(VideoState* is) const;

    // Reader and decoders (player_reader.cpp, player_decoders.cpp).
    static int readThreadEntry(void* arg);
    int readThread(VideoState* is);
    struct StreamChoice {
        int video = -1, audio = -1, subtitle = -1;
    };
    AVFormatContext* openInput(VideoState* is);
    StreamChoice chooseStreams(AVFormatContext* ic) const;
    bool openStreams(VideoState* is, const StreamChoice& choice);
    void followPause(VideoState* is);
    void applyPendingSeek(VideoState* is);
    void queueAttachedPicture(VideoState* is);
    bool queuesFull(const VideoState* is) const;
    bool playedToTheEnd(const VideoState* is) const;
    void markEndOfInput(VideoState* is);
    void routePacket(VideoState* is, AVPacket* pkt);
    int streamComponentOpen(VideoState* is, int stream_index);
    // An opened stream and where its kind keeps it: the stream, its decoder, packet
    // queue and published index.
    struct OpenedStream {
        AVStream* stream;
        int index;
        AVCodecContext* codec;
    };
    struct StreamSlots {
        AVStream** stream;
        StreamDecoder* decoder;
        PacketFifo* queue;
        std::atomic<int>* index;
    };
    // Gives the stream its decoder (from the stream's start time when asked), publishes
    // its index and starts the decoder thread; negative when the thread cannot start.
    int startStream(VideoState* is, const OpenedStream& opened, const StreamSlots& slots, int (*entry)(void*),
                    const char* thread_name, bool from_stream_start);
    void streamComponentClose(VideoState* is, int stream_index);
    bool streamHasEnoughPackets(const AVStream* st, int stream_id, const PacketFifo& q) const;
    void decoderInit(StreamDecoder* d, AVCodecContext* avctx, PacketFifo* queue, ContinueReading* cond);
    int decoderStart(StreamDecoder* d, int (*fn)(void*), const char* name, void* arg);
    void decoderAbort(StreamDecoder* d, FrameRing* fq);
    void decoderDestroy(StreamDecoder* d);
    int decodeFrame(StreamDecoder* d, AVFrame* frame, AVSubtitle* sub);
    int getVideoFrame(VideoState* is, AVFrame* frame);
    int queuePicture(VideoState* is, AVFrame* src, double pts, double duration, std::int64_t pos, int serial);
    static int videoThreadEntry(void* arg);
    static int audioThreadEntry(void* arg);
    static int subtitleThreadEntry(void* arg);
    int videoThread(VideoState* is);
    int audioThread(VideoState* is);
    int subtitleThread(VideoState* is);

    // Audio output (audio_output.cpp).
    int audioOpen(VideoState* is, const AVChannelLayout* wanted_layout, int wanted_sample_rate,
                  AudioParams* tgt);
    static void sdlAudioCallback(void* opaque, Uint8* stream, int len);
    void audioCallback(VideoState* is, Uint8* stream, int len);
    int audioDecodeFrame(VideoState* is);
    int synchronizeAudio(VideoState* is, int nb_samples);
    void updateSampleDisplay(VideoState* is, const std::int16_t* samples, int samples_size);
    void drawVisualisation(VideoState* is);
    int visualisationStart(VideoState* is, int nb_display_channels, int nb_freq);
    void drawWaves(VideoState* is, int i_start, int nb_display_channels);
    void drawSpectrum(VideoState* is, int i_start, int nb_display_channels, int rdft_bits,
                      std::unique_lock<std::mutex>& lock);

    // Video output (video_output.cpp).
    void videoRefresh(VideoState* is, double* remaining_time);
    void refreshVisualisation(VideoState* is, double* remaining_time);
    bool advancePicture(VideoState* is, double* remaining_time);
    void retireSubtitles(VideoState* is);
    void videoDisplay(VideoState* is);
    void videoImageDisplay(VideoState* is);
    bool uploadTexture(VideoState* is, SDL_Texture** tex, AVFrame* frame);
    bool reallocTexture(SDL_Texture** texture, Uint32 new_format, int new_width, int new_height,
                        SDL_BlendMode blendmode, bool init_texture);
    void setDefaultWindowSize(int width, int height, AVRational sar);
    void checkExternalClockSpeed(VideoState* is);
    void openWindow(VideoState* is);
    void followHostWindowSize(VideoState* is);
    void noteAvDiff(VideoState* is);
    // The host's overlay and refresh requests (host_overlay.cpp).
    void serviceHostRequests(VideoState* is);
    void drawOverlay();

    PlayerShared& shared_;
    const PlayerOptions base_options_;
    PlayerOptions opt_;  // reset from base_options_ at every run
    // Written by the video decoder and the reader, read by the display.
    std::atomic<int> default_width_{640};
    std::atomic<int> default_height_{480};
    // Set from window resize events on the player thread, read by the decoders.
    std::atomic<int> screen_width_{0};
    std::atomic<int> screen_height_{0};
    std::string window_title_;
    SDL_Window* window_ = nullptr;
    bool own_window_ = false;
    double last_host_size_check_ = 0.0;  // player thread
    std::uint64_t drawn_overlay_ = 0;    // player thread
    double last_av_sample_ = 0.0;        // player thread
    SDL_Renderer* renderer_ = nullptr;
    SDL_RendererInfo renderer_info_{};
    SdlAudioDevice sdl_audio_;
    AudioDevice* audio_;
    // Time of the current audio callback in microseconds (written by the callback).
    std::atomic<std::int64_t> audio_callback_time_{0};
    VideoState* is_ = nullptr;
    std::mutex audio_start_mutex_;
    bool display_made_ = false;   // guarded by audio_start_mutex_
    bool audio_waiting_ = false;  // guarded by audio_start_mutex_
    std::condition_variable display_made_changed_;
};

// Runs a player core with default options (the clip dialog's entry point).
int player_main(PlayerShared& shared, std::uintptr_t host_window, const std::string& path, int start_second);

}  // namespace player
