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
