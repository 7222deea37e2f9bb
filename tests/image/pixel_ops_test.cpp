// Resampling, mip halving and power-of-two sizes.
#include "platform/image/image.h"

#include <gtest/gtest.h>

#include <vector>

TEST(Resize, StretchesWithPixelCentresAndClampedEdges) {
    // Two pixels, 0 and 200, over four: centres map to -0.25, 0.25, 0.75, 1.25.
    const uint8_t src[8] = {0, 0, 0, 255, 200, 100, 40, 255};
    uint8_t dst[16];
    image_resize_rgba(src, 2, 1, dst, 4, 1);
    EXPECT_EQ(dst[0], 0);
    EXPECT_EQ(dst[4], 50);
    EXPECT_EQ(dst[8], 150);
    EXPECT_EQ(dst[12], 200);
    EXPECT_EQ(dst[5], 25);
    EXPECT_EQ(dst[7], 255);

    // Same size is a copy; a flat image stays flat at any size.
    std::vector<uint8_t> img(5 * 3 * 4), out(5 * 3 * 4);
    for (size_t i = 0; i < img.size(); ++i) img[i] = uint8_t(i * 13);
    image_resize_rgba(img.data(), 5, 3, out.data(), 5, 3);
    EXPECT_EQ(img, out);
    std::vector<uint8_t> flat(3 * 7 * 4, 99), big(8 * 16 * 4, 0);
    image_resize_rgba(flat.data(), 3, 7, big.data(), 8, 16);
    for (uint8_t v : big) ASSERT_EQ(v, 99);
}

TEST(Resize, VerticalInterpolation) {
    const uint8_t src[8] = {0, 0, 0, 0, 100, 100, 100, 100}; // 1 wide, 2 high
    uint8_t dst[16];
    image_resize_rgba(src, 1, 2, dst, 1, 4);
    EXPECT_EQ(dst[0], 0);
    EXPECT_EQ(dst[4], 25);
    EXPECT_EQ(dst[8], 75);
    EXPECT_EQ(dst[12], 100);
}

TEST(Halve, BoxAveragesAndOddSizes) {
    // 3x2 -> 1x1 from the left 2x2 block (the odd column is dropped).
    const uint8_t src[3 * 2 * 4] = {10, 0, 0, 255, 20, 0, 0, 255, 250, 0, 0, 255,
                                    30, 0, 0, 0,   41, 4, 0, 0,   250, 0, 0, 0};
    uint8_t dst[4];
    image_halve_rgba(src, 3, 2, dst);
    EXPECT_EQ(dst[0], 25); // (10+20+30+41+2)/4
    EXPECT_EQ(dst[1], 1);
    EXPECT_EQ(dst[3], 128);

    // 1x4 -> 1x2: a single column averages vertical pairs.
    const uint8_t col[16] = {0, 0, 0, 0, 100, 0, 0, 0, 50, 0, 0, 0, 51, 0, 0, 0};
    uint8_t out[8];
    image_halve_rgba(col, 1, 4, out);
    EXPECT_EQ(out[0], 50);
    EXPECT_EQ(out[4], 51);
}

TEST(NextPow2, RoundsUp) {
    EXPECT_EQ(image_next_pow2(1), 1);
    EXPECT_EQ(image_next_pow2(2), 2);
    EXPECT_EQ(image_next_pow2(3), 4);
    EXPECT_EQ(image_next_pow2(100), 128);
    EXPECT_EQ(image_next_pow2(512), 512);
    EXPECT_EQ(image_next_pow2(513), 1024);
    EXPECT_EQ(image_next_pow2(0), 1);
}
