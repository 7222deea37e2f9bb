// Test doubles for callees of the device module whose own modules are not in the tree yet.
// Each is weak: the real function replaces it as soon as its module provides it.
#include <cstdint>

#include "gfx_test_env.h"
#include "render/gfx_device.h"

static RenderTestCalls s_calls;
RenderTestCalls *render_test_calls(void) {
    return &s_calls;
}

#define TEST_DOUBLE __attribute__((weak))

TEST_DOUBLE void font_create_outline(void) {
    s_calls.font_create++;
}
TEST_DOUBLE void font_release_outline(void) {
    s_calls.font_release++;
}
TEST_DOUBLE void text_queue_rewind(int32_t) {
    s_calls.text_rewind++;
}
// Like the frame pass, every frame ends in a present.
TEST_DOUBLE void gfx_draw_scene(void) {
    s_calls.draw_scene++;
    gfx_present();
}
TEST_DOUBLE void gfx_create_layer_target(void) {
    s_calls.layer_create++;
}
TEST_DOUBLE void gfx_release_layer_target(void) {
    s_calls.layer_release++;
}
TEST_DOUBLE void app_restore_window_style(int) {
    s_calls.restore_style++;
}
