// BMP and DDS reading, and DXT block decompression.
#include "image_test_util.h"
#include "platform/image/image.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace {

// A BMP with a 40-byte header; `extra` bytes (masks, palette) follow the header.
std::vector<uint8_t> bmp_file(int w, int h, int bpp, uint32_t compression,
                              const std::vector<uint8_t> &extra, const std::vector<uint8_t> &px) {
    std::vector<uint8_t> f(54);
    f[0] = 'B', f[1] = 'M';
    test_put32(f, 10, uint32_t(54 + extra.size()));
    test_put32(f, 14, 40);
    test_put32(f, 18, uint32_t(w));
    test_put32(f, 22, uint32_t(h));
    test_put16(f, 26, 1);
    test_put16(f, 28, uint32_t(bpp));
    test_put32(f, 30, compression);
    f.insert(f.end(), extra.begin(), extra.end());
    f.insert(f.end(), px.begin(), px.end());
    test_put32(f, 2, uint32_t(f.size()));
    return f;
}

const uint32_t DXT1 = 0x31545844, DXT3 = 0x33545844, DXT4 = 0x34545844, DXT5 = 0x35545844;

const uint8_t *px(const Image &img, int x, int y, size_t level_offset = 0, int w = 0) {
    return img.data + level_offset + (size_t(y) * size_t(w ? w : img.width) + size_t(x)) * 4;
}

#define EXPECT_PX(p, r, g, b, a)                                                                   \
    do {                                                                                           \
        const uint8_t *q_ = (p);                                                                   \
        EXPECT_EQ(q_[0], r);                                                                       \
        EXPECT_EQ(q_[1], g);                                                                       \
        EXPECT_EQ(q_[2], b);                                                                       \
        EXPECT_EQ(q_[3], a);                                                                       \
    } while (0)

} // namespace

TEST(Bmp, TwentyFourBitBottomUpWithRowPadding) {
    // 3x2: rows padded to 12 bytes; the file's first row is the image's bottom row.
    std::vector<uint8_t> pixels = {// bottom row (B, G, R)
                                   1, 2, 3, 4, 5, 6, 7, 8, 9, 0, 0, 0,
                                   // top row
                                   11, 12, 13, 14, 15, 16, 17, 18, 19, 0, 0, 0};
    std::vector<uint8_t> f = bmp_file(3, 2, 24, 0, {}, pixels);
    Image img;
    char err[128];
    ASSERT_TRUE(image_decode(f.data(), f.size(), &img, err, sizeof(err))) << err;
    EXPECT_EQ(img.width, 3);
    EXPECT_EQ(img.height, 2);
    EXPECT_FALSE(img.has_alpha);
    EXPECT_PX(px(img, 0, 0), 13, 12, 11, 255);
    EXPECT_PX(px(img, 2, 0), 19, 18, 17, 255);
    EXPECT_PX(px(img, 1, 1), 6, 5, 4, 255);
    image_free(&img);

    // The same rows with a negative height are stored top row first.
    f = bmp_file(3, -2, 24, 0, {}, pixels);
    ASSERT_TRUE(image_decode(f.data(), f.size(), &img, nullptr, 0));
    EXPECT_PX(px(img, 0, 0), 3, 2, 1, 255);
    image_free(&img);
}

TEST(Bmp, PaletteAndThirtyTwoBit) {
    // 8-bit, 2 palette entries given; index 5 lies outside the palette and reads black.
    std::vector<uint8_t> pal = {10, 20, 30, 0, 40, 50, 60, 0};
    std::vector<uint8_t> f = bmp_file(3, 1, 8, 0, pal, {1, 0, 5, 0});
    test_put32(f, 46, 2); // colours used
    Image img;
    ASSERT_TRUE(image_decode(f.data(), f.size(), &img, nullptr, 0));
    EXPECT_PX(px(img, 0, 0), 60, 50, 40, 255);
    EXPECT_PX(px(img, 1, 0), 30, 20, 10, 255);
    EXPECT_PX(px(img, 2, 0), 0, 0, 0, 255);
    image_free(&img);

    // Plain 32-bit: the fourth byte is not alpha.
    f = bmp_file(1, 1, 32, 0, {}, {1, 2, 3, 4});
    ASSERT_TRUE(image_decode(f.data(), f.size(), &img, nullptr, 0));
    EXPECT_FALSE(img.has_alpha);
    EXPECT_PX(px(img, 0, 0), 3, 2, 1, 255);
    image_free(&img);

    // Alpha bit fields: masks after the header, alpha in the top byte.
    std::vector<uint8_t> masks(16);
    test_put32(masks, 0, 0x00FF0000), test_put32(masks, 4, 0x0000FF00),
        test_put32(masks, 8, 0x000000FF);
    test_put32(masks, 12, 0xFF000000);
    f = bmp_file(1, 1, 32, 6, masks, {1, 2, 3, 4});
    ASSERT_TRUE(image_decode(f.data(), f.size(), &img, nullptr, 0));
    EXPECT_TRUE(img.has_alpha);
    EXPECT_PX(px(img, 0, 0), 3, 2, 1, 4);
    image_free(&img);
}

TEST(Bmp, LyingHeadersFail) {
    std::vector<uint8_t> good = bmp_file(2, 2, 24, 0, {}, std::vector<uint8_t>(16, 9));
    Image img;
    char err[128];
    std::vector<uint8_t> f = good;
    test_put32(f, 10, 0xFFFFFFF0); // pixel data far beyond the file
    EXPECT_FALSE(image_decode(f.data(), f.size(), &img, err, sizeof(err)));
    f = good;
    test_put32(f, 18, 0x7FFFFFFF); // absurd width
    EXPECT_FALSE(image_decode(f.data(), f.size(), &img, err, sizeof(err)));
    f = good;
    test_put32(f, 22, 0x80000000); // height that cannot be negated
    EXPECT_FALSE(image_decode(f.data(), f.size(), &img, err, sizeof(err)));
    f = good;
    test_put32(f, 14, 0xFFFFFFFF); // header size past the end
    EXPECT_FALSE(image_decode(f.data(), f.size(), &img, err, sizeof(err)));
    f = good;
    test_put32(f, 30, 1); // run-length compression
    EXPECT_FALSE(image_decode(f.data(), f.size(), &img, err, sizeof(err)));
    EXPECT_NE(strstr(err, "compression"), nullptr) << err;
}

TEST(Dds, Dxt1KeepsBlocksAndLevels) {
    // 8x4 with a full chain: 8x4 (2 blocks), 4x2 (1), 2x1 (1), 1x1 (1).
    std::vector<uint8_t> data(5 * 8);
    for (size_t i = 0; i < data.size(); ++i) data[i] = uint8_t(i);
    std::vector<uint8_t> f = test_dds_file(8, 4, 4, 0x4, DXT1, 0, nullptr, data);
    Image img;
    char err[128];
    ASSERT_TRUE(image_decode(f.data(), f.size(), &img, err, sizeof(err))) << err;
    EXPECT_EQ(img.kind, IMAGE_DXT1);
    EXPECT_EQ(img.levels, 4);
    EXPECT_EQ(img.level_offset[1], 16u);
    EXPECT_EQ(img.level_size[1], 8u);
    EXPECT_EQ(img.level_offset[3], 32u);
    ASSERT_EQ(img.size, 40u);
    EXPECT_EQ(0, memcmp(img.data, data.data(), 40));
    image_free(&img);

    // A mip count beyond the chain is cut to the chain.
    f = test_dds_file(8, 4, 12, 0x4, DXT1, 0, nullptr, data);
    ASSERT_TRUE(image_decode(f.data(), f.size(), &img, nullptr, 0));
    EXPECT_EQ(img.levels, 4);
    image_free(&img);

    // Missing the last level's bytes fails.
    f = test_dds_file(8, 4, 4, 0x4, DXT1, 0, nullptr,
                      std::vector<uint8_t>(data.begin(), data.end() - 1));
    EXPECT_FALSE(image_decode(f.data(), f.size(), &img, err, sizeof(err)));

    // DXT4 is kept as DXT5.
    f = test_dds_file(4, 4, 0, 0x4, DXT4, 0, nullptr, std::vector<uint8_t>(16));
    ASSERT_TRUE(image_decode(f.data(), f.size(), &img, nullptr, 0));
    EXPECT_EQ(img.kind, IMAGE_DXT5);
    EXPECT_EQ(img.levels, 1);
    image_free(&img);
}

TEST(Dds, UncompressedMasksExpandToRgba) {
    // A8R8G8B8 (stored B, G, R, A) with two levels: 2x2 and 1x1.
    const uint32_t argb[4] = {0x00FF0000, 0x0000FF00, 0x000000FF, 0xFF000000};
    std::vector<uint8_t> d = {1,  2,  3,  4,  5,  6,  7,  8,  9,  10,
                              11, 12, 13, 14, 15, 16, 21, 22, 23, 24};
    std::vector<uint8_t> f = test_dds_file(2, 2, 2, 0x41, 0, 32, argb, d);
    Image img;
    ASSERT_TRUE(image_decode(f.data(), f.size(), &img, nullptr, 0));
    EXPECT_EQ(img.kind, IMAGE_RGBA8);
    EXPECT_TRUE(img.has_alpha);
    EXPECT_EQ(img.levels, 2);
    EXPECT_PX(px(img, 0, 0), 3, 2, 1, 4);
    EXPECT_PX(px(img, 1, 1), 15, 14, 13, 16);
    EXPECT_EQ(img.level_offset[1], 16u);
    EXPECT_PX(px(img, 0, 0, img.level_offset[1], 1), 23, 22, 21, 24);
    image_free(&img);

    // R5G6B5: pure red and a mid green.
    const uint32_t rgb565[4] = {0xF800, 0x07E0, 0x001F, 0};
    f = test_dds_file(2, 1, 0, 0x40, 0, 16, rgb565, {0x00, 0xF8, 0x00, 0x04});
    ASSERT_TRUE(image_decode(f.data(), f.size(), &img, nullptr, 0));
    EXPECT_FALSE(img.has_alpha);
    EXPECT_PX(px(img, 0, 0), 255, 0, 0, 255);
    EXPECT_PX(px(img, 1, 0), 0, 130, 0, 255); // 32 of 63
    image_free(&img);

    // Masks wider than the pixel size are refused.
    const uint32_t wide[4] = {0xFF0000, 0xFF00, 0xFF, 0};
    f = test_dds_file(1, 1, 0, 0x40, 0, 16, wide, {0, 0});
    EXPECT_FALSE(image_decode(f.data(), f.size(), &img, nullptr, 0));
}

TEST(Dxt, Dxt1FourAndThreeColourBlocks) {
    // c0 = white (0xFFFF) > c1 = black: indices 0..3 give white, black, 2/3 and 1/3 grey.
    uint8_t blocks[16] = {0xFF, 0xFF, 0x00, 0x00, 0xE4, 0xE4, 0xE4, 0xE4,
                          // c0 = black <= c1 = pure red: index 2 half red, 3 transparent black
                          0x00, 0x00, 0x00, 0xF8, 0xE4, 0xE4, 0xE4, 0xE4};
    uint8_t rgba[8 * 4 * 4];
    ASSERT_TRUE(image_decompress_dxt(IMAGE_DXT1, blocks, sizeof(blocks), 8, 4, rgba));
    auto at = [&](int x, int y) { return rgba + (y * 8 + x) * 4; };
    EXPECT_PX(at(0, 0), 255, 255, 255, 255);
    EXPECT_PX(at(1, 0), 0, 0, 0, 255);
    EXPECT_PX(at(2, 0), 170, 170, 170, 255);
    EXPECT_PX(at(3, 3), 85, 85, 85, 255);
    EXPECT_PX(at(4, 0), 0, 0, 0, 255);
    EXPECT_PX(at(5, 0), 255, 0, 0, 255);
    EXPECT_PX(at(6, 1), 127, 0, 0, 255);
    EXPECT_PX(at(7, 2), 0, 0, 0, 0);

    // Equal end colours (both red) are a three-colour block too: index 3 is transparent.
    const uint8_t equal[8] = {0x00, 0xF8, 0x00, 0xF8, 0xE4, 0xE4, 0xE4, 0xE4};
    uint8_t one[4 * 4 * 4];
    ASSERT_TRUE(image_decompress_dxt(IMAGE_DXT1, equal, sizeof(equal), 4, 4, one));
    EXPECT_PX(one + 0 * 4, 255, 0, 0, 255);
    EXPECT_PX(one + 1 * 4, 255, 0, 0, 255);
    EXPECT_PX(one + 6 * 4, 255, 0, 0, 255);
    EXPECT_PX(one + 11 * 4, 0, 0, 0, 0);

    // Too few bytes for the size: refused, nothing read past the blocks.
    EXPECT_FALSE(image_decompress_dxt(IMAGE_DXT1, blocks, 15, 8, 4, rgba));
    EXPECT_FALSE(image_decompress_dxt(IMAGE_RGBA8, blocks, 16, 4, 4, rgba));
}

TEST(Dxt, Dxt3AndDxt5Alpha) {
    // Colour block: c0 = black <= c1 = blue, all index 1; in DXT3/5 it stays four-colour.
    const uint8_t colour[8] = {0x00, 0x00, 0x1F, 0x00, 0x55, 0x55, 0x55, 0x55};
    uint8_t b3[16] = {0x10, 0x32, 0x54, 0x76, 0x98, 0xBA, 0xDC, 0xFE};
    memcpy(b3 + 8, colour, 8);
    uint8_t rgba[4 * 4 * 4];
    ASSERT_TRUE(image_decompress_dxt(IMAGE_DXT3, b3, 16, 4, 4, rgba));
    for (int i = 0; i < 16; ++i) {
        EXPECT_EQ(rgba[i * 4 + 3], i * 17) << i;
        EXPECT_EQ(rgba[i * 4 + 2], 255);
    }

    // DXT5, a0 = 255 > a1 = 0: index 2 = (6*255)/7 = 218, index 1 = 0.
    uint8_t b5[16] = {255, 0, 0, 0, 0, 0, 0, 0};
    memcpy(b5 + 8, colour, 8);
    b5[2] = 0x0A; // pixel 0 index 2, pixel 1 index 1
    ASSERT_TRUE(image_decompress_dxt(IMAGE_DXT5, b5, 16, 4, 4, rgba));
    EXPECT_EQ(rgba[3], 218);
    EXPECT_EQ(rgba[7], 0);
    EXPECT_EQ(rgba[11], 255);
    // a0 = 0 <= a1 = 200: index 6 = 0, 7 = 255, 2 = (4*0 + 200)/5 = 40.
    uint8_t c5[16] = {0, 200, 0, 0, 0, 0, 0, 0};
    memcpy(c5 + 8, colour, 8);
    c5[2] = 0x06 | (0x07 << 3) | (0x02 << 6); // pixels 0, 1, 2: indices 6, 7, 2
    ASSERT_TRUE(image_decompress_dxt(IMAGE_DXT5, c5, 16, 3, 1, rgba));
    EXPECT_EQ(rgba[3], 0);
    EXPECT_EQ(rgba[7], 255);
    EXPECT_EQ(rgba[11], 40);
}
