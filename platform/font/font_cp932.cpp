// Code page 932 (Shift-JIS) text to code points through iconv.
#include "platform/font/font.h"

#include <cerrno>
#include <iconv.h>

namespace {

// One converter per thread, opened on first use and reset before each text.
struct Cp932Converter {
    iconv_t cd = iconv_t(-1);
    Cp932Converter() { cd = iconv_open("UTF-32LE", "CP932"); }
    ~Cp932Converter() {
        if (cd != iconv_t(-1)) iconv_close(cd);
    }
};

} // namespace

size_t font_cp932_to_utf32(const char *text, size_t size, uint32_t *out, size_t out_cap) {
    if (!text || !out || out_cap == 0) return 0;
    thread_local Cp932Converter conv;
    if (conv.cd == iconv_t(-1)) return 0;
    iconv(conv.cd, nullptr, nullptr, nullptr, nullptr);

    char *in = const_cast<char *>(text);
    size_t in_left = size, n = 0;
    while (in_left > 0 && n < out_cap) {
        // Convert in small steps into bytes, then assemble little-endian words.
        unsigned char buf[64 * 4];
        char *o = reinterpret_cast<char *>(buf);
        size_t room = out_cap - n < 64 ? (out_cap - n) * 4 : sizeof(buf);
        size_t o_left = room;
        size_t r = iconv(conv.cd, &in, &in_left, &o, &o_left);
        int e = r == size_t(-1) ? errno : 0;
        for (size_t i = 0; i + 4 <= room - o_left; i += 4)
            out[n++] = uint32_t(buf[i]) | (uint32_t(buf[i + 1]) << 8) |
                       (uint32_t(buf[i + 2]) << 16) | (uint32_t(buf[i + 3]) << 24);
        if (e == EILSEQ) {
            if (n < out_cap) out[n++] = 0xFFFD;
            ++in, --in_left;
        } else if (e == EINVAL) {
            break; // a lead byte with nothing after it
        } else if (e != 0 && e != E2BIG) {
            break;
        }
    }
    return n;
}
