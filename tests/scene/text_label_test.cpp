// Text labels on a crop font of four solid 4 x 4 glyphs (red, green, blue, white for 'A' to
// 'D'): font look-up, layout and measure, per-glyph callbacks, draw calls and pixels.
#include <gtest/gtest.h>

#include <vector>

#include "resource/res_texture.h"
#include "scene/text_label.h"
#include "scene_test_env.h"

namespace {

constexpr uint32_t RED = 0xFFFF0000u, GREEN = 0xFF00FF00u, BG = 0xFF808080u;

class TextLabels : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(scene_test_device());
        scene_test_begin(BG);
        const uint32_t cells[4] = {RED, GREEN, 0xFF0000FFu, 0xFFFFFFFFu};
        std::vector<uint32_t> t(16 * 4);
        for (int y = 0; y < 4; ++y)
            for (int x = 0; x < 16; ++x) t[y * 16 + x] = cells[x / 4];
        tex = scene_test_texture("font", 16, 4, t);
        ASSERT_NE(tex, 0u);
        char name[16];
        for (int i = 0; i < 4; ++i) {
            snprintf(name, sizeof(name), "sq_%04d", i);
            glyphs[i] = res_create_crop("t", name, (float)(i * 4), 0, 4, 4, tex);
            ASSERT_NE(glyphs[i], 0u);
        }
        ASSERT_NE(res_create_crop("t", "other_0000", 0, 0, 4, 4, tex), 0u);
    }
    void TearDown() override { gpu_trace_enable(false); }
    SceneObject *label(const char *text, float x = 0, float y = 0, float scale = 1) {
        SceneObject *o = text2d_create(0, "t", "sq", 'A', 0xFFFFFFFFu, x, y, scale, scale, 0, 20);
        text2d_set_text(o, text);
        return o;
    }
    static float width_of(SceneObject *o) {
        float w = -1, h = -1;
        text2d_measure(o, &w, &h);
        return w;
    }
    ResourceHandle tex = 0;
    ResourceHandle glyphs[4] = {};
};

TEST_F(TextLabels, FontLookupFindsTheGlyphRun) {
    SceneObject *o = label("AB");
    const TextLabel2D *t = text2d_of(o);
    EXPECT_EQ(text2d_kind_id(), 3);
    EXPECT_EQ(t->first_glyph, glyphs[0]);
    EXPECT_EQ(t->end_glyph, glyphs[3] + 1); // "other_0000" ends the run
    EXPECT_EQ(t->texture, tex);
    EXPECT_EQ(text2d_get_glyph_height(o), 4);
    // A missing font leaves the label without one; it then draws nothing.
    SceneObject *none = text2d_create_simple(0, "t", "nofont", 'A', 0, 0, 0, 20);
    EXPECT_EQ(text2d_of(none)->first_glyph, 0u);
    text2d_set_text(none, "AB");
    obj_destroy(o);
    gpu_trace_enable(true);
    gpu_trace_clear();
    scene_test_frame();
    EXPECT_TRUE(scene_test_draw_counts().empty());
}

TEST_F(TextLabels, MeasureSkipsCharactersOutsideTheFont) {
    SceneObject *o = label("AB");
    float w = 0, h = 0;
    text2d_measure(o, &w, &h);
    EXPECT_EQ(w, 8.0f);
    EXPECT_EQ(h, 4.0f);
    text2d_set_text(o, "A\x10"
                       "B"); // below the first code
    EXPECT_EQ(width_of(o), 8.0f);
    text2d_set_text(o, "AE"); // past the font's run of crops
    EXPECT_EQ(width_of(o), 4.0f);
    text2d_set_text(o, "ABC");
    text2d_set_height(o, 20);
    text2d_set_pitch(o, 0.6f);
    EXPECT_FLOAT_EQ(width_of(o), 36.0f);
    text2d_set_text(o, nullptr);
    text2d_measure(o, &w, &h);
    EXPECT_EQ(w, 0.0f);
    EXPECT_EQ(h, 0.0f);
    text2d_measure(o, nullptr, nullptr);
}

TEST_F(TextLabels, TextLengthAndFormatting) {
    SceneObject *o = label("AB");
    const std::string long_text(129, 'A');
    text2d_set_text(o, long_text.c_str());
    EXPECT_STREQ(text2d_of(o)->text, "AB"); // too long: ignored
    text2d_set_text(o, long_text.substr(0, 128).c_str());
    EXPECT_EQ(text2d_of(o)->length, 128);
    text2d_set_text_format(o, "%s%d", "CD", 42);
    EXPECT_STREQ(text2d_of(o)->text, "CD42");
    text2d_set_text_format(o, "%s%s", long_text.c_str(), "B"); // cut to 128
    EXPECT_EQ(text2d_of(o)->length, 128);
    SceneObject *p =
        text2d_put_format(0, "t", "sq", 'A', RED, 5, 6, 1, 1, TEXT2D_ALIGN_CENTRE_X, 20, "%d", 7);
    ASSERT_NE(p, nullptr);
    EXPECT_STREQ(text2d_of(p)->text, "7");
    EXPECT_EQ(text2d_of(p)->ax, 0.5f);
    EXPECT_EQ(p->flags & OBJ_FLAG_KILL_MASK, OBJ_FLAG_KILLED);
    text2d_set_align_flags(o, TEXT2D_ALIGN_RIGHT | TEXT2D_ALIGN_BOTTOM);
    EXPECT_EQ(text2d_of(o)->ax, 1.0f);
    EXPECT_EQ(text2d_of(o)->ay, 1.0f);
}

int g_glyph_calls;
void tall_second_glyph(SceneObject *, int32_t index, GlyphParams *p, uint32_t argument) {
    ++g_glyph_calls;
    EXPECT_EQ(argument, 77u);
    if (index == 1) p->scale_y = 2.0f;
}

TEST_F(TextLabels, GlyphCallbackScalesOneGlyphAboutItsPivot) {
    g_glyph_calls = 0;
    SceneObject *o = label("AB");
    text2d_set_glyph_callback(o, tall_second_glyph, 77);
    width_of(o);
    EXPECT_EQ(g_glyph_calls, 2);
    text2d_set_shadow(o, 1, 1, 0xFF000000u);
    scene_test_frame();
    EXPECT_EQ(g_glyph_calls, 2 + 4);             // shadow and main pass
    const ScreenVertex *v = gfx_text_vertices(); // the main pass, written last
    EXPECT_FLOAT_EQ(v[0].y, -0.5f);
    EXPECT_FLOAT_EQ(v[3].y, 3.5f);
    EXPECT_FLOAT_EQ(v[4].x, 3.5f); // the neighbour keeps its place
    EXPECT_FLOAT_EQ(v[4].y, -2.5f);
    EXPECT_FLOAT_EQ(v[7].y, 5.5f);
    // A new label in the same record starts without the callback.
    obj_destroy(o);
    label("AB");
    g_glyph_calls = 0;
    scene_test_frame();
    EXPECT_EQ(g_glyph_calls, 0);
}

TEST_F(TextLabels, ShadowAndMainPassesInPixels) {
    SceneObject *o = label("AB", 20, 20, 4);
    text2d_set_shadow(o, 3, 3, 0xFF000000u);
    gpu_trace_enable(true);
    gpu_trace_clear();
    scene_test_frame();
    EXPECT_EQ(scene_test_draw_counts(), (std::vector<uint32_t>{4, 4})); // two glyph quads each
    EXPECT_EQ(test_pixel(27, 27), RED);
    EXPECT_EQ(test_pixel(43, 27), GREEN);
    EXPECT_EQ(test_pixel(53, 37), 0xFF000000u); // shadow only
    EXPECT_EQ(test_pixel(57, 27), BG);
    EXPECT_EQ(test_pixel(27, 18), BG);
}

TEST_F(TextLabels, AlignFlagsPlaceTheText) {
    SceneObject *c = label("AB", 80, 60, 2);
    text2d_set_align_flags(c, TEXT2D_ALIGN_CENTRE_X | TEXT2D_ALIGN_CENTRE_Y);
    SceneObject *br = label("A", 40, 100, 2);
    text2d_set_align_flags(br, TEXT2D_ALIGN_RIGHT | TEXT2D_ALIGN_BOTTOM);
    scene_test_frame();
    // "AB" at scale 2 is 16 x 8, centred on (80, 60).
    EXPECT_EQ(test_pixel(73, 57), RED);
    EXPECT_EQ(test_pixel(86, 62), GREEN);
    EXPECT_EQ(test_pixel(71, 60), BG);
    EXPECT_EQ(test_pixel(80, 55), BG);
    // "A" (8 x 8) with its bottom-right corner on (40, 100); its edge texels blend with
    // their neighbours under linear filtering, so only the inner ones are exact.
    EXPECT_EQ(test_pixel(34, 94), RED);
    EXPECT_EQ(test_pixel(37, 97), RED);
    EXPECT_NE(test_pixel(39, 99), BG);
    EXPECT_EQ(test_pixel(40, 99), BG);
    EXPECT_EQ(test_pixel(39, 100), BG);
}

} // namespace
