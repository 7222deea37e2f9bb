// Textured quad family: placement, texture coordinates from the viewport, the eight-set taps,
// the untextured shape, the state left behind, and the format check.
#include <gtest/gtest.h>

#include "gfx_test_env.h"
#include "render/gfx_device.h"
#include "render/gfx_quad.h"
#include "render/gfx_state.h"
#include "resource/res_texture.h"

namespace {

class GfxQuad : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(gfx_test_device());
        gfx_test_reset_states();
        gfx_test_clear(0xFF000000u);
        // Texture of 2 x 2 texels: red, green / blue, white.
        tex = res_create_texture("gfxquad", "quad", 2, 2, 0);
        ASSERT_NE(tex, 0u);
        const uint32_t px[4] = {0xFFFF0000u, 0xFF00FF00u, 0xFF0000FFu, 0xFFFFFFFFu};
        ASSERT_TRUE(res_texture_fill(tex, 0, 0, 2, 2, px));
    }
    void TearDown() override {
        res_release_texture(tex);
        gfx_test_reset_states();
    }
    // Opaque, z-write off, z always, no blending, no alpha test, point filter, fixed function.
    QuadStates opaque(uint32_t argb = 0xFFFFFFFFu) { return {argb, 0, 7, 0, 5, 0, 0, 0, nullptr}; }
    ResourceHandle tex = 0;
};

} // namespace

TEST_F(GfxQuad, RectCoversItsPixelsAndLeavesTheStatesClean) {
    const QuadStates s = opaque();
    quad_draw_rect(10, 10, 8, 8, tex, 0, &s);
    EXPECT_EQ(test_pixel(11, 11), 0xFFFF0000u); // top-left texel
    EXPECT_EQ(test_pixel(16, 11), 0xFF00FF00u); // top-right
    EXPECT_EQ(test_pixel(11, 16), 0xFF0000FFu); // bottom-left
    EXPECT_EQ(test_pixel(9, 11), 0xFF000000u);
    EXPECT_EQ(test_pixel(18, 11), 0xFF000000u);
    EXPECT_EQ(gfx_get_blend_pair(), GFX_STATE_UNKNOWN);
    EXPECT_EQ(gpu_get_render_state(GPU_RS_ALPHATESTENABLE), 0u);
    for (uint32_t stage = 0; stage < GFX_SAMPLER_STAGES; ++stage)
        EXPECT_EQ(gfx_sampler_cache(stage)->bound, nullptr) << stage;
}

TEST_F(GfxQuad, AlphaTestFollowsTheReferenceIndex) {
    gpu_set_render_state(GPU_RS_ALPHAFUNC, 7);          // greater-equal
    gpu_set_texture_stage_state(0, GPU_TSS_ALPHAOP, 4); // texture x diffuse alpha
    gpu_set_texture_stage_state(0, GPU_TSS_ALPHAARG2, 0);
    QuadStates s = opaque(0x20FFFFFFu);
    s.alpha_ref = 1; // 48: alpha 0x20 fails
    quad_draw_rect(0, 0, 8, 8, tex, 0, &s);
    EXPECT_EQ(test_pixel(2, 2), 0xFF000000u);
    EXPECT_EQ(gpu_get_render_state(GPU_RS_ALPHATESTENABLE), 0u); // turned off again
    s.alpha_ref = 5;                                             // no test
    quad_draw_rect(0, 0, 8, 8, tex, 0, &s);
    EXPECT_EQ(test_pixel(2, 2), 0xFFFF0000u);
}

TEST_F(GfxQuad, ViewportQuadTakesTheViewportShareOfTheTarget) {
    const QuadStates s = opaque();
    // The top-right quarter of the target: texture coordinates (0.5, 0) to (1, 0.5).
    gfx_set_viewport(TEST_WIDTH / 2, 0, TEST_WIDTH / 2, TEST_HEIGHT / 2);
    quad_draw_viewport(0, tex, 0, &s, false, false);
    EXPECT_EQ(test_pixel(TEST_WIDTH / 2 + 2, 2), 0xFF00FF00u);
    EXPECT_EQ(test_pixel(TEST_WIDTH - 2, TEST_HEIGHT / 2 - 2), 0xFF00FF00u);
    EXPECT_EQ(test_pixel(TEST_WIDTH / 2 - 2, 2), 0xFF000000u);
    // With the whole-texture flag all four texels span the viewport.
    quad_draw_viewport(0, tex, 0, &s, true, false);
    EXPECT_EQ(test_pixel(TEST_WIDTH / 2 + 2, 2), 0xFFFF0000u);
    EXPECT_EQ(test_pixel(TEST_WIDTH - 2, TEST_HEIGHT / 2 - 2), 0xFFFFFFFFu);
    // Given corner coordinates, mirrored left to right.
    const QuadUv tl = {1, 0}, tr = {0, 0}, bl = {1, 1}, br = {0, 1};
    quad_draw_rect_uv_viewport(&tl, &tr, &bl, &br, tex, 0, &s);
    EXPECT_EQ(test_pixel(TEST_WIDTH / 2 + 2, 2), 0xFF00FF00u);
    EXPECT_EQ(test_pixel(TEST_WIDTH - 2, 2), 0xFFFF0000u);
}

TEST_F(GfxQuad, TapsOffsetTheFirstSetAndKeepTheScreenVertexPresets) {
    const QuadStates s = opaque();
    float offsets[16] = {};
    offsets[0] = 0.5f; // set 0 shifted by half the texture: green comes first, red wraps in
    quad_draw_taps(0, 0, 16, 16, tex, 0, offsets, &s);
    EXPECT_EQ(test_pixel(2, 2), 0xFF00FF00u);
    EXPECT_EQ(test_pixel(13, 2), 0xFFFF0000u);
    for (int i = 0; i < 16; ++i) {
        EXPECT_EQ(gfx_text_vertices()[i].z, 0.0f) << i;
        EXPECT_EQ(gfx_text_vertices()[i].rhw, 1.0f) << i;
    }
}

TEST_F(GfxQuad, PlainShapeBlendsByItsAlpha) {
    quad_draw_plain(64, 48, 10, 5, 0.0f, 0xFFFF0000u);
    EXPECT_EQ(test_pixel(64, 48), 0xFFFF0000u);
    EXPECT_EQ(test_pixel(72, 48), 0xFFFF0000u);              // inside the wide radius
    EXPECT_EQ(test_pixel(64, 55), 0xFF000000u);              // outside the short radius
    quad_draw_plain(64, 48, 10, 5, 1.5707964f, 0x800000FFu); // turned a quarter, half blue
    EXPECT_LE(test_color_distance(test_pixel(64, 55), 0xFF000080u), 2);
}

TEST_F(GfxQuad, FormatCheck) {
    EXPECT_EQ(gfx_check_format(GPU_FMT_A8R8G8B8, false), 1u);
    EXPECT_EQ(gfx_check_format(GPU_FMT_A8R8G8B8, true), 1u);
    EXPECT_EQ(gfx_check_format(0x12345u, false), 0u);
    EXPECT_EQ(gfx_check_texture_format(tex), 1u);
    EXPECT_EQ(gfx_check_texture_format(0), 0u);
    EXPECT_EQ(gfx_check_texture_format(999), 0u);
}
