#include "platform/movie/movie_file.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <mutex>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/imgutils.h>
#include <libswscale/swscale.h>
}

#include "platform/sys/sys_file.h"

struct MvlMovie {
    AVFormatContext *format;
    AVCodecContext *codec;
    AVPacket *packet;
    AVFrame *frame; // receives from the decoder
    AVFrame *held;  // newest decoded frame not after the one asked for
    SwsContext *sws;
    int stream;
    int64_t first_pts; // timestamp of frame 0
    int32_t width, height;
    uint32_t frame_count;
    double rate;
    int64_t last_decoded; // index of the decoder's newest output since open or seek, -1 none
    bool positioned;      // the reader stands where last_decoded says (false after a failure)
    bool draining;        // the file is read to its end and the decoder is being emptied
    int64_t shown;        // frame now in rows, -1 none
    uint8_t *rows;        // bottom-up output
    uint8_t *scratch;     // top-down conversion target
    int scratch_pitch;
};

namespace {

constexpr int ROW_ALIGN = 64; // the converter's fast paths want aligned rows

void quiet_library_log(void) {
    // Damaged files are expected input; their complaints are not worth printing.
    static std::once_flag once;
    std::call_once(once, [] { av_log_set_level(AV_LOG_QUIET); });
}

bool open_decoder(MvlMovie *m) {
    const AVCodecParameters *par = m->format->streams[m->stream]->codecpar;
    const AVCodec *decoder = avcodec_find_decoder(par->codec_id);
    if (!decoder) return false;
    m->codec = avcodec_alloc_context3(decoder);
    if (!m->codec || avcodec_parameters_to_context(m->codec, par) < 0) return false;
    m->codec->thread_count = 1; // the caller's decode thread is the only one
    return avcodec_open2(m->codec, decoder, nullptr) >= 0;
}

// Size, rate and length from the stream header; false when any is unusable.
bool read_stream_facts(MvlMovie *m) {
    const AVStream *st = m->format->streams[m->stream];
    const int64_t w = st->codecpar->width, h = st->codecpar->height;
    if (w < 1 || h < 1 || w > MVL_MAX_SIDE || h > MVL_MAX_SIDE || w * h > MVL_MAX_PIXELS)
        return false;
    // The time base is the stream's scale / rate: one tick per frame.
    if (st->time_base.num <= 0 || st->time_base.den <= 0) return false;
    const double rate = (double)st->time_base.den / (double)st->time_base.num;
    if (!std::isfinite(rate) || rate <= 0.0) return false;
    const int64_t frames = st->nb_frames > 0 ? st->nb_frames : st->duration;
    if (frames < 1 || frames > (int64_t)UINT32_MAX) return false;
    m->width = (int32_t)w;
    m->height = (int32_t)h;
    m->rate = rate;
    m->frame_count = (uint32_t)frames;
    m->first_pts = st->start_time != AV_NOPTS_VALUE ? st->start_time : 0;
    return true;
}

bool seek_before(MvlMovie *m, uint32_t n) {
    if (av_seek_frame(m->format, m->stream, m->first_pts + n, AVSEEK_FLAG_BACKWARD) < 0)
        return false;
    avcodec_flush_buffers(m->codec);
    m->last_decoded = -1;
    m->draining = false;
    m->positioned = true;
    return true;
}

// Feeds the decoder the next packet of the stream, or the end-of-stream signal after the last.
bool feed_decoder(MvlMovie *m) {
    for (;;) {
        int r = av_read_frame(m->format, m->packet);
        if (r == AVERROR_EOF) {
            m->draining = true;
            return avcodec_send_packet(m->codec, nullptr) >= 0;
        }
        if (r < 0) return false;
        if (m->packet->stream_index != m->stream) {
            av_packet_unref(m->packet);
            continue;
        }
        r = avcodec_send_packet(m->codec, m->packet);
        av_packet_unref(m->packet);
        return r >= 0;
    }
}

// Decodes forward until frame n (or the last frame before a later one) is held.
bool decode_to(MvlMovie *m, uint32_t n) {
    av_frame_unref(m->held);
    bool have = false;
    for (;;) {
        const int r = avcodec_receive_frame(m->codec, m->frame);
        if (r == AVERROR(EAGAIN)) {
            if (m->draining || !feed_decoder(m)) return false;
            continue;
        }
        if (r < 0) return false;
        const int64_t ts = m->frame->best_effort_timestamp;
        const int64_t index = ts != AV_NOPTS_VALUE ? ts - m->first_pts : m->last_decoded + 1;
        m->last_decoded = index;
        if (index > (int64_t)n) {
            // A gap in the timestamps: the frame before it is the one shown at n.
            av_frame_unref(m->frame);
            return have;
        }
        av_frame_unref(m->held);
        av_frame_move_ref(m->held, m->frame);
        have = true;
        if (index == (int64_t)n) return true;
    }
}

bool convert_held(MvlMovie *m) {
    const AVFrame *f = m->held;
    if (f->width < 1 || f->height < 1 || f->format < 0) return false;
    m->sws =
        sws_getCachedContext(m->sws, f->width, f->height, (AVPixelFormat)f->format, m->width,
                             m->height, AV_PIX_FMT_BGR24, SWS_BILINEAR, nullptr, nullptr, nullptr);
    if (!m->sws) return false;
    if (!m->rows) {
        const size_t row = (size_t)m->width * 3;
        m->scratch_pitch = (int)((row + ROW_ALIGN - 1) / ROW_ALIGN * ROW_ALIGN);
        m->rows = (uint8_t *)av_malloc(row * (size_t)m->height);
        m->scratch = (uint8_t *)av_malloc((size_t)m->scratch_pitch * (size_t)m->height + ROW_ALIGN);
        if (!m->rows || !m->scratch) {
            av_freep(&m->rows);
            av_freep(&m->scratch);
            return false;
        }
    }
    uint8_t *dst[4] = {m->scratch, nullptr, nullptr, nullptr};
    int pitch[4] = {m->scratch_pitch, 0, 0, 0};
    if (sws_scale(m->sws, f->data, f->linesize, 0, f->height, dst, pitch) != m->height)
        return false;
    const size_t row = (size_t)m->width * 3;
    for (int32_t y = 0; y < m->height; ++y)
        memcpy(m->rows + (size_t)(m->height - 1 - y) * row,
               m->scratch + (size_t)y * (size_t)m->scratch_pitch, row);
    return true;
}

} // namespace

MvlMovie *mvl_open(const char *path) {
    if (!path || !*path) return nullptr;
    quiet_library_log();
    char native[1024];
    sys_path_native(native, sizeof native, path);
    // The file protocol named outright, so a name with a colon is never taken for another one.
    char url[1100];
    if (snprintf(url, sizeof url, "file:%s", native) >= (int)sizeof url) return nullptr;

    MvlMovie *m = (MvlMovie *)av_mallocz(sizeof(MvlMovie));
    if (!m) return nullptr;
    m->stream = -1;
    m->shown = -1;
    m->last_decoded = -1;
    m->positioned = true;

    AVDictionary *options = nullptr;
    av_dict_set(&options, "format_whitelist", "avi", 0);
    av_dict_set(&options, "protocol_whitelist", "file", 0);
    const int r = avformat_open_input(&m->format, url, av_find_input_format("avi"), &options);
    av_dict_free(&options);
    if (r < 0) {
        mvl_close(m);
        return nullptr;
    }
    for (unsigned i = 0; i < m->format->nb_streams; ++i) {
        AVStream *st = m->format->streams[i];
        if (m->stream < 0 && st->codecpar->codec_type == AVMEDIA_TYPE_VIDEO)
            m->stream = (int)i;
        else
            st->discard = AVDISCARD_ALL;
    }
    m->packet = av_packet_alloc();
    m->frame = av_frame_alloc();
    m->held = av_frame_alloc();
    if (m->stream < 0 || !m->packet || !m->frame || !m->held || !read_stream_facts(m) ||
        !open_decoder(m)) {
        mvl_close(m);
        return nullptr;
    }
    return m;
}

void mvl_close(MvlMovie *m) {
    if (!m) return;
    sws_freeContext(m->sws);
    av_free(m->rows);
    av_free(m->scratch);
    av_frame_free(&m->held);
    av_frame_free(&m->frame);
    av_packet_free(&m->packet);
    avcodec_free_context(&m->codec);
    avformat_close_input(&m->format);
    av_free(m);
}

int32_t mvl_width(const MvlMovie *m) {
    return m ? m->width : 0;
}
int32_t mvl_height(const MvlMovie *m) {
    return m ? m->height : 0;
}
uint32_t mvl_frame_count(const MvlMovie *m) {
    return m ? m->frame_count : 0;
}
double mvl_rate(const MvlMovie *m) {
    return m ? m->rate : 0.0;
}

const uint8_t *mvl_fetch_frame(MvlMovie *m, uint32_t n) {
    if (!m || n >= m->frame_count) return nullptr;
    if ((int64_t)n == m->shown) return m->rows;
    m->shown = -1;
    if ((!m->positioned || (int64_t)n <= m->last_decoded) && !seek_before(m, n)) return nullptr;
    if (!decode_to(m, n) || !convert_held(m)) {
        // Where the reader stands after a failure is unknown: the next fetch seeks.
        m->positioned = false;
        return nullptr;
    }
    m->shown = n;
    return m->rows;
}
