// PNG and JPEG decoding: sizes, orientation, channel expansion, alpha.
#include "image_test_util.h"
#include "platform/image/image.h"

#include <gtest/gtest.h>
#include <png.h>

#include <cstdlib>

namespace {

std::vector<uint8_t> pattern_rgba() {
    std::vector<uint8_t> px(100 * 60 * 4);
    for (int y = 0; y < 60; ++y)
        for (int x = 0; x < 100; ++x) test_pattern_pixel(x, y, &px[size_t(y * 100 + x) * 4]);
    return px;
}

const uint8_t *pixel(const Image &img, int x, int y) {
    return img.data + (size_t(y) * size_t(img.width) + size_t(x)) * 4;
}

void expect_rgba(const Image &img, int x, int y, int r, int g, int b, int a) {
    const uint8_t *p = pixel(img, x, y);
    EXPECT_EQ(p[0], r) << x << "," << y;
    EXPECT_EQ(p[1], g) << x << "," << y;
    EXPECT_EQ(p[2], b) << x << "," << y;
    EXPECT_EQ(p[3], a) << x << "," << y;
}

} // namespace

TEST(Png, RgbaDecodesTopRowFirstWithEveryPixel) {
    for (bool interlaced : {false, true}) {
        PngSpec spec;
        spec.width = 100, spec.height = 60, spec.colour_type = PNG_COLOR_TYPE_RGBA;
        spec.interlaced = interlaced;
        spec.rows = pattern_rgba();
        std::vector<uint8_t> file = test_encode_png(spec);
        Image img;
        char err[128];
        ASSERT_TRUE(image_decode(file.data(), file.size(), &img, err, sizeof(err))) << err;
        EXPECT_EQ(img.width, 100);
        EXPECT_EQ(img.height, 60);
        EXPECT_EQ(img.kind, IMAGE_RGBA8);
        EXPECT_EQ(img.levels, 1);
        EXPECT_TRUE(img.has_alpha);
        ASSERT_EQ(img.size, size_t(100 * 60 * 4));
        EXPECT_EQ(img.level_size[0], img.size);
        EXPECT_EQ(0, memcmp(img.data, spec.rows.data(), img.size)) << "interlaced " << interlaced;
        image_free(&img);
        EXPECT_EQ(img.data, nullptr);
    }
}

TEST(Png, RgbWithoutAlphaGetsOpaqueAlpha) {
    PngSpec spec;
    spec.width = 3, spec.height = 2, spec.colour_type = PNG_COLOR_TYPE_RGB;
    spec.rows = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18};
    std::vector<uint8_t> file = test_encode_png(spec);
    Image img;
    ASSERT_TRUE(image_decode(file.data(), file.size(), &img, nullptr, 0));
    EXPECT_FALSE(img.has_alpha);
    expect_rgba(img, 0, 0, 1, 2, 3, 255);
    expect_rgba(img, 2, 1, 16, 17, 18, 255);
    image_free(&img);
}

TEST(Png, GreyPaletteSixteenBitAndTransparencyExpand) {
    Image img;
    { // 1-bit grey: 0 -> black, 1 -> white
        PngSpec spec;
        spec.width = 8, spec.height = 1, spec.colour_type = PNG_COLOR_TYPE_GRAY, spec.bit_depth = 1;
        spec.rows = {0xA0};
        std::vector<uint8_t> file = test_encode_png(spec);
        ASSERT_TRUE(image_decode(file.data(), file.size(), &img, nullptr, 0));
        expect_rgba(img, 0, 0, 255, 255, 255, 255);
        expect_rgba(img, 1, 0, 0, 0, 0, 255);
        expect_rgba(img, 2, 0, 255, 255, 255, 255);
        EXPECT_FALSE(img.has_alpha);
        image_free(&img);
    }
    { // grey with a tRNS key: the key grey becomes transparent
        PngSpec spec;
        spec.width = 2, spec.height = 1, spec.colour_type = PNG_COLOR_TYPE_GRAY;
        spec.rows = {40, 90};
        spec.trns = {0, 90};
        std::vector<uint8_t> file = test_encode_png(spec);
        ASSERT_TRUE(image_decode(file.data(), file.size(), &img, nullptr, 0));
        EXPECT_TRUE(img.has_alpha);
        expect_rgba(img, 0, 0, 40, 40, 40, 255);
        expect_rgba(img, 1, 0, 90, 90, 90, 0);
        image_free(&img);
    }
    { // 4-bit palette with per-entry alpha; the third entry has none given (opaque)
        PngSpec spec;
        spec.width = 3, spec.height = 1, spec.colour_type = PNG_COLOR_TYPE_PALETTE;
        spec.bit_depth = 4;
        spec.palette = {10, 20, 30, 40, 50, 60, 70, 80, 90};
        spec.trns = {0, 128};
        spec.rows = {0x12, 0x00};
        std::vector<uint8_t> file = test_encode_png(spec);
        ASSERT_TRUE(image_decode(file.data(), file.size(), &img, nullptr, 0));
        EXPECT_TRUE(img.has_alpha);
        expect_rgba(img, 0, 0, 40, 50, 60, 128);
        expect_rgba(img, 1, 0, 70, 80, 90, 255);
        expect_rgba(img, 2, 0, 10, 20, 30, 0);
        image_free(&img);
    }
    { // 16-bit grey+alpha scales to 8 bits
        PngSpec spec;
        spec.width = 1, spec.height = 1, spec.colour_type = PNG_COLOR_TYPE_GRAY_ALPHA;
        spec.bit_depth = 16;
        spec.rows = {0xFF, 0xFF, 0x80, 0x00};
        std::vector<uint8_t> file = test_encode_png(spec);
        ASSERT_TRUE(image_decode(file.data(), file.size(), &img, nullptr, 0));
        EXPECT_TRUE(img.has_alpha);
        expect_rgba(img, 0, 0, 255, 255, 255, 128);
        image_free(&img);
    }
}

TEST(Png, CorruptChecksumFails) {
    PngSpec spec;
    spec.width = 4, spec.height = 4, spec.colour_type = PNG_COLOR_TYPE_RGB;
    spec.rows.assign(4 * 4 * 3, 77);
    std::vector<uint8_t> file = test_encode_png(spec);
    file[8 + 8 + 5] ^= 0xFF; // inside IHDR, so its CRC no longer matches
    Image img;
    char err[128] = "";
    EXPECT_FALSE(image_decode(file.data(), file.size(), &img, err, sizeof(err)));
    EXPECT_NE(err[0], 0);
    EXPECT_EQ(img.data, nullptr);
}

TEST(Jpeg, DecodesSizeAndColoursWithinTolerance) {
    std::vector<uint8_t> rgba = pattern_rgba(), rgb(100 * 60 * 3);
    for (size_t i = 0; i < 100 * 60; ++i) memcpy(&rgb[i * 3], &rgba[i * 4], 3);
    for (bool progressive : {false, true}) {
        std::vector<uint8_t> file = test_encode_jpeg(rgb.data(), 100, 60, 3, 95, progressive);
        Image img;
        char err[128];
        ASSERT_TRUE(image_decode(file.data(), file.size(), &img, err, sizeof(err))) << err;
        EXPECT_EQ(img.width, 100);
        EXPECT_EQ(img.height, 60);
        EXPECT_FALSE(img.has_alpha);
        // Away from the quadrant edges the colours survive compression closely.
        const int probes[4][2] = {{10, 10}, {80, 10}, {10, 50}, {80, 50}};
        for (const auto &p : probes) {
            uint8_t want[4];
            test_pattern_pixel(p[0], p[1], want);
            const uint8_t *got = pixel(img, p[0], p[1]);
            for (int k = 0; k < 3; ++k) EXPECT_NEAR(got[k], want[k], 8) << p[0] << "," << p[1];
            EXPECT_EQ(got[3], 255);
        }
        image_free(&img);
    }
}

TEST(Jpeg, GreyExpandsToRgb) {
    std::vector<uint8_t> grey(16 * 8);
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 16; ++x) grey[size_t(y * 16 + x)] = x < 8 ? 30 : 220;
    std::vector<uint8_t> file = test_encode_jpeg(grey.data(), 16, 8, 1, 95);
    Image img;
    ASSERT_TRUE(image_decode(file.data(), file.size(), &img, nullptr, 0));
    const uint8_t *a = pixel(img, 2, 4), *b = pixel(img, 13, 4);
    EXPECT_NEAR(a[0], 30, 4);
    EXPECT_EQ(a[0], a[1]);
    EXPECT_EQ(a[0], a[2]);
    EXPECT_NEAR(b[0], 220, 4);
    EXPECT_EQ(b[3], 255);
    image_free(&img);
}
