// The reader thread: opens the input, picks the streams, opens their decoders and
// feeds the packet queues, handling seeks, full queues and the end of the file.
#include <climits>
#include <cstring>

#include "player/player.h"

extern "C" {
#include <libavutil/opt.h>
#include <libavutil/time.h>
}

namespace player {

namespace {

using StreamQueue = std::pair<int, PacketFifo*>;

int decodeInterruptCb(void* ctx) {
    return static_cast<VideoState*>(ctx)->abort_request.load() ? 1 : 0;
}

bool isRealtime(const AVFormatContext* s) {
    if (!std::strcmp(s->iformat->name, "rtp") || !std::strcmp(s->iformat->name, "rtsp") ||
        !std::strcmp(s->iformat->name, "sdp")) {
        return true;
    }
    return s->pb && s->url && (!std::strncmp(s->url, "rtp:", 4) || !std::strncmp(s->url, "udp:", 4));
}

void waitContinue(VideoState* is, std::mutex& wait_mutex) {
    std::unique_lock lock(wait_mutex);
    is->continue_read.cond.wait_for(lock, std::chrono::milliseconds(10));
}

}  // namespace

int Player::readThreadEntry(void* arg) {
    auto* is = static_cast<VideoState*>(arg);
    return is->owner->readThread(is);
}

bool Player::streamHasEnoughPackets(const AVStream* st, int stream_id, const PacketFifo& q) const {
    return stream_id < 0 || q.aborted() || (st->disposition & AV_DISPOSITION_ATTACHED_PIC) ||
           (q.packets() > kMinFrames && (!q.duration() || av_q2d(st->time_base) * q.duration() > 1.0));
}

// Opens the input and reads its stream parameters; null (logged) when that fails.
AVFormatContext* Player::openInput(VideoState* is) {
    AVFormatContext* ic = avformat_alloc_context();
    if (!ic) {
        av_log(nullptr, AV_LOG_FATAL, "Could not allocate context.\n");
        return nullptr;
    }
    ic->interrupt_callback.callback = decodeInterruptCb;
    ic->interrupt_callback.opaque = is;
    AVDictionary* format_opts = nullptr;
    av_dict_set(&format_opts, "scan_all_pmts", "1", AV_DICT_DONT_OVERWRITE);
    int err = avformat_open_input(&ic, is->filename.c_str(), nullptr, &format_opts);
    av_dict_set(&format_opts, "scan_all_pmts", nullptr, AV_DICT_MATCH_CASE);
    if (err < 0) {
        char buf[AV_ERROR_MAX_STRING_SIZE] = {};
        if (av_strerror(err, buf, sizeof(buf)) < 0) {
            std::strncpy(buf, std::strerror(AVUNERROR(err)), sizeof(buf) - 1);
        }
        av_log(nullptr, AV_LOG_ERROR, "%s: %s\n", is->filename.c_str(), buf);
        av_dict_free(&format_opts);
        return nullptr;  // avformat_open_input freed the context
    }
    const AVDictionaryEntry* unknown = av_dict_get(format_opts, "", nullptr, AV_DICT_IGNORE_SUFFIX);
    if (unknown) {
        av_log(nullptr, AV_LOG_ERROR, "Option %s not found.\n", unknown->key);
    }
    av_dict_free(&format_opts);
    if (unknown) {
        avformat_close_input(&ic);
        return nullptr;
    }
    if (opt_.generate_pts) {
        ic->flags |= AVFMT_FLAG_GENPTS;
    }
    av_format_inject_global_side_data(ic);
    if (opt_.find_stream_info && avformat_find_stream_info(ic, nullptr) < 0) {
        av_log(nullptr, AV_LOG_WARNING, "%s: could not find codec parameters\n", is->filename.c_str());
        avformat_close_input(&ic);
        return nullptr;
    }
    if (ic->pb) {
        ic->pb->eof_reached = 0;
    }
    is->max_frame_duration.store((ic->iformat->flags & AVFMT_TS_DISCONT) ? 10.0 : 3600.0);
    is->realtime.store(isRealtime(ic));
    if (opt_.show_status) {
        av_dump_format(ic, 0, is->filename.c_str(), 0);
    }
    return ic;
}

// The best video, audio and subtitle streams (each -1 when none or disabled); every
// other stream is discarded.
Player::StreamChoice Player::chooseStreams(AVFormatContext* ic) const {
    StreamChoice c;
    for (unsigned i = 0; i < ic->nb_streams; i++) {
        ic->streams[i]->discard = AVDISCARD_ALL;
    }
    if (!opt_.video_disable) {
        c.video = av_find_best_stream(ic, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
    }
    if (!opt_.audio_disable) {
        c.audio = av_find_best_stream(ic, AVMEDIA_TYPE_AUDIO, -1, c.video, nullptr, 0);
    }
    if (!opt_.video_disable && !opt_.subtitle_disable) {
        c.subtitle =
            av_find_best_stream(ic, AVMEDIA_TYPE_SUBTITLE, -1, c.audio >= 0 ? c.audio : c.video, nullptr, 0);
    }
    return c;
}

// Opens the decoders of the chosen streams; false when neither sound nor picture opened.
bool Player::openStreams(VideoState* is, const StreamChoice& choice) {
    AVFormatContext* ic = is->ic;
    // The file's title names the window when the host gave none.
    if (const AVDictionaryEntry* t = av_dict_get(ic->metadata, "title", nullptr, 0)) {
        if (window_title_.empty()) {
            char buf[1024];
            std::snprintf(buf, sizeof(buf), "%s - %s", t->value, is->filename.c_str());
            window_title_ = buf;
        }
    }
    if (choice.video >= 0) {
        AVStream* st = ic->streams[choice.video];
        AVRational sar = av_guess_sample_aspect_ratio(ic, st, nullptr);
        if (st->codecpar->width) {
            setDefaultWindowSize(st->codecpar->width, st->codecpar->height, sar);
        }
    }
    if (choice.audio >= 0) {
        streamComponentOpen(is, choice.audio);
    }
    int video_ret = -1;
    if (choice.video >= 0) {
        video_ret = streamComponentOpen(is, choice.video);
    }
    if (is->show_mode.load() == DisplayMode::None) {
        is->show_mode.store(video_ret >= 0 ? DisplayMode::Video : DisplayMode::Spectrum);
    }
    if (choice.subtitle >= 0) {
        streamComponentOpen(is, choice.subtitle);
    }
    if (is->video_stream < 0 && is->audio_stream < 0) {
        av_log(nullptr, AV_LOG_FATAL, "Failed to open file '%s' or configure filtergraph\n",
               is->filename.c_str());
        return false;
    }
    return true;
}

// Pauses or resumes a network input with the player.
void Player::followPause(VideoState* is) {
    const bool paused = is->paused.load();
    if (paused == is->last_paused) {
        return;
    }
    is->last_paused = paused;
    if (paused) {
        is->read_pause_return = av_read_pause(is->ic);
    } else {
        av_read_play(is->ic);
    }
}

// Carries out a pending seek: the queues restart behind a flush marker and the
// external clock jumps to the target.
void Player::applyPendingSeek(VideoState* is) {
    std::int64_t seek_target = 0, seek_rel = 0;
    int seek_flags = 0;
    {
        std::lock_guard lock(is->seek_mutex);
        if (!is->seek_req) {
            return;
        }
        seek_target = is->seek_pos;
        seek_rel = is->seek_rel;
        seek_flags = is->seek_flags;
        is->seek_req = false;
    }
    const std::int64_t seek_min = seek_rel > 0 ? seek_target - seek_rel + 2 : INT64_MIN;
    const std::int64_t seek_max = seek_rel < 0 ? seek_target - seek_rel - 2 : INT64_MAX;
    if (avformat_seek_file(is->ic, -1, seek_min, seek_target, seek_max, seek_flags) < 0) {
        av_log(nullptr, AV_LOG_ERROR, "%s: error while seeking\n", is->ic->url);
    } else {
        for (auto [stream, queue] : {StreamQueue{is->audio_stream.load(), &is->audioq},
                                     StreamQueue{is->subtitle_stream.load(), &is->subtitleq},
                                     StreamQueue{is->video_stream.load(), &is->videoq}}) {
            if (stream >= 0) {
                queue->flush();
                queue->put(flushPacket());
            }
        }
        is->extclk.set((seek_flags & AVSEEK_FLAG_BYTE) ? NAN : seek_target / 1000000.0, 0);
        shared_.seeks.fetch_add(1);
    }
    is->queue_attachments_req.store(true);
    is->eof.store(false);
    if (is->paused.load()) {
        is->step_request.store(true);
    }
}

// Queues the attached picture (cover art) again after an open or a seek.
void Player::queueAttachedPicture(VideoState* is) {
    if (!is->queue_attachments_req.exchange(false) || !is->video_st ||
        !(is->video_st->disposition & AV_DISPOSITION_ATTACHED_PIC)) {
        return;
    }
    AVPacket* copy = av_packet_alloc();
    if (copy && av_packet_ref(copy, &is->video_st->attached_pic) >= 0) {
        if (is->videoq.put(copy) < 0) {
            av_packet_unref(copy);
        }
        is->videoq.putEmpty(is->video_stream);
    }
    av_packet_free(&copy);
}

bool Player::queuesFull(const VideoState* is) const {
    return is->audioq.bytes() + is->videoq.bytes() + is->subtitleq.bytes() > kMaxQueueBytes ||
           (streamHasEnoughPackets(is->audio_st, is->audio_stream, is->audioq) &&
            streamHasEnoughPackets(is->video_st, is->video_stream, is->videoq) &&
            streamHasEnoughPackets(is->subtitle_st, is->subtitle_stream, is->subtitleq));
}

bool Player::playedToTheEnd(const VideoState* is) const {
    return !is->paused.load() &&
           (!is->audio_st ||
            (is->auddec.finished.load() == is->audioq.serial() && is->sampq.remaining() == 0)) &&
           (!is->video_st ||
            (is->viddec.finished.load() == is->videoq.serial() && is->pictq.remaining() == 0));
}

// The end of the input: every open stream's queue gets its end marker, once.
void Player::markEndOfInput(VideoState* is) {
    if (is->eof.load()) {
        return;
    }
    for (auto [stream, queue] : {StreamQueue{is->video_stream.load(), &is->videoq},
                                 StreamQueue{is->audio_stream.load(), &is->audioq},
                                 StreamQueue{is->subtitle_stream.load(), &is->subtitleq}}) {
        if (stream >= 0) {
            queue->putEmpty(stream);
            shared_.eof_markers.fetch_add(1);
        }
    }
    is->eof.store(true);
}

// Hands a packet to the queue of its stream; packets of other streams are dropped.
void Player::routePacket(VideoState* is, AVPacket* pkt) {
    PacketFifo* queue = nullptr;
    if (pkt->stream_index == is->audio_stream) {
        queue = &is->audioq;
    } else if (pkt->stream_index == is->video_stream &&
               !(is->video_st->disposition & AV_DISPOSITION_ATTACHED_PIC)) {
        queue = &is->videoq;
    } else if (pkt->stream_index == is->subtitle_stream) {
        queue = &is->subtitleq;
    }
    if (!queue || queue->put(pkt) < 0) {
        av_packet_unref(pkt);
    }
}

int Player::readThread(VideoState* is) {
    std::mutex& wait_mutex = is->continue_read.mutex;
    AVPacket* pkt = av_packet_alloc();
    if (!pkt) {
        av_log(nullptr, AV_LOG_FATAL, "Could not allocate packet.\n");
        return AVERROR(ENOMEM);
    }
    is->eof.store(false);
    AVFormatContext* ic = nullptr;

    auto finish = [&](bool failed) {
        if (ic && !is->ic) {
            avformat_close_input(&ic);
        }
        av_packet_free(&pkt);
        if (failed) {
            // The command loop drops this event: a failed open leaves a black display.
            SDL_Event event{};
            event.type = kOpenFailedEvent;
            event.user.data1 = is;
            SDL_PushEvent(&event);
        }
        return 0;
    };

    ic = openInput(is);
    if (!ic) {
        return finish(true);
    }
    const StreamChoice choice = chooseStreams(ic);
    is->ic = ic;
    if (!openStreams(is, choice)) {
        return finish(true);
    }
    const bool infinite_buffer =
        opt_.infinite_buffer >= 1 || (opt_.infinite_buffer < 0 && is->realtime.load());

    while (!is->abort_request.load()) {
        followPause(is);
        applyPendingSeek(is);
        queueAttachedPicture(is);
        if (!infinite_buffer && queuesFull(is)) {
            waitContinue(is, wait_mutex);
            continue;
        }
        if (playedToTheEnd(is)) {
            if (opt_.loop != 1 && (!opt_.loop || --opt_.loop)) {
                std::lock_guard lock(is->seek_mutex);
                is->seek_pos = 0;
                is->seek_rel = 0;
                is->seek_flags &= ~AVSEEK_FLAG_BYTE;
                is->seek_req = true;
            } else if (opt_.autoexit) {
                return finish(true);
            }
        }
        const int ret = av_read_frame(ic, pkt);
        if (ret < 0) {
            if (ret == AVERROR_EOF || avio_feof(ic->pb)) {
                markEndOfInput(is);
            }
            if (ic->pb && ic->pb->error) {
                break;
            }
            waitContinue(is, wait_mutex);
            continue;
        }
        is->eof.store(false);
        routePacket(is, pkt);
    }
    return finish(false);
}

int Player::startStream(VideoState* is, const OpenedStream& opened, const StreamSlots& slots,
                        int (*entry)(void*), const char* thread_name, bool from_stream_start) {
    *slots.stream = opened.stream;
    decoderInit(slots.decoder, opened.codec, slots.queue, &is->continue_read);
    if (from_stream_start) {
        slots.decoder->start_pts = opened.stream->start_time;
        slots.decoder->start_pts_tb = opened.stream->time_base;
    }
    slots.index->store(opened.index);
    return decoderStart(slots.decoder, entry, thread_name, is);
}

int Player::streamComponentOpen(VideoState* is, int stream_index) {
    AVFormatContext* ic = is->ic;
    if (stream_index < 0 || stream_index >= static_cast<int>(ic->nb_streams)) {
        return -1;
    }
    AVCodecContext* avctx = avcodec_alloc_context3(nullptr);
    if (!avctx) {
        return AVERROR(ENOMEM);
    }
    AVStream* st = ic->streams[stream_index];
    int ret = avcodec_parameters_to_context(avctx, st->codecpar);
    if (ret < 0) {
        avcodec_free_context(&avctx);
        return ret;
    }
    avctx->pkt_timebase = st->time_base;
    const AVCodec* codec = avcodec_find_decoder(avctx->codec_id);
    if (!codec) {
        av_log(nullptr, AV_LOG_WARNING, "No decoder could be found for codec %s\n",
               avcodec_get_name(avctx->codec_id));
        avcodec_free_context(&avctx);
        return AVERROR(EINVAL);
    }
    avctx->codec_id = codec->id;
    int stream_lowres = opt_.lowres;
    if (stream_lowres > codec->max_lowres) {
        av_log(avctx, AV_LOG_WARNING, "The maximum value for lowres supported by the decoder is %d\n",
               codec->max_lowres);
        stream_lowres = codec->max_lowres;
    }
    avctx->lowres = stream_lowres;
    if (opt_.fast) {
        avctx->flags2 |= AV_CODEC_FLAG2_FAST;
    }
    AVDictionary* opts = nullptr;
    av_dict_set(&opts, "threads", "auto", 0);
    if (stream_lowres) {
        av_dict_set_int(&opts, "lowres", stream_lowres, 0);
    }
    ret = avcodec_open2(avctx, codec, &opts);
    if (ret < 0) {
        av_dict_free(&opts);
        avcodec_free_context(&avctx);
        return ret;
    }
    if (const AVDictionaryEntry* t = av_dict_get(opts, "", nullptr, AV_DICT_IGNORE_SUFFIX)) {
        av_log(nullptr, AV_LOG_ERROR, "Option %s not found.\n", t->key);
        av_dict_free(&opts);
        avcodec_free_context(&avctx);
        return AVERROR_OPTION_NOT_FOUND;
    }
    av_dict_free(&opts);

    is->eof.store(false);
    st->discard = AVDISCARD_DEFAULT;
    switch (avctx->codec_type) {
        case AVMEDIA_TYPE_AUDIO: {
            AVChannelLayout ch_layout{};
            ret = av_channel_layout_copy(&ch_layout, &avctx->ch_layout);
            if (ret < 0) {
                break;
            }
            ret = audioOpen(is, &ch_layout, avctx->sample_rate, &is->audio_tgt);
            av_channel_layout_uninit(&ch_layout);
            if (ret < 0) {
                break;
            }
            is->audio_hw_buf_size = ret;
            is->audio_src.freq = is->audio_tgt.freq;
            is->audio_src.fmt = is->audio_tgt.fmt;
            is->audio_src.frame_size = is->audio_tgt.frame_size;
            is->audio_src.bytes_per_sec = is->audio_tgt.bytes_per_sec;
            av_channel_layout_uninit(&is->audio_src.ch_layout);
            av_channel_layout_copy(&is->audio_src.ch_layout, &is->audio_tgt.ch_layout);
            is->audio_buf_size = 0;
            is->audio_buf_index = 0;
            is->audio_sync.reset(static_cast<double>(is->audio_hw_buf_size) / is->audio_tgt.bytes_per_sec);
            // Formats that cannot seek by time start the audio clock at the stream's start.
            const bool from_stream_start =
                (ic->iformat->flags & (AVFMT_NOBINSEARCH | AVFMT_NOGENSEARCH | AVFMT_NO_BYTE_SEEK)) &&
                !ic->iformat->read_seek;
            ret = startStream(is, {st, stream_index, avctx},
                              {&is->audio_st, &is->auddec, &is->audioq, &is->audio_stream}, audioThreadEntry,
                              "audio_decoder", from_stream_start);
            if (ret < 0) {
                return ret;
            }
            startAudio(false);
            return 0;
        }
        case AVMEDIA_TYPE_VIDEO:
            ret = startStream(is, {st, stream_index, avctx},
                              {&is->video_st, &is->viddec, &is->videoq, &is->video_stream}, videoThreadEntry,
                              "video_decoder", false);
            if (ret < 0) {
                return ret;
            }
            is->queue_attachments_req.store(true);
            return 0;
        case AVMEDIA_TYPE_SUBTITLE:
            return startStream(is, {st, stream_index, avctx},
                               {&is->subtitle_st, &is->subdec, &is->subtitleq, &is->subtitle_stream},
                               subtitleThreadEntry, "subtitle_decoder", false);
        default:
            ret = AVERROR(EINVAL);
            break;
    }
    avcodec_free_context(&avctx);
    st->discard = AVDISCARD_ALL;
    return ret < 0 ? ret : -1;
}

void Player::streamComponentClose(VideoState* is, int stream_index) {
    AVFormatContext* ic = is->ic;
    if (!ic || stream_index < 0 || stream_index >= static_cast<int>(ic->nb_streams)) {
        return;
    }
    AVCodecParameters* par = ic->streams[stream_index]->codecpar;
    switch (par->codec_type) {
        case AVMEDIA_TYPE_AUDIO:
            decoderAbort(&is->auddec, &is->sampq);
            audio_->close();
            decoderDestroy(&is->auddec);
            swr_free(&is->swr_ctx);
            av_freep(&is->audio_buf1);
            is->audio_buf1_size = 0;
            is->audio_buf = nullptr;
            if (is->rdft) {
                av_rdft_end(is->rdft);
                av_freep(&is->rdft_data);
                is->rdft = nullptr;
                is->rdft_bits = 0;
            }
            break;
        case AVMEDIA_TYPE_VIDEO:
            decoderAbort(&is->viddec, &is->pictq);
            decoderDestroy(&is->viddec);
            break;
        case AVMEDIA_TYPE_SUBTITLE:
            decoderAbort(&is->subdec, &is->subpq);
            decoderDestroy(&is->subdec);
            break;
        default:
            break;
    }
    ic->streams[stream_index]->discard = AVDISCARD_ALL;
    switch (par->codec_type) {
        case AVMEDIA_TYPE_AUDIO:
            is->audio_st = nullptr;
            is->audio_stream.store(-1);
            break;
        case AVMEDIA_TYPE_VIDEO:
            is->video_st = nullptr;
            is->video_stream.store(-1);
            break;
        case AVMEDIA_TYPE_SUBTITLE:
            is->subtitle_st = nullptr;
            is->subtitle_stream.store(-1);
            break;
        default:
            break;
    }
}

}  // namespace player
