// The two text passes read back from the back buffer: bitmap glyphs against the built-in sheet,
// outline glyphs against the face's own rasterisation.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "frame_test_env.h"
#include "platform/font/font.h"
#include "render/font.h"
#include "render/gfx_frame.h"
#include "render/text_queue.h"
#include "resource/res_texture.h"

namespace {

constexpr uint32_t BLACK = 0xFF000000u;

class TextDrawTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(frame_test_start());
        frame_test_fresh();
    }
};

// Lit pixels (any channel above 40) in a block of the back buffer.
int lit_in(int x, int y, int w, int h) {
    int n = 0;
    for (uint32_t px : test_pixel_block(x, y, w, h)) n += test_color_distance(px, BLACK) > 40;
    return n;
}

// A bitmap-font glyph drawn white at 8 x 16 over black shows the sheet's alpha in every channel.
void expect_sheet_glyph(int x, int y, int cell) {
    const ResourceHandle sheet = font_atlas_set()->textures[0];
    const std::vector<uint32_t> block = test_pixel_block(x, y, 8, 16);
    int worst = 0, covered = 0;
    for (int py = 0; py < 16; ++py)
        for (int px = 0; px < 8; ++px) {
            const uint32_t alpha = res_texture_read_pixel(sheet, cell * 8 + px, py) >> 24;
            const uint32_t drawn = block[py * 8 + px];
            const int d = test_color_distance(drawn, 0xFF000000u | alpha * 0x010101u);
            if (d > worst) worst = d;
            covered += alpha > 128;
        }
    EXPECT_LE(worst, 2) << "cell " << cell << " at " << x << ", " << y;
    EXPECT_GT(covered, 4) << "cell " << cell << " is blank in the sheet";
}

// An outline text as the face rasterises it, glyph by glyph from the pen position of a text
// whose rectangle starts at (left, top), in the green channel of the back buffer.
void expect_outline_codes(const char *face_name, int32_t cell, const std::vector<uint32_t> &codes,
                          int left, int top) {
    FontFace *face = font_face_open(face_name);
    ASSERT_NE(face, nullptr);
    ASSERT_TRUE(font_face_set_cell_height(face, cell));
    FontMetrics m;
    font_face_metrics(face, &m);
    int pen = left;
    for (uint32_t code : codes) {
        FontGlyph g;
        ASSERT_TRUE(font_face_glyph(face, code, &g));
        ASSERT_FALSE(g.missing);
        const int x0 = pen + g.bearing_x, y0 = top + m.ascender - g.bearing_y;
        const std::vector<uint32_t> block = test_pixel_block(x0, y0, g.width, g.height);
        int worst = 0;
        for (int i = 0; i < g.width * g.height; ++i) {
            const int green = (int)((block[i] >> 8) & 0xFF);
            const int d = std::abs(green - (int)g.coverage[i]);
            if (d > worst) worst = d;
            EXPECT_EQ(block[i] & 0x00FF00FFu, 0u); // the command's colour has no red or blue
        }
        EXPECT_LE(worst, 2) << "code point " << code;
        pen += g.advance;
    }
    font_face_close(face);
}

void expect_outline_text(const char *face_name, int32_t cell, const char *text, int left, int top) {
    expect_outline_codes(face_name, cell, std::vector<uint32_t>(text, text + strlen(text)), left,
                         top);
}

// The face every outline font was made from: font.cf is absent, so the built-in default name.
const char DefaultFace[] = "\x82\x6C\x82\x72\x81\x40\x82\x6F\x83\x53\x83\x56\x83\x62\x83\x4E";

} // namespace

TEST_F(TextDrawTest, BitmapTextRightAlignedUsesTheSheetGlyphs) {
    const int32_t q = gfx_get_bitmap_text_queue();
    text_printf_styled(q, TEXT_ALIGN_RIGHT, 0, 16, 150, 20, 0xFFFFFFFFu, "HELLO");
    gfx_render_frame(0);
    // Five glyphs of 8 pixels end at x = 150: they start at 150 - 0.5 - 40.
    const char *text = "HELLO";
    for (int i = 0; i < 5; ++i) expect_sheet_glyph(110 + 8 * i, 20, text[i] - 32);
    EXPECT_EQ(lit_in(100, 16, 10, 24), 0);
    EXPECT_EQ(lit_in(150, 16, 10, 24), 0);
    // The pass rewound its queue.
    const TextQueue *row = text_queue_row(q);
    EXPECT_EQ(row->write, row->buffer);
}

TEST_F(TextDrawTest, BitmapAlignmentAndColour) {
    const int32_t q = gfx_get_bitmap_text_queue();
    text_printf_styled(q, TEXT_ALIGN_CENTRE_X | TEXT_ALIGN_BOTTOM, 0, 16, 80, 60, 0xFF00FF00u,
                       "AB");
    text_printf_styled(q, TEXT_ALIGN_CENTRE_Y, 0, 32, 10, 90, 0xFFFFFFFFu, "M");
    gfx_render_frame(0);
    // Centred on x = 80 (from 72), bottom edge at y = 60 (from 44): green only.
    int green = 0;
    for (uint32_t px : test_pixel_block(72, 44, 16, 16)) {
        EXPECT_EQ(px & 0x00FF00FFu, 0u);
        green += ((px >> 8) & 0xFF) > 200;
    }
    EXPECT_GT(green, 10);
    EXPECT_EQ(lit_in(60, 30, 12, 40) + lit_in(88, 30, 12, 40), 0);
    EXPECT_EQ(lit_in(72, 60, 16, 8), 0);
    // Height 32: a 16 x 32 glyph centred vertically on y = 90 (from 74 to 106).
    EXPECT_GT(lit_in(10, 74, 16, 32), 40);
    EXPECT_EQ(lit_in(10, 64, 16, 10) + lit_in(10, 106, 16, 10) + lit_in(26, 74, 8, 32), 0);
}

TEST_F(TextDrawTest, DoubleByteCharactersAndBadCommands) {
    const int32_t q = gfx_get_bitmap_text_queue();
    // 0x82 0x9F is glyph 97: column 33 of a second sheet row, which wraps onto 'A'.
    text_printf_at(q, 10, 10, 0xFFFFFFFFu, "\x82\x9F");
    // A command naming a font outside the table is skipped; the next one still draws.
    text_printf_font(q, 9, 50, 10, 0xFFFFFFFFu, "X");
    text_printf_font(q, -1, 50, 10, 0xFFFFFFFFu, "X");
    // A lead byte at the very end has no trail byte: nothing is drawn for it.
    text_printf_at(q, 70, 10, 0xFFFFFFFFu, "A\x82");
    gfx_render_frame(0);
    expect_sheet_glyph(10, 10, 'A' - 32);
    EXPECT_EQ(lit_in(50, 10, 8, 16), 0);
    expect_sheet_glyph(70, 10, 'A' - 32);
    EXPECT_EQ(lit_in(78, 10, 16, 16), 0);
}

TEST_F(TextDrawTest, EveryBitmapFontCutsTheOneSheet) {
    const int32_t q = gfx_get_bitmap_text_queue();
    // Font 2 is listed with 16 glyph columns, but the sheet holds 64 in one row: its glyphs
    // must still be the sheet's cells for the same characters.
    text_printf_font(q, 2, 10, 10, 0xFFFFFFFFu, "HI");
    // Font 1's size follows the screen width (0.03 x 160 = 4.8) while the sheet keeps 1/24:
    // its glyphs are drawn at 16 x 4.8 / 24 = 3.2 pixels high.
    text_printf_font(q, 1, 10, 60, 0xFFFFFFFFu, "HHHH");
    gfx_render_frame(0);
    expect_sheet_glyph(10, 10, 'H' - 32);
    expect_sheet_glyph(18, 10, 'I' - 32);
    EXPECT_GT(lit_in(10, 59, 10, 5), 0);
    EXPECT_EQ(lit_in(10, 64, 40, 20), 0);
}

TEST_F(TextDrawTest, OverlongCommandEndsTheBitmapPass) {
    const int32_t q = gfx_get_bitmap_text_queue();
    text_printf_at(q, 0, 0, 0xFFFFFFFFu, "A");
    text_printf_styled(q, 0, 0, 1, 0, 100, 0xFFFFFFFFu, "%s", std::string(1001, 'W').c_str());
    text_printf_at(q, 40, 40, 0xFFFFFFFFu, "A");
    gfx_render_frame(0);
    expect_sheet_glyph(0, 0, 'A' - 32);
    EXPECT_EQ(lit_in(40, 40, 8, 16), 0);
    EXPECT_EQ(lit_in(0, 96, FRAME_TEST_WIDTH, 8), 0);
    const TextQueue *row = text_queue_row(q);
    EXPECT_EQ(row->write, row->buffer); // rewound all the same
}

TEST_F(TextDrawTest, OutlineTextMatchesTheFaceGlyphs) {
    ASSERT_NE(font_outline_set()->fonts[0], nullptr);
    const int32_t q = gfx_get_outline_text_queue();
    text_printf_font(q, 0, 10, 60, 0xFF00FF00u, "Hello");
    text_printf_styled(q, TEXT_ALIGN_RIGHT, 0, 99, 100, 20, 0xFF00FF00u, "ii");
    text_printf_font(q, 0, 110, 90, 0xFF00FF00u, "\x82\xA0\x82\xA2"); // code page 932
    text_printf_styled(q, TEXT_ALIGN_RIGHT, 0, 16, INT32_MIN, INT32_MAX, 0xFFFFFFFFu, "far");
    gfx_render_frame(0);
    // The rectangle starts at trunc(10 - 0.5), trunc(60 - 0.5); the size word is not used.
    expect_outline_text(DefaultFace, 16, "Hello", 9, 59);
    // Right-aligned: half the font size per byte to the left, trunc(100 - 0.5 - 16).
    expect_outline_text(DefaultFace, 16, "ii", 83, 19);
    expect_outline_codes(DefaultFace, 16, {0x3042, 0x3044}, 109, 89);
    // Antialiased: part-covered pixels exist, and nothing is drawn left of or above the texts.
    int partial = 0;
    for (uint32_t px : test_pixel_block(9, 59, 60, 20)) {
        const int g = (px >> 8) & 0xFF;
        partial += g > 20 && g < 230;
    }
    EXPECT_GT(partial, 5);
    EXPECT_EQ(lit_in(0, 40, 9, 40), 0);
    EXPECT_EQ(lit_in(0, 0, 83, 19), 0);
}

TEST_F(TextDrawTest, OutlineAtlasStartsOverWhenFull) {
    OutlineFont *font = font_outline_set()->fonts[0];
    ASSERT_NE(font, nullptr);
    font_outline_clear(font);
    bool full = false;
    ASSERT_NE(font_outline_glyph(font, 'H', &full), nullptr);
    ASSERT_NE(font_outline_glyph(font, 'e', &full), nullptr);
    int placed = 0;
    for (uint32_t cp = 0x4E00; cp < 0x4E00 + 2000 && !full; ++cp)
        if (font_outline_glyph(font, cp, &full)) ++placed;
    ASSERT_TRUE(full);
    EXPECT_GT(placed, 50);
    // "He" are in the atlas, "llo" are not: the atlas starts over part-way through the text,
    // after the glyphs before were drawn, and everything still comes out right.
    text_printf_font(gfx_get_outline_text_queue(), 0, 10, 60, 0xFF00FF00u, "Hello");
    gfx_render_frame(0);
    expect_outline_text(DefaultFace, 16, "Hello", 9, 59);
    EXPECT_LT(font->glyph_count, 10);
}
