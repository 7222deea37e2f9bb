// Test doubles for callees of the drawing device whose modules are not in the tree yet. Each is
// weak: the real function takes its place once its module provides it.
#include <cstdint>

#define TEST_DOUBLE __attribute__((weak))

TEST_DOUBLE void font_create_outline(void) {}
TEST_DOUBLE void font_release_outline(void) {}
TEST_DOUBLE void text_queue_rewind(int32_t) {}
TEST_DOUBLE void gfx_draw_scene(void) {}
TEST_DOUBLE void gfx_create_layer_target(void) {}
TEST_DOUBLE void gfx_release_layer_target(void) {}
TEST_DOUBLE void app_restore_window_style(int) {}
