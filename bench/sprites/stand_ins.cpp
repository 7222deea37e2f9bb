// Weak stand-ins for callees of the device start-up whose modules are not in the tree yet; the
// real functions take their place once their modules provide them.
#include <cstdint>

#define STAND_IN __attribute__((weak))

STAND_IN void font_create_outline(void) {}
STAND_IN void font_release_outline(void) {}
STAND_IN void text_queue_rewind(int32_t) {}
STAND_IN void gfx_draw_scene(void) {}
STAND_IN void gfx_create_layer_target(void) {}
STAND_IN void gfx_release_layer_target(void) {}
STAND_IN void app_restore_window_style(int) {}
