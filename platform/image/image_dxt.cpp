// Decompression of DXT1/3/5 blocks into RGBA8 pixels.
#include "platform/image/image_internal.h"

#include <cstring>

namespace {

void dxt_expand565(uint16_t c, uint8_t *rgb) {
    uint32_t r = (c >> 11) & 31, g = (c >> 5) & 63, b = c & 31;
    rgb[0] = uint8_t((r << 3) | (r >> 2));
    rgb[1] = uint8_t((g << 2) | (g >> 4));
    rgb[2] = uint8_t((b << 3) | (b >> 2));
}

// One colour block into a 4x4 RGBA tile. Three-colour mode with transparent
// black exists only in DXT1 blocks whose first colour is not the larger one.
void dxt_colour_block(const uint8_t *blk, bool dxt1, uint8_t tile[16][4]) {
    uint16_t c0 = image_rd16(blk), c1 = image_rd16(blk + 2);
    uint8_t pal[4][4];
    dxt_expand565(c0, pal[0]);
    dxt_expand565(c1, pal[1]);
    pal[0][3] = pal[1][3] = 255;
    if (!dxt1 || c0 > c1) {
        for (int k = 0; k < 3; ++k) {
            pal[2][k] = uint8_t((2 * pal[0][k] + pal[1][k]) / 3);
            pal[3][k] = uint8_t((pal[0][k] + 2 * pal[1][k]) / 3);
        }
        pal[2][3] = pal[3][3] = 255;
    } else {
        for (int k = 0; k < 3; ++k) pal[2][k] = uint8_t((pal[0][k] + pal[1][k]) / 2);
        pal[2][3] = 255;
        memset(pal[3], 0, 4);
    }
    uint32_t idx = image_rd32(blk + 4);
    for (int i = 0; i < 16; ++i) memcpy(tile[i], pal[(idx >> (2 * i)) & 3], 4);
}

void dxt3_alpha(const uint8_t *blk, uint8_t tile[16][4]) {
    for (int i = 0; i < 16; ++i) {
        uint32_t a = (blk[i / 2] >> (4 * (i & 1))) & 15;
        tile[i][3] = uint8_t(a * 17);
    }
}

void dxt5_alpha(const uint8_t *blk, uint8_t tile[16][4]) {
    uint32_t a0 = blk[0], a1 = blk[1];
    uint8_t pal[8];
    pal[0] = uint8_t(a0);
    pal[1] = uint8_t(a1);
    if (a0 > a1) {
        for (int k = 1; k < 7; ++k) pal[k + 1] = uint8_t(((7 - k) * a0 + k * a1) / 7);
    } else {
        for (int k = 1; k < 5; ++k) pal[k + 1] = uint8_t(((5 - k) * a0 + k * a1) / 5);
        pal[6] = 0;
        pal[7] = 255;
    }
    uint64_t bits = 0;
    for (int k = 0; k < 6; ++k) bits |= uint64_t(blk[2 + k]) << (8 * k);
    for (int i = 0; i < 16; ++i) tile[i][3] = pal[(bits >> (3 * i)) & 7];
}

} // namespace

bool image_decompress_dxt(ImageKind kind, const uint8_t *blocks, size_t size, int32_t w, int32_t h,
                          uint8_t *rgba) {
    if (!blocks || !rgba || w < 1 || h < 1) return false;
    if (kind != IMAGE_DXT1 && kind != IMAGE_DXT3 && kind != IMAGE_DXT5) return false;
    size_t block = kind == IMAGE_DXT1 ? 8 : 16;
    size_t bw = (size_t(w) + 3) / 4, bh = (size_t(h) + 3) / 4; // no int overflow near the top
    if (bw * bh * block > size) return false;

    const uint8_t *blk = blocks;
    for (size_t by = 0; by < bh; ++by) {
        for (size_t bx = 0; bx < bw; ++bx, blk += block) {
            uint8_t tile[16][4];
            if (kind == IMAGE_DXT1) {
                dxt_colour_block(blk, true, tile);
            } else {
                dxt_colour_block(blk + 8, false, tile);
                if (kind == IMAGE_DXT3)
                    dxt3_alpha(blk, tile);
                else
                    dxt5_alpha(blk, tile);
            }
            // Blocks hang over the edge of sizes that are not multiples of four.
            for (size_t py = 0; py < 4; ++py) {
                size_t y = by * 4 + py;
                if (y >= size_t(h)) break;
                for (size_t px = 0; px < 4; ++px) {
                    size_t x = bx * 4 + px;
                    if (x >= size_t(w)) break;
                    memcpy(rgba + (y * size_t(w) + x) * 4, tile[py * 4 + px], 4);
                }
            }
        }
    }
    return true;
}
