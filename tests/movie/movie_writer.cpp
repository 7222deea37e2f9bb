#include "movie_writer.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

namespace {

struct Writer {
    AVFormatContext *format = nullptr;
    AVCodecContext *codec = nullptr;
    AVFrame *frame = nullptr;
    AVPacket *packet = nullptr;
    ~Writer() {
        av_packet_free(&packet);
        av_frame_free(&frame);
        avcodec_free_context(&codec);
        if (format) {
            if (format->pb) avio_closep(&format->pb);
            avformat_free_context(format);
        }
    }
    // Sends one frame (null: the end) and writes every packet the encoder gives back.
    bool encode(AVFrame *f) {
        if (avcodec_send_frame(codec, f) < 0) return false;
        for (;;) {
            int r = avcodec_receive_packet(codec, packet);
            if (r == AVERROR(EAGAIN) || r == AVERROR_EOF) return true;
            if (r < 0) return false;
            av_packet_rescale_ts(packet, codec->time_base, format->streams[0]->time_base);
            packet->stream_index = 0;
            if (av_interleaved_write_frame(format, packet) < 0) return false;
        }
    }
};

} // namespace

bool movie_write_avi(const std::string &path, int width, int height, int frames, int fps,
                     const MovieFramePainter &paint, int fps_den) {
    Writer w;
    if (avformat_alloc_output_context2(&w.format, nullptr, "avi", path.c_str()) < 0) return false;
    const AVCodec *encoder = avcodec_find_encoder(AV_CODEC_ID_RAWVIDEO);
    AVStream *st = encoder ? avformat_new_stream(w.format, nullptr) : nullptr;
    w.codec = encoder ? avcodec_alloc_context3(encoder) : nullptr;
    w.frame = av_frame_alloc();
    w.packet = av_packet_alloc();
    if (!st || !w.codec || !w.frame || !w.packet) return false;
    w.codec->width = width;
    w.codec->height = height;
    w.codec->pix_fmt = AV_PIX_FMT_BGR24;
    w.codec->time_base = AVRational{fps_den, fps};
    st->time_base = w.codec->time_base;
    if (avcodec_open2(w.codec, encoder, nullptr) < 0) return false;
    if (avcodec_parameters_from_context(st->codecpar, w.codec) < 0) return false;
    if (avio_open(&w.format->pb, path.c_str(), AVIO_FLAG_WRITE) < 0) return false;
    if (avformat_write_header(w.format, nullptr) < 0) return false;

    w.frame->format = AV_PIX_FMT_BGR24;
    w.frame->width = width;
    w.frame->height = height;
    if (av_frame_get_buffer(w.frame, 0) < 0) return false;
    for (int i = 0; i < frames; ++i) {
        if (av_frame_make_writable(w.frame) < 0) return false;
        paint(i, w.frame->data[0], w.frame->linesize[0]);
        w.frame->pts = i;
        if (!w.encode(w.frame)) return false;
    }
    if (!w.encode(nullptr)) return false;
    return av_write_trailer(w.format) >= 0;
}
