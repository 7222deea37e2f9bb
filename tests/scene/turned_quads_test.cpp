// Labels and sprites build their quads the same way: a glyph that its callback turns, scales
// and pivots lands on the same pixels as a sprite of the same crop with the same settings.
#include <gtest/gtest.h>

#include <vector>

#include "resource/res_texture.h"
#include "scene/sprite2d.h"
#include "scene/text_label.h"
#include "scene_test_env.h"

namespace {

constexpr uint32_t BG = 0xFF202020u;
constexpr float TURN = 0.6f, PIVOT_X = 0.25f, PIVOT_Y = 0.75f, SCALE_X = 1.5f;

void turn_glyph(SceneObject *, int32_t, GlyphParams *p, uint32_t) {
    p->rotation = TURN;
    p->pivot_x = PIVOT_X;
    p->pivot_y = PIVOT_Y;
    p->scale_x = SCALE_X;
}

class TurnedQuads : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(scene_test_device());
        begin();
    }
    // A fresh scene and resource pools with the font: one 8 x 8 glyph with a different colour
    // in each quarter, so a wrong turn or mirror shows.
    void begin() {
        scene_test_begin(BG);
        std::vector<uint32_t> t(8 * 8);
        const uint32_t quarter[4] = {0xFFFF0000u, 0xFF00FF00u, 0xFF0000FFu, 0xFFFFFF00u};
        for (int y = 0; y < 8; ++y)
            for (int x = 0; x < 8; ++x) t[y * 8 + x] = quarter[(y / 4) * 2 + x / 4];
        tex = scene_test_texture("glyphs", 8, 8, t);
        crop = res_create_crop("t", "g_0000", 0, 0, 8, 8, tex);
        ASSERT_NE(crop, 0u);
    }
    std::vector<uint32_t> frame_pixels() {
        scene_test_frame();
        return test_pixel_block(0, 0, SCENE_TEST_WIDTH, SCENE_TEST_HEIGHT);
    }
    ResourceHandle tex = 0, crop = 0;
};

TEST_F(TurnedQuads, TurnedGlyphCoversTheSamePixelsAsTurnedSprite) {
    // Glyph cell 32 x 32 at (60, 40): the pivot sits pivot x advance, pivot x cell into it.
    const float scale = 4.0f, cell = 8.0f * scale;
    SceneObject *l = text2d_create(0, "t", "g", 'A', 0xFFFFFFFFu, 60, 40, scale, scale, 0, 20);
    text2d_set_text(l, "A");
    text2d_set_glyph_callback(l, turn_glyph, 0);
    const std::vector<uint32_t> label = frame_pixels();
    obj_destroy(l);

    begin();
    SceneObject *s =
        sprite2d_create_crop(0, crop, 0xFFFFFFFFu, 60 + cell * PIVOT_X, 40 + cell * PIVOT_Y,
                             PIVOT_X, PIVOT_Y, scale * SCALE_X, scale, 20);
    sprite2d_set_rotation(s, TURN);
    const std::vector<uint32_t> sprite = frame_pixels();

    int covered = 0, differing = 0;
    for (size_t i = 0; i < label.size(); ++i) {
        covered += label[i] != BG;
        differing += label[i] != sprite[i];
    }
    EXPECT_GT(covered, 1000); // about 48 x 32 pixels
    EXPECT_EQ(differing, 0);
}

} // namespace
