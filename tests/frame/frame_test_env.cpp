#include "frame_test_env.h"

#include "render/gfx_frame.h"
#include "render/text_queue.h"

bool frame_test_start(void) {
    return test_render_start("frame test", FRAME_TEST_WIDTH, FRAME_TEST_HEIGHT);
}

void frame_test_fresh(void) {
    gfx_reset_scene();
    gfx_set_clear_color(0);
    gfx_set_scene_drawing(1);
    text_queue_rewind(gfx_get_outline_text_queue());
    text_queue_rewind(gfx_get_bitmap_text_queue());
    gpu_trace_enable(false);
    gpu_trace_clear();
}

std::vector<uint32_t> frame_test_presented(void) {
    std::vector<uint32_t> px((size_t)FRAME_TEST_WIDTH * FRAME_TEST_HEIGHT, 0);
    for (int y = 0; y < FRAME_TEST_HEIGHT; ++y)
        for (int x = 0; x < FRAME_TEST_WIDTH; ++x)
            gpu_debug_window_pixel(x, y, &px[(size_t)y * FRAME_TEST_WIDTH + x]);
    return px;
}

void FrameWindowTest::SetUp() {
    ASSERT_TRUE(frame_test_start());
    frame_test_fresh();
    gpu_debug_capture_window(true);
}

void FrameWindowTest::TearDown() {
    gpu_debug_capture_window(false);
    gfx_allow_direct_layers(true);
    gfx_reset_scene();
}
