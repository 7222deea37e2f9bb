// The font sheet carried inside the renderer decodes to its documented layout.
#include "platform/image/image.h"
#include "render/builtin_font_png.h"

#include <gtest/gtest.h>

namespace {

// Sum of alpha over the 8 x 16 cell of a character (cells start at code 32).
int cell_alpha(const Image &img, char c) {
    int sum = 0, x0 = (c - 32) * 8;
    for (int y = 0; y < 16; ++y)
        for (int x = x0; x < x0 + 8; ++x) sum += img.data[(size_t(y) * 512 + size_t(x)) * 4 + 3];
    return sum;
}

} // namespace

TEST(BuiltinFontSheet, DecodesToWhiteCellsWithGlyphsInAlpha) {
    Image img;
    char err[128];
    ASSERT_TRUE(image_decode(builtin_font_png, builtin_font_png_size, &img, err, sizeof(err)))
        << err;
    ASSERT_EQ(img.width, 512);
    ASSERT_EQ(img.height, 16);
    ASSERT_EQ(img.kind, IMAGE_RGBA8);
    EXPECT_TRUE(img.has_alpha);

    int partial = 0;
    for (size_t i = 0; i < size_t(512 * 16); ++i) {
        const uint8_t *p = img.data + i * 4;
        ASSERT_TRUE(p[0] == 255 && p[1] == 255 && p[2] == 255) << "pixel " << i;
        partial += p[3] > 0 && p[3] < 255;
    }
    EXPECT_GT(partial, 0); // edges are antialiased

    EXPECT_EQ(cell_alpha(img, ' '), 0);
    EXPECT_GT(cell_alpha(img, 'H'), 255 * 20);
    // Every other character has a glyph of its own.
    for (char c = '!'; c <= '_'; ++c) EXPECT_GT(cell_alpha(img, c), 0) << c;

    // 'H': two stems and a bar, with the space between the stems open above the bar.
    const int hx = ('H' - 32) * 8;
    auto alpha = [&](int x, int y) { return img.data[(size_t(y) * 512 + size_t(x)) * 4 + 3]; };
    EXPECT_EQ(alpha(hx + 0, 5), 255);
    EXPECT_EQ(alpha(hx + 6, 5), 255);
    EXPECT_EQ(alpha(hx + 3, 5), 0);
    EXPECT_EQ(alpha(hx + 3, 7), 255);
    image_free(&img);
}
