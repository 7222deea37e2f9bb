// Outline faces: lookup with fallbacks, glyph coverage and metrics, measuring, CP932 text.
#include "platform/font/font.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

// The Shift-JIS name of the proportional Gothic face the data asks for by default;
// it is not installed here, so opening it exercises the fallback.
const char DEFAULT_FACE[] = "\x82\x6C\x82\x72\x81\x40\x82\x6F\x83\x53\x83\x56\x83\x62\x83\x4E";

struct FaceTest : testing::Test {
    FontFace *face = nullptr;
    void SetUp() override {
        face = font_face_open(DEFAULT_FACE);
        ASSERT_NE(face, nullptr);
    }
    void TearDown() override { font_face_close(face); }
};

int coverage_sum(const FontGlyph &g) {
    int sum = 0;
    for (int i = 0; i < g.width * g.height; ++i) sum += g.coverage[i];
    return sum;
}

} // namespace

TEST_F(FaceTest, DefaultNameFallsBackToAJapaneseFace) {
    FontGlyph g;
    ASSERT_TRUE(font_face_glyph(face, 0x3042, &g)); // hiragana A
    EXPECT_FALSE(g.missing) << font_face_family(face);
    EXPECT_GT(coverage_sum(g), 0);
    EXPECT_NE(font_face_file(face)[0], 0);
}

TEST(FontOpen, NamedFacesAndFallbacks) {
    // An installed family is taken by its name, whatever its case.
    FontFace *named = font_face_open("dejavu sans");
    ASSERT_NE(named, nullptr);
    EXPECT_STREQ(font_face_family(named), "DejaVu Sans");
    font_face_close(named);
    named = font_face_open("DejaVu Sans\r\n"); // as read whole from a name file
    ASSERT_NE(named, nullptr);
    EXPECT_STREQ(font_face_family(named), "DejaVu Sans");
    font_face_close(named);

    // Unknown, empty and null names all end at a face that can draw kana.
    for (const char *name : {"No Such Face 123", "", static_cast<const char *>(nullptr)}) {
        FontFace *f = font_face_open(name);
        ASSERT_NE(f, nullptr);
        FontGlyph g;
        ASSERT_TRUE(font_face_glyph(f, 0x3042, &g));
        EXPECT_FALSE(g.missing) << font_face_family(f);
        font_face_close(f);
    }
    font_face_close(nullptr); // closing nothing is harmless
}

TEST_F(FaceTest, LetterARasterisesWithSensibleMetrics) {
    ASSERT_TRUE(font_face_set_pixel_height(face, 32));
    FontMetrics m;
    font_face_metrics(face, &m);
    EXPECT_EQ(m.em_pixels, 32);
    EXPECT_GT(m.ascender, 16);
    EXPECT_LE(m.ascender, 48);
    EXPECT_GT(m.descender, 0);
    EXPECT_LT(m.descender, 24);
    EXPECT_NEAR(m.line_height, m.ascender + m.descender, 2);

    FontGlyph g;
    ASSERT_TRUE(font_face_glyph(face, 'A', &g));
    EXPECT_FALSE(g.missing);
    EXPECT_GT(g.width, 8);
    EXPECT_LT(g.width, 32);
    // A capital sits on the baseline and reaches most of the ascender.
    EXPECT_GT(g.bearing_y, 16);
    EXPECT_LE(g.bearing_y, m.ascender);
    EXPECT_NEAR(g.height, g.bearing_y, 2);
    EXPECT_GT(g.advance, g.width - 2);
    EXPECT_LT(g.advance, 32);
    // Antialiased: full coverage inside the strokes and partial values at their edges.
    int full = 0, partial = 0;
    for (int i = 0; i < g.width * g.height; ++i) {
        full += g.coverage[i] == 255;
        partial += g.coverage[i] > 0 && g.coverage[i] < 255;
    }
    EXPECT_GT(full, 0);
    EXPECT_GT(partial, 0);
    // The apex is at the top and centred: the top row has ink in the middle third only.
    const uint8_t *top = g.coverage;
    for (int x = 0; x < g.width / 4; ++x) EXPECT_EQ(top[x], 0) << x;
}

TEST_F(FaceTest, SizesChangeGlyphsAndSpaceIsBlank) {
    FontGlyph g;
    ASSERT_TRUE(font_face_set_pixel_height(face, 16));
    ASSERT_TRUE(font_face_glyph(face, 'H', &g));
    int small = g.height;
    ASSERT_TRUE(font_face_set_pixel_height(face, 64));
    ASSERT_TRUE(font_face_glyph(face, 'H', &g));
    EXPECT_NEAR(g.height, small * 4, 4);

    ASSERT_TRUE(font_face_glyph(face, ' ', &g));
    EXPECT_EQ(g.width * g.height, 0);
    EXPECT_GT(g.advance, 0);

    EXPECT_FALSE(font_face_set_pixel_height(face, 0));
    EXPECT_FALSE(font_face_set_pixel_height(face, 100000));

    // The cell height covers ascent and descent together.
    ASSERT_TRUE(font_face_set_cell_height(face, 40));
    FontMetrics m;
    font_face_metrics(face, &m);
    EXPECT_LT(m.em_pixels, 40);
    EXPECT_NEAR(m.ascender + m.descender, 40, 3);
}

TEST_F(FaceTest, MeasureIsTheSumOfAdvances) {
    ASSERT_TRUE(font_face_set_pixel_height(face, 24));
    FontGlyph a, b;
    ASSERT_TRUE(font_face_glyph(face, 'a', &a));
    ASSERT_TRUE(font_face_glyph(face, 'b', &b));
    const uint32_t ab[] = {'a', 'b'};
    EXPECT_EQ(font_face_measure(face, ab, 2), a.advance + b.advance);
    const uint32_t kana[] = {0x3042, 0x3044, 0x3046};
    FontGlyph k;
    ASSERT_TRUE(font_face_glyph(face, 0x3042, &k));
    EXPECT_EQ(font_face_measure(face, kana, 3), k.advance * 3); // full-width kana share a width
    EXPECT_EQ(font_face_measure(face, ab, 0), 0);
}

TEST(Cp932, ConvertsSingleAndDoubleByteCharacters) {
    uint32_t out[16];
    ASSERT_EQ(font_cp932_to_utf32("\x82\xa0", 2, out, 16), 1u);
    EXPECT_EQ(out[0], 0x3042u);

    // ASCII, a half-width katakana and a kanji.
    const char text[] = "A1\xb1\x8a\xbf";
    ASSERT_EQ(font_cp932_to_utf32(text, 5, out, 16), 4u);
    EXPECT_EQ(out[0], uint32_t('A'));
    EXPECT_EQ(out[1], uint32_t('1'));
    EXPECT_EQ(out[2], 0xFF71u);
    EXPECT_EQ(out[3], 0x6F22u);

    // The default face name converts to full-width letters and kana.
    const char name[] = "\x82\x6C\x82\x72\x81\x40\x82\x6F";
    ASSERT_EQ(font_cp932_to_utf32(name, 8, out, 16), 4u);
    EXPECT_EQ(out[0], 0xFF2Du);
    EXPECT_EQ(out[2], 0x3000u);
}

TEST(Cp932, BoundsAndBadBytes) {
    uint32_t out[8] = {};
    // A lead byte at the end is dropped: the converter gets exactly the bytes given.
    char *heap = new char[3];
    memcpy(heap, "ab\x82", 3);
    ASSERT_EQ(font_cp932_to_utf32(heap, 3, out, 8), 2u);
    EXPECT_EQ(out[1], uint32_t('b'));
    delete[] heap;

    // A byte that starts nothing becomes U+FFFD and the rest still converts.
    ASSERT_EQ(font_cp932_to_utf32("x\xa0y", 3, out, 8), 3u);
    EXPECT_EQ(out[1], 0xFFFDu);
    EXPECT_EQ(out[2], uint32_t('y'));

    // The output bound holds, and the next call starts from a clean state.
    ASSERT_EQ(font_cp932_to_utf32("\x82\xa0\x82\xa2\x82\xa4", 6, out, 2), 2u);
    EXPECT_EQ(out[1], 0x3044u);
    ASSERT_EQ(font_cp932_to_utf32("z", 1, out, 8), 1u);
    EXPECT_EQ(out[0], uint32_t('z'));
    EXPECT_EQ(font_cp932_to_utf32("abc", 3, out, 0), 0u);
}

// fontconfig keeps a little of its parsed configuration unreachable for good; that is
// its own, not ours, so the leak checker of sanitised builds is told to pass over it.
extern "C" const char *__lsan_default_suppressions() {
    return "leak:libfontconfig.so\n";
}
