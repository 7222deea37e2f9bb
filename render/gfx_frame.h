// The renderer's hub: start-up and shutdown of every graphics-side module in a fixed order, the
// scene-reset and scene-clear chains run when a game mode starts and ends, the per-frame step
// and the frame pass (layer target "tgt" for layers 10-39, back-buffer layers 5-9 with the
// layer target shown as a sprite on layer 7, the two text passes, present).
#pragma once
#include <cstdint>

#include "app/app_hooks.h"
#include "render/gfx_display.h"
#include "resource/res_pools.h"

// Sizes from the program entry: render width and height (the layer target), screen width and
// height (the 2D layout), orientation option. A size of 0 takes the client size.
using DisplayOptions = AppDisplayOptions;

enum : int32_t {
    GFX_OUTLINE_QUEUE_BYTES = 16384,
    GFX_BITMAP_QUEUE_BYTES = 65536,
    GFX_LAYER_TARGET_LAYER = 7,
    GFX_TARGET_FIRST_LAYER = 10,
    GFX_TARGET_LAST_LAYER = 39,
    GFX_BACK_FIRST_LAYER = 5,
    GFX_BACK_LAST_LAYER = 9,
    GFX_ORIENTATION_COUNT = 6,
};

// The off-screen target of layers 10-39: a mark and the render-target texture made after it.
struct LayerTarget {
    ResourceMark mark;
    ResourceHandle texture;
};

// Start-up chain; a device that cannot be made ends the program (fatal category 2).
void gfx_init(SDL_Window *window, int32_t reserved, int32_t client_width, int32_t client_height,
              int32_t bits_per_pixel, const DisplayOptions *options);
void gfx_shutdown(void);
void gfx_reset_scene(void);
void gfx_clear_scene(void);
void gfx_reset_views(void);
void gfx_set_scene_drawing(uint32_t flag);
void gfx_render_frame(int32_t argument);

// Frame-pass pieces (gfx_draw_scene and the layer target's create and release are declared
// with the display record).
void gfx_show_layer_target(void);
void gfx_render_layer_target(void);
const LayerTarget *gfx_layer_target(void);

uint32_t gfx_pack_argb(uint32_t rgb, uint32_t alpha);
uint32_t gfx_scale_rgb(uint32_t argb, uint32_t shift);
uint32_t gfx_argb_red(uint32_t argb);
uint32_t gfx_argb_green(uint32_t argb);
uint32_t gfx_argb_blue(uint32_t argb);
uint32_t gfx_argb_alpha(uint32_t argb);
uint32_t gfx_want_lockable_back_buffer(void);

// Client point to the 2D layout's space, following the orientation option; outputs may be null.
void gfx_client_to_screen(int32_t *out_x, int32_t *out_y, int32_t client_x, int32_t client_y);
// The same point as -1..1 across the screen, y up.
void gfx_client_to_unit(float *out_x, float *out_y, int32_t client_x, int32_t client_y);
