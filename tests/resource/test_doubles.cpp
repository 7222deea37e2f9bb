// Stand-ins for callees of the drawing device's start-up and frame that the resource tests do
// not need: shaders (no shader folder in the scratch folders), outline fonts and the frame
// pass (not in the tree yet). They are weak, so a real definition that is linked in wins.
#include <cstdint>

#define TEST_DOUBLE __attribute__((weak))

TEST_DOUBLE void shader_load_all(void) {}
TEST_DOUBLE void shader_release_all(void) {}
TEST_DOUBLE void font_create_outline(void) {}
TEST_DOUBLE void font_release_outline(void) {}
TEST_DOUBLE void text_queue_rewind(int32_t) {}
TEST_DOUBLE void gfx_draw_scene(void) {}
TEST_DOUBLE void gfx_create_layer_target(void) {}
TEST_DOUBLE void gfx_release_layer_target(void) {}
