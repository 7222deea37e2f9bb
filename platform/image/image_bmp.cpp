// BMP decoding: 8-bit palette, 24-bit and 32-bit pixels, bottom-up or top-down rows.
#include "platform/image/image_internal.h"

#include <cstring>

namespace {

enum { BMP_FILE_HEADER = 14, BMP_RGB = 0, BMP_BITFIELDS = 3, BMP_ALPHA_BITFIELDS = 6 };

struct BmpMask {
    uint32_t mask;
    int shift;
    int bits;
};

BmpMask bmp_mask(uint32_t mask) {
    BmpMask m = {mask, 0, 0};
    if (!mask) return m;
    while (!((mask >> m.shift) & 1)) ++m.shift;
    while (m.shift + m.bits < 32 && ((mask >> (m.shift + m.bits)) & 1)) ++m.bits;
    return m;
}

uint8_t bmp_channel(uint32_t px, const BmpMask &m) {
    if (!m.bits) return 0;
    uint32_t v = (px & m.mask) >> m.shift;
    uint32_t max = m.bits >= 32 ? 0xFFFFFFFFu : (1u << m.bits) - 1;
    return uint8_t((uint64_t(v) * 255 + max / 2) / max);
}

} // namespace

bool image_decode_bmp(const uint8_t *b, size_t size, Image *out, char *err, size_t err_size) {
    if (size < BMP_FILE_HEADER + 4) return image_fail(err, err_size, "BMP: truncated header");
    uint32_t data_offset = image_rd32(b + 10);
    uint32_t header = image_rd32(b + 14);
    if (header != 12 && header < 40) return image_fail(err, err_size, "BMP: unknown header");
    if (uint64_t(BMP_FILE_HEADER) + header > size)
        return image_fail(err, err_size, "BMP: truncated header");
    const uint8_t *h = b + BMP_FILE_HEADER;

    int64_t w, ht;
    uint32_t bpp, compression = BMP_RGB, colours = 0, palette_entry = 4;
    if (header == 12) { // the old core header: 16-bit sizes, 3-byte palette entries
        w = image_rd16(h + 4);
        ht = int16_t(image_rd16(h + 6));
        bpp = image_rd16(h + 10);
        palette_entry = 3;
    } else {
        w = int32_t(image_rd32(h + 4));
        ht = int32_t(image_rd32(h + 8));
        bpp = image_rd16(h + 14);
        compression = image_rd32(h + 16);
        colours = image_rd32(h + 32);
    }
    bool top_down = ht < 0;
    if (top_down) ht = -ht;
    if (!image_size_ok(w, ht))
        return image_fail(err, err_size, "BMP: unsupported size %lldx%lld", (long long)w,
                          (long long)ht);
    if (bpp != 8 && bpp != 24 && bpp != 32)
        return image_fail(err, err_size, "BMP: unsupported depth %u", bpp);

    // Channel masks: fixed for plain pixels, from the header (or just after a
    // 40-byte header) for bit fields. Plain 32-bit pixels carry no alpha.
    BmpMask r = bmp_mask(0xFF0000), g = bmp_mask(0xFF00), bl = bmp_mask(0xFF), a = bmp_mask(0);
    if (compression == BMP_BITFIELDS || compression == BMP_ALPHA_BITFIELDS) {
        if (bpp != 32) return image_fail(err, err_size, "BMP: bit fields need 32-bit pixels");
        // A 40-byte header is followed by the masks; later headers hold them inside,
        // the alpha mask from the 56-byte version on.
        uint64_t at = BMP_FILE_HEADER + 40;
        uint32_t nmasks = 4;
        if (header == 40)
            nmasks = compression == BMP_ALPHA_BITFIELDS ? 4 : 3;
        else if (header < 56)
            nmasks = 3;
        if (at + 4 * nmasks > size) return image_fail(err, err_size, "BMP: truncated masks");
        r = bmp_mask(image_rd32(b + at));
        g = bmp_mask(image_rd32(b + at + 4));
        bl = bmp_mask(image_rd32(b + at + 8));
        if (nmasks == 4) a = bmp_mask(image_rd32(b + at + 12));
    } else if (compression != BMP_RGB) {
        return image_fail(err, err_size, "BMP: compression %u not supported", compression);
    }

    uint8_t palette[256][4] = {}; // indices beyond the stored palette read black
    if (bpp == 8) {
        if (colours == 0 || colours > 256) colours = 256;
        uint64_t at = uint64_t(BMP_FILE_HEADER) + header;
        // The palette ends where the pixels begin: take only the entries present.
        uint64_t end = data_offset > at ? data_offset : at;
        if (end > size) end = size;
        uint64_t avail = (end - at) / palette_entry;
        if (avail < colours) colours = uint32_t(avail);
        for (uint32_t i = 0; i < colours; ++i) {
            const uint8_t *e = b + at + i * palette_entry;
            palette[i][0] = e[2];
            palette[i][1] = e[1];
            palette[i][2] = e[0];
        }
    }

    uint64_t stride = ((uint64_t(w) * bpp + 31) / 32) * 4;
    if (uint64_t(data_offset) + stride * uint64_t(ht) > size)
        return image_fail(err, err_size, "BMP: truncated pixel data");
    if (!image_alloc_rgba(out, int32_t(w), int32_t(ht)))
        return image_fail(err, err_size, "BMP: out of memory");
    out->has_alpha = a.bits != 0;

    for (int64_t y = 0; y < ht; ++y) {
        const uint8_t *src = b + data_offset + stride * uint64_t(top_down ? y : ht - 1 - y);
        uint8_t *dst = out->data + uint64_t(y) * uint64_t(w) * 4;
        for (int64_t x = 0; x < w; ++x, dst += 4) {
            if (bpp == 8) {
                memcpy(dst, palette[src[x]], 3);
                dst[3] = 255;
            } else if (bpp == 24) {
                const uint8_t *p = src + x * 3;
                dst[0] = p[2];
                dst[1] = p[1];
                dst[2] = p[0];
                dst[3] = 255;
            } else {
                uint32_t px = image_rd32(src + x * 4);
                dst[0] = bmp_channel(px, r);
                dst[1] = bmp_channel(px, g);
                dst[2] = bmp_channel(px, bl);
                dst[3] = a.bits ? bmp_channel(px, a) : 255;
            }
        }
    }
    return true;
}
