#include "views_test_env.h"

#include "render/gfx_frame.h"
#include "render/view.h"
#include "render/view_light.h"

bool views_test_start(void) {
    return test_render_start("views test", VIEWS_TEST_WIDTH, VIEWS_TEST_HEIGHT);
}

void views_test_fresh(void) {
    gfx_reset_scene();
    gfx_set_clear_color(0);
    gfx_set_scene_drawing(1);
    gpu_trace_enable(false);
    gpu_trace_clear();
    // Both views' lights at their defaults with no override or transition running, so a test
    // that lights something never sees what an earlier test left.
    for (int v = 0; v < VIEW_COUNT; ++v) {
        view_light_set_defaults(v);
        view_set_light_direct_dir(v, nullptr, 0);
        view_step_light(v);
    }
}
