// The start-up chain, the per-frame step and the frame pass: the layer target and the order of
// targets and clears, scene drawing switched off, a lost device, the scene chains, the colour
// words and the point mapping.
#include <gtest/gtest.h>

#include "frame_test_env.h"
#include "render/font.h"
#include "render/gfx_device.h"
#include "render/gfx_frame.h"
#include "render/text_queue.h"
#include "render/view.h"
#include "resource/res_texture.h"
#include "scene/object_manager.h"
#include "scene/owner_id.h"
#include "scene/sprite2d.h"

namespace {

class FrameTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(frame_test_start());
        frame_test_fresh();
    }
    void TearDown() override {
        gpu_trace_enable(false);
        gfx_allow_direct_layers(true);
        gfx_device_state()->lost = 0;
    }
};

uint32_t queue_used(int32_t id) {
    const TextQueue *q = text_queue_row(id);
    return (uint32_t)(q->write - q->buffer);
}

} // namespace

TEST_F(FrameTest, StartUpFillsTheDisplayRecord) {
    const DisplayRecord *d = gfx_display();
    EXPECT_EQ(d->client_width, FRAME_TEST_WIDTH);
    EXPECT_EQ(d->render_height, FRAME_TEST_HEIGHT);
    EXPECT_EQ(d->screen_width, FRAME_TEST_WIDTH);
    EXPECT_EQ(d->outline_queue, 0);
    EXPECT_EQ(d->bitmap_queue, 1);
    EXPECT_EQ(text_queue_row(0)->capacity, 16384u);
    EXPECT_EQ(text_queue_row(1)->capacity, 65536u);
    EXPECT_EQ(d->scene_drawing, 1u);
    // Kinds in registration order: lines, triangles, labels, sprites.
    EXPECT_EQ(sprite2d_kind_id(), 4);
    const TextureHandle *t = res_get_texture(gfx_layer_target()->texture);
    ASSERT_NE(t, nullptr);
    EXPECT_EQ(t->kind, TEX_KIND_TARGET);
    EXPECT_EQ(t->width, FRAME_TEST_WIDTH);
    EXPECT_EQ(t->height, FRAME_TEST_HEIGHT);
}

TEST_F(FrameTest, LayerTargetIsShownOpaqueThroughLayerSeven) {
    gfx_set_clear_color(0x203040);
    // Layers 10-39 go into the target; 8 is covered by the target's sprite, 6 drawn over it.
    sprite2d_put_rect(0, 0xFFFF0000u, 10, 10, 20, 20, 0, 0, 1, 1, 20);
    sprite2d_put_rect(0, 0xFF0000FFu, 40, 10, 20, 20, 0, 0, 1, 1, 8);
    sprite2d_put_rect(0, 0xFF00FF00u, 70, 10, 20, 20, 0, 0, 1, 1, 6);
    sprite2d_put_rect(0, 0xFFFFFFFFu, 100, 10, 20, 20, 0, 0, 1, 1, 3); // layer 3 is not drawn
    gfx_render_frame(0);

    EXPECT_EQ(test_pixel(15, 15), 0xFFFF0000u);
    EXPECT_EQ(test_pixel(45, 15), 0xFF000000u); // the target's clear colour, opaque
    EXPECT_EQ(test_pixel(75, 15), 0xFF00FF00u);
    EXPECT_EQ(test_pixel(105, 15), 0xFF000000u);
    EXPECT_EQ(test_pixel(150, 110), 0xFF000000u); // not the background: the target covers it
    // Exactly the edges of the red square: the target maps texel for pixel.
    EXPECT_EQ(test_pixel(9, 9), 0xFF000000u);
    EXPECT_EQ(test_pixel(29, 29), 0xFFFF0000u);
    EXPECT_EQ(test_pixel(30, 30), 0xFF000000u);
    // Every sprite, the target's own included, was a one-frame object.
    EXPECT_EQ(obj_get_live_count(), 0);
}

TEST_F(FrameTest, FramePassClearsBindsAndPresentsInOrder) {
    gfx_allow_direct_layers(false);   // the pass through the layer target
    gfx_set_clear_color(0xFF123456u); // the top byte is not part of the colour
    SceneObject *kept = sprite2d_create_rect(0, 0xFFFFFFFFu, 0, 0, 4, 4, 0, 0, 1, 1, 20);
    ASSERT_NE(kept, nullptr);
    gpu_trace_clear();
    gpu_trace_enable(true);
    gfx_render_frame(0);
    gpu_trace_enable(false);

    const auto clears = test_trace(GPU_TRACE_CLEAR);
    ASSERT_EQ(clears.size(), 2u);
    EXPECT_EQ(clears[0].b, 0x00123456u); // background with alpha 0
    EXPECT_EQ(clears[1].b, 0u);          // the layer target
    EXPECT_EQ(test_trace(GPU_TRACE_PRESENT).size(), 1u);

    const TextureHandle *tgt = res_get_texture(gfx_layer_target()->texture);
    const auto targets = test_trace(GPU_TRACE_SET_TARGET);
    // Back buffer and no depth, then the layer target, then the back buffer again.
    std::vector<const void *> colour_targets;
    for (const GpuTraceEntry &t : targets) {
        if (t.a == 0) colour_targets.push_back(t.ptr);
        if (t.a == 2) {
            EXPECT_EQ(t.ptr, nullptr);
        }
    }
    ASSERT_GE(colour_targets.size(), 3u);
    EXPECT_EQ(colour_targets[0], gpu_get_back_buffer());
    EXPECT_EQ(colour_targets[1], tgt->surface);
    EXPECT_EQ(colour_targets.back(), gpu_get_back_buffer());
    // The scissor test is on for the whole pass.
    bool scissor_on = false;
    for (const GpuTraceEntry &e : test_trace(GPU_TRACE_RENDER_STATE))
        if (e.b == GPU_RS_SCISSORTESTENABLE) scissor_on = e.c == 1;
    EXPECT_TRUE(scissor_on);
    // The persistent sprite stays; the target's sprite is gone.
    EXPECT_EQ(obj_get_live_count(), 1);
    obj_destroy(kept);
}

TEST_F(FrameTest, SceneDrawingOffDropsTextAndDrawsNothing) {
    gfx_set_clear_color(0xFFFFFF);
    gfx_render_frame(0);
    ASSERT_EQ(test_pixel(5, 5), 0xFF000000u);

    gfx_set_scene_drawing(0);
    text_printf(gfx_get_bitmap_text_queue(), "dropped");
    text_printf(gfx_get_outline_text_queue(), "dropped");
    SceneObject *s = sprite2d_put_rect(0, 0xFFFF0000u, 0, 0, 20, 20, 0, 0, 1, 1, 6);
    ASSERT_NE(s, nullptr);
    gpu_trace_clear();
    gpu_trace_enable(true);
    gfx_render_frame(0);
    gpu_trace_enable(false);
    EXPECT_EQ(test_trace(GPU_TRACE_PRESENT).size(), 0u);
    EXPECT_EQ(test_trace(GPU_TRACE_DRAW).size(), 0u);
    EXPECT_EQ(queue_used(gfx_get_bitmap_text_queue()), 0u);
    EXPECT_EQ(queue_used(gfx_get_outline_text_queue()), 0u);
    EXPECT_EQ(obj_get_live_count(), 0); // one-frame objects still go
    EXPECT_EQ(test_pixel(5, 5), 0xFF000000u);
    gfx_set_scene_drawing(1);
}

TEST_F(FrameTest, LostDeviceKeepsQueuedTextForTheNextDrawnFrame) {
    const int32_t q = gfx_get_bitmap_text_queue();
    text_printf_at(q, 0, 0, 0xFFFFFFFFu, "A");
    const uint32_t used = queue_used(q);
    gfx_device_state()->lost = 1; // as after a loss that the device has come back from
    gpu_trace_clear();
    gpu_trace_enable(true);
    gfx_render_frame(0);
    gpu_trace_enable(false);
    EXPECT_EQ(test_trace(GPU_TRACE_DRAW).size(), 0u);
    EXPECT_EQ(test_trace(GPU_TRACE_PRESENT).size(), 1u); // the present drives recovery
    EXPECT_EQ(queue_used(q), used);
    EXPECT_EQ(gfx_is_device_lost(), 0u);
    gfx_render_frame(0);
    EXPECT_EQ(queue_used(q), 0u);
    int lit = 0; // the 'A' is drawn in its 8 x 16 cell
    for (uint32_t px : test_pixel_block(0, 0, 8, 16)) lit += px == 0xFFFFFFFFu;
    EXPECT_GT(lit, 10);
}

TEST_F(FrameTest, DeviceResetRemakesFontsAndTheLayerTarget) {
    const OutlineFont *before = font_outline_set()->fonts[0];
    ASSERT_NE(before, nullptr);
    gpu_debug_lose_device();
    gfx_render_frame(0); // the present reports the loss; the device is reset at once
    EXPECT_EQ(gfx_is_device_lost(), 0u);
    ASSERT_NE(font_outline_set()->fonts[0], nullptr);
    EXPECT_EQ(font_outline_set()->fonts[0]->glyph_count, 0); // a new font, nothing cached yet

    // The layer target, the sheet and the new outline fonts all draw.
    sprite2d_put_rect(0, 0xFFFF0000u, 100, 60, 20, 20, 0, 0, 1, 1, 20);
    text_printf_at(gfx_get_bitmap_text_queue(), 0, 0, 0xFFFFFFFFu, "A");
    text_printf_font(gfx_get_outline_text_queue(), 0, 10, 60, 0xFF00FF00u, "H");
    gfx_render_frame(0);
    EXPECT_EQ(test_pixel(110, 70), 0xFFFF0000u);
    int bitmap = 0, outline = 0;
    for (uint32_t px : test_pixel_block(0, 0, 8, 16)) bitmap += px == 0xFFFFFFFFu;
    for (uint32_t px : test_pixel_block(9, 59, 16, 20))
        outline += (px & 0x00FF00FFu) == 0 && ((px >> 8) & 0xFF) > 128;
    EXPECT_GT(bitmap, 10);
    EXPECT_GT(outline, 10);
}

TEST_F(FrameTest, SceneChainsEmptyTheSceneAndResetTheViews) {
    const OwnerId owner = owner_alloc();
    ASSERT_NE(owner, 0u);
    ASSERT_NE(sprite2d_create_rect(owner, 0xFFFFFFFFu, 0, 0, 4, 4, 0, 0, 1, 1, 20), nullptr);
    const float fov = view_get_fov(0);
    view_set_fov(0, fov * 2.0f);
    gfx_clear_scene();
    EXPECT_EQ(obj_get_live_count(), 0);
    EXPECT_EQ(owner_count(), 0);
    EXPECT_FLOAT_EQ(view_get_fov(0), fov);

    ASSERT_NE(owner_alloc(), 0u);
    ASSERT_NE(sprite2d_create_rect(0, 0xFFFFFFFFu, 0, 0, 4, 4, 0, 0, 1, 1, 20), nullptr);
    view_set_fov(0, fov * 2.0f);
    gfx_reset_scene();
    EXPECT_EQ(obj_get_live_count(), 0);
    EXPECT_EQ(owner_count(), 0);
    EXPECT_FLOAT_EQ(view_get_fov(0), fov);
}

TEST_F(FrameTest, ShutdownAndStartAgain) {
    gfx_shutdown();
    EXPECT_EQ(gfx_get_device(), nullptr);
    EXPECT_EQ(text_queue_row(0)->buffer, nullptr);
    gfx_init(gfx_display()->window, 0, FRAME_TEST_WIDTH, FRAME_TEST_HEIGHT, 32, nullptr);
    ASSERT_NE(gfx_get_device(), nullptr);
    EXPECT_EQ(gfx_get_outline_text_queue(), 0);
    EXPECT_EQ(gfx_get_bitmap_text_queue(), 1);
    sprite2d_put_rect(0, 0xFF00FF00u, 0, 0, 10, 10, 0, 0, 1, 1, 20);
    gfx_render_frame(0);
    EXPECT_EQ(test_pixel(5, 5), 0xFF00FF00u);
}

TEST_F(FrameTest, OptionsSetRenderAndScreenSizes) {
    gfx_shutdown();
    const DisplayOptions options = {64, 32, 0, 100, 0};
    gfx_init(gfx_display()->window, 0, FRAME_TEST_WIDTH, FRAME_TEST_HEIGHT, 32, &options);
    EXPECT_EQ(gfx_get_render_width(), 64);
    EXPECT_EQ(gfx_get_render_height(), 32);
    EXPECT_EQ(gfx_get_screen_width(), FRAME_TEST_WIDTH); // 0 takes the client size
    EXPECT_EQ(gfx_get_screen_height(), 100);
    const TextureHandle *t = res_get_texture(gfx_layer_target()->texture);
    ASSERT_NE(t, nullptr);
    EXPECT_EQ(t->width, 64);
    EXPECT_EQ(t->height, 32);
    gfx_shutdown();
    gfx_init(gfx_display()->window, 0, FRAME_TEST_WIDTH, FRAME_TEST_HEIGHT, 32, nullptr);
    ASSERT_NE(gfx_get_device(), nullptr);
}

TEST(FrameDeathTest, NoDeviceEndsTheProgram) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(gfx_init(nullptr, 0, 64, 64, 32, nullptr), ::testing::ExitedWithCode(1), "");
}

TEST(FrameColourTest, ColourWords) {
    EXPECT_EQ(gfx_pack_argb(0x12345678u, 0x1ABu), 0xAB345678u);
    EXPECT_EQ(gfx_scale_rgb(0x80FF8040u, 0), 0x80FF8040u);
    EXPECT_EQ(gfx_scale_rgb(0x80FF8040u, 1), 0x807F4020u);
    EXPECT_EQ(gfx_scale_rgb(0x80FF8040u, 40), 0x80000000u);
    EXPECT_EQ(gfx_argb_red(0x80FF8040u), 0xFFu);
    EXPECT_EQ(gfx_argb_green(0x80FF8040u), 0x80u);
    EXPECT_EQ(gfx_argb_blue(0x80FF8040u), 0x40u);
    EXPECT_EQ(gfx_argb_alpha(0x80FF8040u), 0x80u);
}

TEST(FramePointTest, ClientPointsFollowOrientationAndScale) {
    DisplayRecord *d = gfx_display();
    const DisplayRecord saved = *d;
    d->client_width = 200;
    d->client_height = 100;
    d->screen_width = 200;
    d->screen_height = 100;
    int32_t x = 0, y = 0;
    d->orientation = 0;
    gfx_client_to_screen(&x, &y, 30, 20);
    EXPECT_EQ(x, 30);
    EXPECT_EQ(y, 20);
    d->orientation = 1; // x mirrored
    gfx_client_to_screen(&x, &y, 30, 20);
    EXPECT_EQ(x, 170);
    EXPECT_EQ(y, 20);
    gfx_client_to_screen(&x, &y, INT32_MIN, INT32_MAX); // far outside: clamped, no overflow
    EXPECT_EQ(x, INT32_MAX);
    EXPECT_EQ(y, INT32_MAX);
    d->orientation = 4; // both mirrored
    gfx_client_to_screen(&x, &y, 30, 20);
    EXPECT_EQ(x, 170);
    EXPECT_EQ(y, 80);
    d->orientation = 3; // axes swapped, then x mirrored: client 100 x 200 seen as 200 x 100
    d->client_width = 100;
    d->client_height = 200;
    gfx_client_to_screen(&x, &y, 10, 30);
    EXPECT_EQ(x, 170);
    EXPECT_EQ(y, 10);
    gfx_client_to_screen(nullptr, &y, 10, 30); // either output may be left out
    EXPECT_EQ(y, 10);

    // A client smaller than the screen scales up by the axis that falls short the most.
    d->orientation = 0;
    d->client_width = 100;
    d->client_height = 80;
    gfx_client_to_screen(&x, &y, 0, 0);
    EXPECT_EQ(x, 0);   // (0 - 50) x 2 + 100
    EXPECT_EQ(y, -30); // (0 - 40) x 2 + 50
    float ux = 0, uy = 0;
    gfx_client_to_unit(&ux, &uy, 50, 40);
    EXPECT_FLOAT_EQ(ux, 0.0f);
    EXPECT_FLOAT_EQ(uy, 0.0f);
    gfx_client_to_unit(&ux, &uy, 0, 65); // screen (0, 100): left edge, bottom
    EXPECT_FLOAT_EQ(ux, -1.0f);
    EXPECT_FLOAT_EQ(uy, -1.0f);
    // No client size at all: nothing to scale by, and no division by zero.
    d->client_width = d->client_height = 0;
    gfx_client_to_screen(&x, &y, 0, 0);
    EXPECT_EQ(x, 100);
    EXPECT_EQ(y, 50);
    *d = saved;
}
