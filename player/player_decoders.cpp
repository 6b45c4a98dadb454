// The three decoder threads and the frame step they share.
#include "player/player.h"

namespace player {

void Player::decoderInit(StreamDecoder* d, AVCodecContext* avctx, PacketFifo* queue, ContinueReading* cond) {
    d->pkt = av_packet_alloc();
    d->avctx = avctx;
    d->queue = queue;
    d->empty_queue_cond = cond;
    d->start_pts = AV_NOPTS_VALUE;
    d->pkt_serial = -1;
    d->finished.store(0);
    d->packet_pending = false;
}

int Player::decoderStart(StreamDecoder* d, int (*fn)(void*), const char* name, void* arg) {
    d->queue->start();
    // SDL_CreateThread reads SDL's hint list, which SDL does not lock; the display is
    // being opened on the player thread meanwhile and adds hints to that list. With an
    // explicit (default) stack size no hint is read.
    d->thread = SDL_CreateThreadWithStackSize(fn, name, 0, arg);
    if (!d->thread) {
        av_log(nullptr, AV_LOG_ERROR, "SDL_CreateThread(): %s\n", SDL_GetError());
        return AVERROR(ENOMEM);
    }
    return 0;
}

void Player::decoderAbort(StreamDecoder* d, FrameRing* fq) {
    d->queue->abort();
    fq->signal();
    SDL_WaitThread(d->thread, nullptr);
    d->thread = nullptr;
    d->queue->flush();
}

void Player::decoderDestroy(StreamDecoder* d) {
    av_packet_free(&d->pkt);
    avcodec_free_context(&d->avctx);
}

int Player::decodeFrame(StreamDecoder* d, AVFrame* frame, AVSubtitle* sub) {
    int ret = AVERROR(EAGAIN);
    for (;;) {
        if (d->queue->serial() == d->pkt_serial) {
            do {
                if (d->queue->aborted()) {
                    return -1;
                }
                switch (d->avctx->codec_type) {
                    case AVMEDIA_TYPE_VIDEO:
                        ret = avcodec_receive_frame(d->avctx, frame);
                        if (ret >= 0) {
                            if (opt_.decoder_reorder_pts == -1) {
                                frame->pts = frame->best_effort_timestamp;
                            } else if (!opt_.decoder_reorder_pts) {
                                frame->pts = frame->pkt_dts;
                            }
                        }
                        break;
                    case AVMEDIA_TYPE_AUDIO:
                        ret = avcodec_receive_frame(d->avctx, frame);
                        if (ret >= 0) {
                            const AVRational tb{1, frame->sample_rate};
                            if (frame->pts != AV_NOPTS_VALUE) {
                                frame->pts = av_rescale_q(frame->pts, d->avctx->pkt_timebase, tb);
                            } else if (d->next_pts != AV_NOPTS_VALUE) {
                                frame->pts = av_rescale_q(d->next_pts, d->next_pts_tb, tb);
                            }
                            if (frame->pts != AV_NOPTS_VALUE) {
                                d->next_pts = frame->pts + frame->nb_samples;
                                d->next_pts_tb = tb;
                            }
                        }
                        break;
                    default:
                        break;
                }
                if (ret == AVERROR_EOF) {
                    d->finished.store(d->pkt_serial);
                    avcodec_flush_buffers(d->avctx);
                    return 0;
                }
                if (ret >= 0) {
                    return 1;
                }
            } while (ret != AVERROR(EAGAIN));
        }

        bool is_flush = false;
        do {
            if (d->queue->packets() == 0) {
                d->empty_queue_cond->signal();
            }
            if (d->packet_pending) {
                d->packet_pending = false;
                is_flush = false;
            } else {
                int old_serial = d->pkt_serial;
                if (d->queue->get(d->pkt, &d->pkt_serial, &is_flush) < 0) {
                    return -1;
                }
                if (old_serial != d->pkt_serial) {
                    avcodec_flush_buffers(d->avctx);
                    d->finished.store(0);
                    d->next_pts = d->start_pts;
                    d->next_pts_tb = d->start_pts_tb;
                }
            }
            if (d->queue->serial() == d->pkt_serial) {
                break;
            }
            if (!is_flush) {
                av_packet_unref(d->pkt);
            }
        } while (true);

        if (is_flush) {
            avcodec_flush_buffers(d->avctx);
            d->finished.store(0);
            d->next_pts = d->start_pts;
            d->next_pts_tb = d->start_pts_tb;
            continue;
        }
        if (d->avctx->codec_type == AVMEDIA_TYPE_SUBTITLE) {
            int got_frame = 0;
            ret = avcodec_decode_subtitle2(d->avctx, sub, &got_frame, d->pkt);
            if (ret < 0) {
                ret = AVERROR(EAGAIN);
            } else {
                if (got_frame && !d->pkt->data) {
                    // A draining packet may hold more subtitles: offer it again.
                    d->packet_pending = true;
                }
                ret = got_frame ? 0 : (d->pkt->data ? AVERROR(EAGAIN) : AVERROR_EOF);
            }
            if (!d->packet_pending) {
                av_packet_unref(d->pkt);
            }
            if (ret == 0) {
                return 1;
            }
            if (ret == AVERROR_EOF) {
                d->finished.store(d->pkt_serial);
                avcodec_flush_buffers(d->avctx);
                return 0;
            }
        } else {
            if (avcodec_send_packet(d->avctx, d->pkt) == AVERROR(EAGAIN)) {
                av_log(d->avctx, AV_LOG_ERROR,
                       "Receive_frame and send_packet both returned EAGAIN, which is an API violation.\n");
                d->packet_pending = true;
            } else {
                av_packet_unref(d->pkt);
            }
        }
    }
}

int Player::getVideoFrame(VideoState* is, AVFrame* frame) {
    const int got_picture = decodeFrame(&is->viddec, frame, nullptr);
    if (got_picture < 0) {
        return -1;
    }
    if (got_picture) {
        double dpts = NAN;
        if (frame->pts != AV_NOPTS_VALUE) {
            dpts = av_q2d(is->video_st->time_base) * frame->pts;
        }
        frame->sample_aspect_ratio = av_guess_sample_aspect_ratio(is->ic, is->video_st, frame);
        if (opt_.framedrop > 0 || (opt_.framedrop && masterSyncType(is) != SyncMaster::Video)) {
            if (frame->pts != AV_NOPTS_VALUE) {
                const double diff = dpts - masterClock(is);
                if (!std::isnan(diff) && std::fabs(diff) < kNoSyncThreshold && diff < 0 &&
                    is->viddec.pkt_serial == is->vidclk.serial() && is->videoq.packets()) {
                    shared_.early_drops.fetch_add(1);
                    av_frame_unref(frame);
                    return 0;
                }
            }
        }
    }
    return got_picture;
}

int Player::queuePicture(VideoState* is, AVFrame* src, double pts, double duration, std::int64_t pos,
                         int serial) {
    RingSlot* vp = is->pictq.peekWritable();
    if (!vp) {
        return -1;
    }
    vp->sar = src->sample_aspect_ratio;
    vp->uploaded = false;
    vp->width = src->width;
    vp->height = src->height;
    vp->format = src->format;
    vp->pts = pts;
    vp->duration = duration;
    vp->pos = pos;
    vp->serial = serial;
    setDefaultWindowSize(vp->width, vp->height, vp->sar);
    av_frame_move_ref(vp->frame, src);
    is->pictq.push();
    return 0;
}

int Player::videoThreadEntry(void* arg) {
    auto* is = static_cast<VideoState*>(arg);
    return is->owner->videoThread(is);
}

int Player::audioThreadEntry(void* arg) {
    auto* is = static_cast<VideoState*>(arg);
    return is->owner->audioThread(is);
}

int Player::subtitleThreadEntry(void* arg) {
    auto* is = static_cast<VideoState*>(arg);
    return is->owner->subtitleThread(is);
}

int Player::videoThread(VideoState* is) {
    AVFrame* frame = av_frame_alloc();
    if (!frame) {
        return AVERROR(ENOMEM);
    }
    const AVRational frame_rate = av_guess_frame_rate(is->ic, is->video_st, nullptr);
    for (;;) {
        const int ret = getVideoFrame(is, frame);
        if (ret < 0) {
            break;
        }
        if (!ret) {
            continue;
        }
        const double duration =
            (frame_rate.num && frame_rate.den) ? av_q2d(AVRational{frame_rate.den, frame_rate.num}) : 0;
        const double pts =
            (frame->pts == AV_NOPTS_VALUE) ? NAN : frame->pts * av_q2d(is->video_st->time_base);
        if (queuePicture(is, frame, pts, duration, frame->pkt_pos, is->viddec.pkt_serial) < 0) {
            break;
        }
        av_frame_unref(frame);
    }
    av_frame_free(&frame);
    return 0;
}

int Player::audioThread(VideoState* is) {
    AVFrame* frame = av_frame_alloc();
    if (!frame) {
        return AVERROR(ENOMEM);
    }
    for (;;) {
        const int got_frame = decodeFrame(&is->auddec, frame, nullptr);
        if (got_frame < 0) {
            break;
        }
        if (!got_frame) {
            continue;
        }
        const AVRational tb{1, frame->sample_rate};
        RingSlot* af = is->sampq.peekWritable();
        if (!af) {
            break;
        }
        af->pts = (frame->pts == AV_NOPTS_VALUE) ? NAN : frame->pts * av_q2d(tb);
        af->pos = frame->pkt_pos;
        af->serial = is->auddec.pkt_serial;
        af->duration = av_q2d(AVRational{frame->nb_samples, frame->sample_rate});
        av_frame_move_ref(af->frame, frame);
        is->sampq.push();
    }
    av_frame_free(&frame);
    return 0;
}

int Player::subtitleThread(VideoState* is) {
    for (;;) {
        RingSlot* sp = is->subpq.peekWritable();
        if (!sp) {
            return 0;
        }
        const int got_subtitle = decodeFrame(&is->subdec, nullptr, &sp->sub);
        if (got_subtitle < 0) {
            break;
        }
        if (got_subtitle && sp->sub.format == 0) {
            sp->pts = sp->sub.pts != AV_NOPTS_VALUE ? sp->sub.pts / static_cast<double>(AV_TIME_BASE) : 0;
            sp->serial = is->subdec.pkt_serial;
            sp->width = is->subdec.avctx->width;
            sp->height = is->subdec.avctx->height;
            sp->uploaded = false;
            is->subpq.push();
        } else if (got_subtitle) {
            avsubtitle_free(&sp->sub);
        }
    }
    return 0;
}

}  // namespace player
