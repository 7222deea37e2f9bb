#include "views_test_env.h"

#include "render/gfx_frame.h"

bool views_test_start(void) {
    return test_render_start("views test", VIEWS_TEST_WIDTH, VIEWS_TEST_HEIGHT);
}

void views_test_fresh(void) {
    gfx_reset_scene();
    gfx_set_clear_color(0);
    gfx_set_scene_drawing(1);
    gpu_trace_enable(false);
    gpu_trace_clear();
}
