// Stand-ins for callees of the drawing device's start-up that loading data does not need:
// shaders (the scratch run folder has none), outline fonts and the frame pass. They are weak,
// so a real definition that is linked in wins.
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
