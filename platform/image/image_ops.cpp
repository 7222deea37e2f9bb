// Pixel operations on decoded images: resampling, mip halving, sizes.
#include "platform/image/image.h"

#include <cmath>
#include <vector>

namespace {

struct Tap {
    int32_t i0, i1;
    float t; // weight of i1
};

// Destination pixel centres mapped onto the source, clamped at the edges.
std::vector<Tap> resize_taps(int32_t src_n, int32_t dst_n) {
    std::vector<Tap> taps(static_cast<size_t>(dst_n));
    float scale = float(src_n) / float(dst_n);
    for (int32_t i = 0; i < dst_n; ++i) {
        float s = (float(i) + 0.5f) * scale - 0.5f;
        if (s < 0.0f) s = 0.0f;
        if (s > float(src_n - 1)) s = float(src_n - 1);
        int32_t i0 = int32_t(s);
        int32_t i1 = i0 + 1 < src_n ? i0 + 1 : i0;
        taps[size_t(i)] = {i0, i1, s - float(i0)};
    }
    return taps;
}

} // namespace

void image_resize_rgba(const uint8_t *src, int32_t sw, int32_t sh, uint8_t *dst, int32_t dw,
                       int32_t dh) {
    if (!src || !dst || sw < 1 || sh < 1 || dw < 1 || dh < 1) return;
    std::vector<Tap> xs = resize_taps(sw, dw), ys = resize_taps(sh, dh);
    for (int32_t y = 0; y < dh; ++y) {
        const Tap &ty = ys[size_t(y)];
        const uint8_t *r0 = src + size_t(ty.i0) * size_t(sw) * 4;
        const uint8_t *r1 = src + size_t(ty.i1) * size_t(sw) * 4;
        uint8_t *out = dst + size_t(y) * size_t(dw) * 4;
        for (int32_t x = 0; x < dw; ++x, out += 4) {
            const Tap &tx = xs[size_t(x)];
            const uint8_t *a = r0 + tx.i0 * 4, *b = r0 + tx.i1 * 4;
            const uint8_t *c = r1 + tx.i0 * 4, *d = r1 + tx.i1 * 4;
            for (int k = 0; k < 4; ++k) {
                float top = float(a[k]) + (float(b[k]) - float(a[k])) * tx.t;
                float bottom = float(c[k]) + (float(d[k]) - float(c[k])) * tx.t;
                float v = top + (bottom - top) * ty.t;
                out[k] = uint8_t(v + 0.5f);
            }
        }
    }
}

void image_halve_rgba(const uint8_t *src, int32_t sw, int32_t sh, uint8_t *dst) {
    if (!src || !dst || sw < 1 || sh < 1) return;
    int32_t dw = sw > 1 ? sw / 2 : 1, dh = sh > 1 ? sh / 2 : 1;
    for (int32_t y = 0; y < dh; ++y) {
        int32_t y0 = y * 2, y1 = y0 + 1 < sh ? y0 + 1 : y0;
        for (int32_t x = 0; x < dw; ++x) {
            int32_t x0 = x * 2, x1 = x0 + 1 < sw ? x0 + 1 : x0;
            const uint8_t *p[4] = {
                src + (size_t(y0) * size_t(sw) + size_t(x0)) * 4,
                src + (size_t(y0) * size_t(sw) + size_t(x1)) * 4,
                src + (size_t(y1) * size_t(sw) + size_t(x0)) * 4,
                src + (size_t(y1) * size_t(sw) + size_t(x1)) * 4,
            };
            uint8_t *o = dst + (size_t(y) * size_t(dw) + size_t(x)) * 4;
            for (int k = 0; k < 4; ++k)
                o[k] = uint8_t((p[0][k] + p[1][k] + p[2][k] + p[3][k] + 2) / 4);
        }
    }
}

int32_t image_next_pow2(int32_t v) {
    int32_t p = 1;
    while (p < v && p < (1 << 30)) p <<= 1;
    return p;
}
