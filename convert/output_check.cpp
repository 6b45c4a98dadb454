#include "convert/output_check.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

#include <algorithm>
#include <memory>
#include <system_error>
#include <vector>

namespace convert {

namespace {

struct Input {
    AVFormatContext* ctx = nullptr;
    ~Input() {
        if (ctx)
            avformat_close_input(&ctx);
    }
};

struct Decoder {
    AVCodecContext* ctx = nullptr;
    bool decoded = false;
    ~Decoder() { avcodec_free_context(&ctx); }
};

bool isPicture(const AVStream* st) {
    return (st->disposition & AV_DISPOSITION_ATTACHED_PIC) != 0;
}

// A decoder for `st`, or nothing when the libraries have none or it does not open.
std::unique_ptr<Decoder> openDecoder(const AVStream* st) {
    const AVCodec* codec = avcodec_find_decoder(st->codecpar->codec_id);
    if (!codec)
        return nullptr;
    auto d = std::make_unique<Decoder>();
    d->ctx = avcodec_alloc_context3(codec);
    if (!d->ctx || avcodec_parameters_to_context(d->ctx, st->codecpar) < 0)
        return nullptr;
    d->ctx->thread_count = 1;
    if (avcodec_open2(d->ctx, codec, nullptr) < 0)
        return nullptr;
    return d;
}

// True once the decoder gave a frame.
bool feed(Decoder& d, const AVPacket* packet, AVFrame* frame) {
    if (avcodec_send_packet(d.ctx, packet) < 0 && packet)
        return false;
    while (avcodec_receive_frame(d.ctx, frame) >= 0) {
        d.decoded = true;
        av_frame_unref(frame);
    }
    return d.decoded;
}

}  // namespace

OutputCheck checkOutput(const std::filesystem::path& file, OutputNeeds needs) {
    OutputCheck result;
    std::error_code ec;
    if (!std::filesystem::is_regular_file(file, ec) || std::filesystem::file_size(file, ec) == 0)
        return result;
    Input in;
    if (avformat_open_input(&in.ctx, file.c_str(), nullptr, nullptr) < 0) {
        in.ctx = nullptr;
        return result;
    }
    if (avformat_find_stream_info(in.ctx, nullptr) < 0 || in.ctx->nb_streams == 0)
        return result;

    // One decoder per stream of a kind that counts.
    std::vector<std::unique_ptr<Decoder>> decoders(in.ctx->nb_streams);
    for (unsigned i = 0; i < in.ctx->nb_streams; ++i) {
        const AVStream* st = in.ctx->streams[i];
        const AVMediaType type = st->codecpar->codec_type;
        if ((type == AVMEDIA_TYPE_VIDEO && !isPicture(st)) || type == AVMEDIA_TYPE_AUDIO)
            decoders[i] = openDecoder(st);
    }
    auto decodedKind = [&](AVMediaType type) {
        for (unsigned i = 0; i < in.ctx->nb_streams; ++i)
            if (decoders[i] && decoders[i]->decoded && in.ctx->streams[i]->codecpar->codec_type == type)
                return true;
        return false;
    };
    auto satisfied = [&] {
        if (!needs.video && !needs.audio)
            return decodedKind(AVMEDIA_TYPE_VIDEO) || decodedKind(AVMEDIA_TYPE_AUDIO);
        return (!needs.video || decodedKind(AVMEDIA_TYPE_VIDEO)) &&
               (!needs.audio || decodedKind(AVMEDIA_TYPE_AUDIO));
    };

    const bool known_length = in.ctx->duration != AV_NOPTS_VALUE && in.ctx->duration > 0;
    if (known_length)
        result.seconds = static_cast<double>(in.ctx->duration) / AV_TIME_BASE;
    double end_seconds = 0;
    AVPacket* packet = av_packet_alloc();
    AVFrame* frame = av_frame_alloc();
    bool done = false;
    while (packet && frame) {
        if (done && known_length)
            break;
        if (av_read_frame(in.ctx, packet) < 0)
            break;
        const AVStream* st = in.ctx->streams[packet->stream_index];
        if (packet->pts != AV_NOPTS_VALUE) {
            const double end =
                static_cast<double>(packet->pts + std::max<std::int64_t>(packet->duration, 0)) *
                    av_q2d(st->time_base) -
                (st->start_time != AV_NOPTS_VALUE ? st->start_time * av_q2d(st->time_base) : 0);
            end_seconds = std::max(end_seconds, end);
        }
        Decoder* d = decoders[static_cast<std::size_t>(packet->stream_index)].get();
        if (d && !d->decoded)
            feed(*d, packet, frame);
        av_packet_unref(packet);
        done = done || satisfied();
    }
    // Decoders that hold frames back give them at the end of their input.
    for (auto& d : decoders)
        if (d && !d->decoded && !done)
            feed(*d, nullptr, frame);
    av_packet_free(&packet);
    av_frame_free(&frame);
    if (!known_length)
        result.seconds = end_seconds;

    const bool any = decodedKind(AVMEDIA_TYPE_VIDEO) || decodedKind(AVMEDIA_TYPE_AUDIO);
    if (needs.video && !decodedKind(AVMEDIA_TYPE_VIDEO))
        result.verdict =
            any || needs.audio ? OutputCheck::Verdict::NoVideo : OutputCheck::Verdict::Unreadable;
    else if (needs.audio && !decodedKind(AVMEDIA_TYPE_AUDIO))
        result.verdict = any ? OutputCheck::Verdict::NoAudio : OutputCheck::Verdict::Unreadable;
    else if (!any)
        result.verdict = OutputCheck::Verdict::Unreadable;
    else if (!(result.seconds > 0))
        result.verdict = OutputCheck::Verdict::NoLength;
    else
        result.verdict = OutputCheck::Verdict::Playable;
    return result;
}

}  // namespace convert
