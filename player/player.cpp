#include "player/player.h"

#include <cstdio>
#include <cstdlib>

extern "C" {
#include <libavutil/time.h>
}

namespace player {

Player::Player(PlayerShared& shared, const PlayerOptions& options, AudioDevice* audio)
    : shared_(shared), base_options_(options), opt_(options), audio_(audio ? audio : &sdl_audio_) {}

Player::~Player() = default;

int player_main(PlayerShared& shared, std::uintptr_t host_window, const std::string& path, int start_second) {
    Player p(shared);
    return p.run(host_window, path, start_second);
}

int Player::run(std::uintptr_t host_window, const std::string& path, int start_second) {
    opt_ = base_options_;
    default_width_.store(opt_.default_width);
    default_height_.store(opt_.default_height);
    screen_width_.store(opt_.screen_width);
    screen_height_.store(opt_.screen_height);
    window_title_.clear();
    drawn_overlay_ = 0;
    last_av_sample_ = 0.0;
    shared_.command.store(static_cast<int>(PlayerCommand::Idle));
    shared_.seek_target.store(0);
    shared_.position.store(0.0);
    shared_.live_volume.store(128);
    shared_.resetCounters();
    if (start_second > 0) {
        shared_.seek_target.store(start_second);
        shared_.command.store(static_cast<int>(PlayerCommand::SeekRequested));
    }

    if (!opt_.audio_disable) {
        // Small ALSA buffers keep the audio clock close to what is heard.
        setenv("SDL_AUDIO_ALSA_SET_BUFFER_SIZE", "1", 0);
    }
    // The display is made while the reader opens the file and starts the decoders:
    // both take a good part of the time to the first picture.
    Uint32 flags = SDL_INIT_TIMER | SDL_INIT_EVENTS;
    if (!opt_.audio_disable) {
        flags |= SDL_INIT_AUDIO;
    }
    if (!opt_.display_disable) {
        flags |= SDL_INIT_VIDEO;
        // SDL's hints and subsystems are not guarded: they are all set before the
        // reader thread starts; only the window and renderer are made beside it, and
        // the reader starts its decoders without reading hints (decoderStart).
        // A software renderer draws into the window's own frame buffer; without the
        // first hint SDL opens a hidden OpenGL window to decide, which costs more
        // than a picture.
        SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
        SDL_SetHint(SDL_HINT_RENDER_SCALE_QUALITY, "linear");
    }
    if (SDL_Init(flags)) {
        std::printf("Could not initialize SDL:%s.\n", SDL_GetError());
        return -1;
    }
    SDL_EventState(SDL_SYSWMEVENT, SDL_IGNORE);
    SDL_EventState(SDL_USEREVENT, SDL_IGNORE);
    {
        std::lock_guard lock(audio_start_mutex_);
        display_made_ = false;
        audio_waiting_ = false;
    }
    shared_.running.store(true);

    VideoState* is = streamOpen(path);
    if (!is) {
        av_log(nullptr, AV_LOG_FATAL, "Failed to initialize VideoState!\n");
        SDL_Quit();
        shared_.running.store(false);
        return -1;
    }
    if (!opt_.display_disable && !openDisplay(host_window)) {
        std::printf("Failed to create window or renderer: %s.\n", SDL_GetError());
    }
    startAudio(true);
    is_ = is;
    eventLoop(is);

    streamClose(is);
    is_ = nullptr;
    closeDisplay();
    avformat_network_deinit();
    if (opt_.show_status) {
        std::printf("\n");
        std::fflush(stdout);
    }
    SDL_Quit();
    shared_.running.store(false);
    return 0;
}

bool Player::openDisplay(std::uintptr_t host_window) {
    if (host_window) {
        window_ = SDL_CreateWindowFrom(reinterpret_cast<void*>(host_window));
        own_window_ = false;
    } else {
        window_ = SDL_CreateWindow("", opt_.window_left, opt_.window_top, opt_.default_width,
                                   opt_.default_height, SDL_WINDOW_HIDDEN | SDL_WINDOW_RESIZABLE);
        own_window_ = true;
    }
    if (!window_) {
        return false;
    }
    renderer_ = SDL_CreateRenderer(window_, -1, SDL_RENDERER_ACCELERATED | SDL_RENDERER_PRESENTVSYNC);
    if (!renderer_) {
        av_log(nullptr, AV_LOG_WARNING, "Failed to initialize a hardware accelerated renderer: %s\n",
               SDL_GetError());
        renderer_ = SDL_CreateRenderer(window_, -1, 0);
    }
    if (renderer_ && !SDL_GetRendererInfo(renderer_, &renderer_info_)) {
        av_log(nullptr, AV_LOG_VERBOSE, "Initialized %s renderer.\n", renderer_info_.name);
    }
    return renderer_ && renderer_info_.num_texture_formats;
}

void Player::startAudio(bool display_made) {
    std::lock_guard lock(audio_start_mutex_);
    (display_made ? display_made_ : audio_waiting_) = true;
    if (display_made)
        display_made_changed_.notify_all();
    if (display_made_ && audio_waiting_) {
        audio_waiting_ = false;
        audio_->pause(false);
    }
}

void Player::waitForDisplay() {
    std::unique_lock lock(audio_start_mutex_);
    display_made_changed_.wait(lock, [this] { return display_made_; });
}

void Player::closeDisplay() {
    if (renderer_) {
        SDL_DestroyRenderer(renderer_);
        renderer_ = nullptr;
    }
    if (window_) {
        SDL_DestroyWindow(window_);
        window_ = nullptr;
    }
}

VideoState* Player::streamOpen(const std::string& filename) {
    auto* is = new (std::nothrow) VideoState;
    if (!is) {
        return nullptr;
    }
    is->owner = this;
    is->filename = filename;
    if (!is->pictq.create(&is->videoq, kPictureRingSize, true) ||
        !is->subpq.create(&is->subtitleq, kSubtitleRingSize, false) ||
        !is->sampq.create(&is->audioq, kSampleRingSize, true)) {
        delete is;
        return nullptr;
    }
    is->vidclk.init(&is->videoq.serialRef());
    is->audclk.init(&is->audioq.serialRef());
    is->extclk.init(nullptr);
    is->audio_clock_serial = -1;

    int volume = opt_.startup_volume;
    if (volume < 0) {
        av_log(nullptr, AV_LOG_WARNING, "-volume=%d < 0, setting to 0\n", volume);
    }
    if (volume > 100) {
        av_log(nullptr, AV_LOG_WARNING, "-volume=%d > 100, setting to 100\n", volume);
    }
    volume = av_clip(volume, 0, 100);
    is->audio_volume = av_clip(SDL_MIX_MAXVOLUME * volume / 100, 0, SDL_MIX_MAXVOLUME);
    is->show_mode.store(opt_.show_mode);

    // The start second is handed to the reader before it reads: the command loop first
    // runs once the display is made, and no picture may come from before the start.
    if (shared_.current() == PlayerCommand::SeekRequested) {
        takeSeekCommand(is);
    }
    is->read_tid = SDL_CreateThread(readThreadEntry, "read_thread", is);
    if (!is->read_tid) {
        av_log(nullptr, AV_LOG_FATAL, "SDL_CreateThread(): %s\n", SDL_GetError());
        delete is;
        return nullptr;
    }
    return is;
}

void Player::streamClose(VideoState* is) {
    is->abort_request.store(true);
    is->continue_read.signal();
    SDL_WaitThread(is->read_tid, nullptr);

    if (is->audio_stream >= 0) {
        streamComponentClose(is, is->audio_stream);
    }
    if (is->video_stream >= 0) {
        streamComponentClose(is, is->video_stream);
    }
    if (is->subtitle_stream >= 0) {
        streamComponentClose(is, is->subtitle_stream);
    }
    avformat_close_input(&is->ic);

    sws_freeContext(is->img_convert_ctx);
    sws_freeContext(is->sub_convert_ctx);
    if (is->vis_texture) {
        SDL_DestroyTexture(is->vis_texture);
    }
    if (is->sub_texture) {
        SDL_DestroyTexture(is->sub_texture);
    }
    if (is->vid_texture) {
        SDL_DestroyTexture(is->vid_texture);
    }
    av_channel_layout_uninit(&is->audio_src.ch_layout);
    av_channel_layout_uninit(&is->audio_tgt.ch_layout);
    delete is;
}

SyncMaster Player::masterSyncType(const VideoState* is) const {
    return chooseSyncMaster(opt_.sync_preference, is->video_stream >= 0, is->audio_stream >= 0);
}

double Player::masterClock(VideoState* is) const {
    switch (masterSyncType(is)) {
        case SyncMaster::Video:
            return is->vidclk.get();
        case SyncMaster::Audio:
            return is->audclk.get();
        default:
            return is->extclk.get();
    }
}

void Player::togglePause(VideoState* is) {
    const bool paused = is->paused.load();
    if (paused) {
        is->frame_timer += wallSeconds() - is->vidclk.lastUpdated();
        if (is->read_pause_return != AVERROR(ENOSYS)) {
            is->vidclk.setPaused(false);
        }
        is->vidclk.set(is->vidclk.get(), is->vidclk.serial());
    }
    is->extclk.set(is->extclk.get(), is->extclk.serial());
    is->paused.store(!paused);
    is->audclk.setPaused(!paused);
    is->vidclk.setPaused(!paused);
    is->extclk.setPaused(!paused);
}

void Player::publishPosition(VideoState* is) {
    const double v = is->vidclk.pts();
    if (!std::isnan(v)) {
        shared_.position.store(v);
        return;
    }
    const double a = is->audclk.pts();
    if (!std::isnan(a)) {
        shared_.position.store(a);
    }
}

void Player::takeSeekCommand(VideoState* is) {
    // Acknowledge first, then read the target: a host that writes a new target and
    // command meanwhile gets a second seek instead of a lost one.
    int expected = static_cast<int>(PlayerCommand::SeekRequested);
    shared_.command.compare_exchange_strong(expected, static_cast<int>(PlayerCommand::Playing));
    const int target = shared_.seek_target.load();
    {
        std::lock_guard lock(is->seek_mutex);
        is->seek_pos = static_cast<std::int64_t>(target) * 1000000;
        is->seek_rel = is->seek_pos;
        is->seek_flags &= ~AVSEEK_FLAG_BYTE;
        is->seek_req = true;
    }
    is->continue_read.signal();
}

void Player::eventLoop(VideoState* is) {
    double remaining_time = 0.0;
    for (;;) {
        publishPosition(is);
        if (remaining_time > 0.0) {
            av_usleep(static_cast<unsigned>(remaining_time * 1000000.0));
        }
        remaining_time = kRefreshRate;
        if (is->step_request.exchange(false) && is->paused.load()) {
            // A seek while paused shows one picture at the new place, then pauses again.
            togglePause(is);
            is->step = true;
        }
        serviceHostRequests(is);
        videoRefresh(is, &remaining_time);

        SDL_Event event;
        SDL_PumpEvents();
        if (SDL_PeepEvents(&event, 1, SDL_GETEVENT, SDL_FIRSTEVENT, SDL_LASTEVENT) > 0 &&
            event.type == SDL_WINDOWEVENT) {
            if (event.window.event == SDL_WINDOWEVENT_EXPOSED) {
                is->force_refresh.store(true);
            } else if (event.window.event == SDL_WINDOWEVENT_RESIZED) {
                screen_width_.store(is->width = event.window.data1);
                screen_height_.store(is->height = event.window.data2);
                if (is->vis_texture) {
                    SDL_DestroyTexture(is->vis_texture);
                    is->vis_texture = nullptr;
                }
                is->force_refresh.store(true);
            }
        }

        switch (static_cast<PlayerCommand>(shared_.command.load())) {
            case PlayerCommand::QuitRequested:
                return;
            case PlayerCommand::PauseRequested:
                togglePause(is);
                is->step = false;
                shared_.command.store(static_cast<int>(PlayerCommand::Paused));
                break;
            case PlayerCommand::ResumeRequested:
                togglePause(is);
                is->step = false;
                shared_.command.store(static_cast<int>(PlayerCommand::Playing));
                break;
            case PlayerCommand::SeekRequested:
                takeSeekCommand(is);
                break;
            default:
                break;
        }
    }
}

}  // namespace player
