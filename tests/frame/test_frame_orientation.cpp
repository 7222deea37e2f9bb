// A display whose render, screen, client and back-buffer sizes are all equal but whose
// orientation option is not 0 takes layers 10-39 through the layer target, and the window shows
// the layout as laid out: the option turns only the mapping of client points onto the layout
// (gfx_client_to_screen), never the picture.
#include <gtest/gtest.h>

#include <cstdint>

#include "frame_test_env.h"
#include "render/gfx_device.h"
#include "render/gfx_frame.h"
#include "scene/sprite2d.h"

namespace {

constexpr int W = FRAME_TEST_WIDTH, H = FRAME_TEST_HEIGHT;

class FrameOrientationTest : public FrameWindowTest {
  protected:
    void TearDown() override {
        FrameWindowTest::TearDown();
        // Back to the display every other frame test draws on.
        gfx_shutdown();
        gfx_init(gfx_display()->window, 0, W, H, 32, nullptr);
    }
};

uint32_t window_rgb(int x, int y) {
    uint32_t px = 0;
    EXPECT_TRUE(gpu_debug_window_pixel(x, y, &px)) << x << ", " << y;
    return px & 0xFFFFFFu;
}

} // namespace

TEST_F(FrameOrientationTest, AnOrientedDisplayGoesThroughTheTargetAndShowsTheLayoutUnturned) {
    for (int32_t option = 1; option < GFX_ORIENTATION_COUNT; ++option) {
        SCOPED_TRACE(option);
        gfx_shutdown();
        const DisplayOptions options = {W, H, W, H, option};
        gfx_init(gfx_display()->window, 0, W, H, 32, &options);
        ASSERT_NE(gfx_get_device(), nullptr);
        gfx_set_clear_color(0x102030);

        // A red square on layer 20 (inside the target) and a green one on layer 6 (over the
        // target's sprite), both away from every axis of symmetry of the window.
        ASSERT_NE(sprite2d_create_rect(0, 0xFFFF0000u, 10, 10, 20, 20, 0, 0, 1, 1, 20), nullptr);
        ASSERT_NE(sprite2d_create_rect(0, 0xFF00FF00u, 100, 70, 12, 8, 0, 0, 1, 1, 6), nullptr);
        gfx_allow_direct_layers(true);
        gfx_render_frame(0);
        EXPECT_EQ(gfx_last_frame_path(), GFX_PATH_LAYER_TARGET);

        // The device is made without reading the option and the present only flips the rows
        // into the window: the window's pixel (x, y) shows the layout's (x, y), the target
        // copied texel for pixel and opaque over the background, for every option.
        EXPECT_EQ(window_rgb(10, 10), 0xFF0000u);
        EXPECT_EQ(window_rgb(29, 29), 0xFF0000u);
        EXPECT_EQ(window_rgb(9, 10), 0u);
        EXPECT_EQ(window_rgb(30, 29), 0u);
        EXPECT_EQ(window_rgb(W - 1 - 15, 15), 0u); // where a mirrored x would put it
        EXPECT_EQ(window_rgb(15, H - 1 - 15), 0u); // where a mirrored y would put it
        EXPECT_EQ(window_rgb(100, 70), 0x00FF00u);
        EXPECT_EQ(window_rgb(111, 77), 0x00FF00u);
        EXPECT_EQ(window_rgb(112, 77), 0u);
        EXPECT_EQ(window_rgb(W - 1 - 105, 73), 0u);
        EXPECT_EQ(window_rgb(150, 110), 0u); // the target's clear colour, not the background
    }
}
