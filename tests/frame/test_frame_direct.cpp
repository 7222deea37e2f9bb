// Layers 10-39 straight into the back buffer: the same frame drawn through the layer target and
// directly gives the same window, and frames whose pixels would differ (an object sampling the
// target, a blend with the target's alpha, a target not shown 1:1) go through the target.
#include <gtest/gtest.h>

#include <vector>

#include "frame_test_env.h"
#include "render/gfx_device.h"
#include "render/gfx_frame.h"
#include "render/rtview.h"
#include "render/text_queue.h"
#include "resource/res_texture.h"
#include "scene/object_manager.h"
#include "scene/screen_prims.h"
#include "scene/sprite2d.h"

namespace {

constexpr int W = FRAME_TEST_WIDTH, H = FRAME_TEST_HEIGHT;

using FrameDirectTest = FrameWindowTest;

uint32_t at(const std::vector<uint32_t> &px, int x, int y) {
    return px[(size_t)y * W + x] & 0xFFFFFFu;
}

// One frame of the persistent scene through the path asked for; its window.
std::vector<uint32_t> frame_through(bool direct, GfxFramePath expected) {
    gfx_allow_direct_layers(direct);
    gfx_render_frame(0);
    EXPECT_EQ(gfx_last_frame_path(), expected);
    return frame_test_presented();
}

int differing(const std::vector<uint32_t> &a, const std::vector<uint32_t> &b) {
    int n = 0;
    for (size_t i = 0; i < a.size(); ++i) n += (a[i] & 0xFFFFFFu) != (b[i] & 0xFFFFFFu);
    return n;
}

int channel(uint32_t rgb, int shift) {
    return (int)((rgb >> shift) & 0xFF);
}

// Source-alpha blend of one channel, as the blend stage computes it (rounded).
int over(int src, int dst, int alpha) {
    return (src * alpha + dst * (255 - alpha) + 127) / 255;
}

void expect_rgb_near(uint32_t got, int r, int g, int b) {
    EXPECT_NEAR(channel(got, 16), r, 1) << std::hex << got;
    EXPECT_NEAR(channel(got, 8), g, 1) << std::hex << got;
    EXPECT_NEAR(channel(got, 0), b, 1) << std::hex << got;
}

SceneObject *rect(uint32_t argb, float x, float y, float w, float h, int layer) {
    SceneObject *o = sprite2d_create_rect(0, argb, x, y, w, h, 0, 0, 1, 1, layer);
    EXPECT_NE(o, nullptr);
    return o;
}

} // namespace

TEST_F(FrameDirectTest, BothPathsPresentTheSameWindow) {
    gfx_set_clear_color(0x203040); // covered by the target's sprite either way
    // Layers 10-39: opaque, blended over it, additive, and a screen line.
    // Layers are drawn from 39 down, so the blue on layer 14 goes over the red on 20.
    rect(0xFFC00000u, 10, 10, 60, 40, 20);
    rect(0x800000FFu, 40, 30, 60, 40, 14);
    sprite2d_set_blend(rect(0xFF204000u, 90, 5, 30, 30, 12), 3); // one + one
    SceneObject *line = obj_create(0);
    obj_set_kind(line, line2d_kind_id());
    line2d_set_points(line, 2, 100, 150, 100);
    line2d_set_colors(line, 0xFFFFFF00u, 0xFFFFFF00u);
    line->flags |= OBJ_FLAG_VISIBLE;
    // Layer 8 (blended and opaque) and a layer-7 sprite drawn before the target's (a higher
    // sub-order): covered by the target's sprite. One drawn after it (lower) shows.
    rect(0x80FF00FFu, 0, 0, 160, 120, 8);
    rect(0xFF00FFFFu, 100, 60, 20, 20, 8);
    obj_set_sub_order(rect(0xFFFFFFFFu, 130, 90, 20, 20, 7), 9);
    obj_set_sub_order(rect(0xFFFF00FFu, 0, 110, 10, 10, 7), 3);
    // Layer 6 blended over the target's sprite, layer 5 opaque.
    rect(0x8000FF00u, 50, 20, 40, 40, 6);
    rect(0xFF808080u, 140, 5, 10, 10, 5);
    // A render view drawing layer 45 (a yellow square on blue), shown on layer 15.
    RenderView *v = rtview_create(0, 16, 16, "direct");
    ASSERT_NE(v, nullptr);
    v->first_range[0] = v->first_range[1] = 45;
    v->clear_color = 0xFF0000FFu;
    rect(0xFFFFFF00u, 4, 4, 8, 8, 45);
    ASSERT_NE(sprite2d_create_texture(0, v->texture, 0xFFFFFFFFu, 8, 80, 0, 0, 1, 1, 15), nullptr);

    const std::vector<uint32_t> through_target = frame_through(false, GFX_PATH_LAYER_TARGET);
    text_printf_at(gfx_get_bitmap_text_queue(), 100, 40, 0xFFFFFFFFu, "A"); // each frame its own
    const std::vector<uint32_t> text_target = frame_through(false, GFX_PATH_LAYER_TARGET);
    const std::vector<uint32_t> direct = frame_through(true, GFX_PATH_DIRECT);
    text_printf_at(gfx_get_bitmap_text_queue(), 100, 40, 0xFFFFFFFFu, "A");
    const std::vector<uint32_t> text_direct = frame_through(true, GFX_PATH_DIRECT);
    EXPECT_EQ(differing(through_target, direct), 0);
    EXPECT_EQ(differing(text_target, text_direct), 0);

    // The pictures are what the layers make, not only alike: red, blue at half over red, green
    // at half over that, the target's clear colour where layer 8 was, the render view's square.
    expect_rgb_near(at(direct, 20, 20), 0xC0, 0, 0);
    const int r1 = over(0, 0xC0, 0x80), b1 = over(0xFF, 0, 0x80);
    expect_rgb_near(at(direct, 45, 35), r1, 0, b1);
    expect_rgb_near(at(direct, 60, 40), over(0, r1, 0x80), over(0xFF, 0, 0x80), over(0, b1, 0x80));
    expect_rgb_near(at(direct, 110, 70), 0, 0, 0);
    expect_rgb_near(at(direct, 140, 94), 0, 0, 0);
    expect_rgb_near(at(direct, 5, 115), 0xFF, 0, 0xFF);
    expect_rgb_near(at(direct, 8 + 8, 80 + 8), 0xFF, 0xFF, 0);
    expect_rgb_near(at(direct, 8 + 1, 80 + 1), 0, 0, 0xFF);
    expect_rgb_near(at(direct, 145, 10), 0x80, 0x80, 0x80);
    int lit = 0; // the line, one pixel wide, along y = 100
    for (int y = 98; y <= 102; ++y) lit += at(direct, 100, y) == 0xFFFF00u;
    EXPECT_EQ(lit, 1);

    // The direct frame binds no other colour target than the back buffer and clears once.
    gpu_trace_clear();
    gpu_trace_enable(true);
    gfx_render_frame(0);
    gpu_trace_enable(false);
    const TextureHandle *tgt = res_get_texture(gfx_layer_target()->texture);
    for (const GpuTraceEntry &t : test_trace(GPU_TRACE_SET_TARGET)) EXPECT_NE(t.ptr, tgt->surface);
    EXPECT_EQ(test_trace(GPU_TRACE_CLEAR).size(), 2u); // the render view's and the back buffer's
}

TEST_F(FrameDirectTest, AnObjectSamplingTheTargetSendsTheFrameThroughIt) {
    rect(0xFFFF0000u, 10, 10, 20, 20, 20);
    ASSERT_EQ(frame_through(true, GFX_PATH_DIRECT).size(), (size_t)W * H);

    // The target's left half again, unscaled, over the right half of the window.
    SceneObject *copy =
        sprite2d_create_texture(0, gfx_layer_target()->texture, 0xFFFFFFFFu, 80, 0, 0, 0, 1, 1, 6);
    ASSERT_NE(copy, nullptr);
    const std::vector<uint32_t> px = frame_through(true, GFX_PATH_LAYER_TARGET);
    EXPECT_EQ(at(px, 15, 15), 0xFF0000u);
    EXPECT_EQ(at(px, 80 + 15, 15), 0xFF0000u); // this frame's red square, copied
    EXPECT_EQ(at(px, 80 + 5, 5), 0u);
    EXPECT_EQ(at(px, 80 + 35, 15), 0u);
    // Through the target's texture as a second texture too; gone again, the frame goes direct.
    sprite2d_set_texture(copy, 0);
    sprite2d_set_texture2(copy, gfx_layer_target()->texture);
    frame_through(true, GFX_PATH_LAYER_TARGET);
    obj_destroy(copy);
    frame_through(true, GFX_PATH_DIRECT);

    // Drawn by a render view: the view reads the target before this frame fills it.
    RenderView *v = rtview_create(0, 16, 16, "reader");
    ASSERT_NE(v, nullptr);
    v->first_range[0] = v->first_range[1] = 45;
    ASSERT_NE(
        sprite2d_create_texture(0, gfx_layer_target()->texture, 0xFFFFFFFFu, 0, 0, 0, 0, 1, 1, 45),
        nullptr);
    frame_through(true, GFX_PATH_LAYER_TARGET);
}

TEST_F(FrameDirectTest, BlendingWithTheTargetsAlphaSendsTheFrameThroughIt) {
    // (inverse destination alpha, destination alpha): over the target's cleared alpha of 0 the
    // source shows; over the back buffer, whose alpha reads 1, it would leave black.
    sprite2d_set_blend(rect(0xFF00C0C0u, 10, 10, 20, 20, 30), 12);
    const std::vector<uint32_t> px = frame_through(true, GFX_PATH_LAYER_TARGET);
    EXPECT_EQ(at(px, 20, 20), 0x00C0C0u);
    // The same pair below the target's sprite is drawn on the back buffer either way.
    gfx_reset_scene();
    sprite2d_set_blend(rect(0xFF00C0C0u, 10, 10, 20, 20, 6), 12);
    frame_through(true, GFX_PATH_DIRECT);
}

TEST_F(FrameDirectTest, ATargetNotShownOneToOneGoesThroughIt) {
    gfx_shutdown();
    // An 80 x 60 layout and target on the 160 x 120 client: the target's sprite covers the
    // top-left quarter, the background the rest.
    const DisplayOptions options = {80, 60, 80, 60, 0};
    gfx_init(gfx_display()->window, 0, W, H, 32, &options);
    gfx_set_clear_color(0x102030);
    rect(0xFFFF0000u, 10, 10, 20, 20, 20);
    const std::vector<uint32_t> px = frame_through(true, GFX_PATH_LAYER_TARGET);
    EXPECT_EQ(at(px, 15, 15), 0xFF0000u);
    EXPECT_EQ(at(px, 5, 5), 0u);
    EXPECT_EQ(at(px, 85, 15), 0x102030u);
    EXPECT_EQ(at(px, 100, 100), 0x102030u);
    gfx_shutdown();
    gfx_init(gfx_display()->window, 0, W, H, 32, nullptr);
    ASSERT_NE(gfx_get_device(), nullptr);
    frame_through(true, GFX_PATH_DIRECT);
}

// A render view of the target's own layer draws its sprite, so it reads the target: every frame
// with such a view goes through the target, and the view never shows an older picture than the
// previous frame's layers (the one it shows on the layer-target path, where it draws before
// this frame's fill). The first such frame after direct ones has no previous frame's picture in
// the target and fills it before the view draws: the view then shows this frame's.
TEST_F(FrameDirectTest, AViewOfTheTargetsLayerNeverShowsAnOldFill) {
    SceneObject *square = rect(0xFF0000FFu, 0, 0, 80, 60, 20); // over the view's whole area
    frame_through(false, GFX_PATH_LAYER_TARGET);               // the target holds blue
    sprite2d_set_color(square, 0xFFFF0000u);
    frame_through(true, GFX_PATH_DIRECT); // red drawn straight; the target still holds blue

    RenderView *v = rtview_create(0, 64, 48, "layer 7");
    ASSERT_NE(v, nullptr);
    v->first_range[0] = v->first_range[1] = GFX_LAYER_TARGET_LAYER;
    ASSERT_NE(sprite2d_create_texture(0, v->texture, 0xFFFFFFFFu, 90, 60, 0, 0, 1, 1, 6), nullptr);
    const uint32_t colours[] = {0xFF00FF00u, 0xFFFFFF00u, 0xFF00FFFFu, 0xFFFF00FFu};
    for (int frame = 0; frame < 4; ++frame) {
        SCOPED_TRACE(testing::Message() << "frame " << frame);
        sprite2d_set_color(square, colours[frame]);
        const std::vector<uint32_t> px = frame_through(true, GFX_PATH_LAYER_TARGET);
        const uint32_t shown = (frame == 0 ? colours[0] : colours[frame - 1]) & 0xFFFFFFu;
        int wrong = 0;
        for (int y = 61; y < 60 + 47; ++y)
            for (int x = 91; x < 90 + 63; ++x) wrong += at(px, x, y) != shown;
        EXPECT_EQ(wrong, 0) << "view pixel " << std::hex << at(px, 100, 70);
        EXPECT_EQ(at(px, 40, 30), colours[frame] & 0xFFFFFFu); // the screen shows this frame's
    }
    // Without the view the frames go direct again.
    rtview_free(v);
    frame_through(true, GFX_PATH_DIRECT);
}
