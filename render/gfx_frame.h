// The renderer's hub: start-up and shutdown of every graphics-side module in a fixed order, the
// scene-reset and scene-clear chains run when a game mode starts and ends, the per-frame step
// and the frame pass (layer target "tgt" for layers 10-39, back-buffer layers 5-9 with the
// layer target shown as a sprite on layer 7, the two text passes, present).
#pragma once
#include <cstdint>

#include "app/app_hooks.h"
#include "render/gfx_display.h"
#include "resource/res_pools.h"

struct SceneObject;

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

// How the last frame drew layers 10-39: into the layer target shown by its layer-7 sprite, or
// straight into the back buffer where that gives the same pixels (render/gfx_frame_direct.cpp).
enum GfxFramePath : int32_t {
    GFX_PATH_NONE = 0, // nothing drawn: scene drawing off, device lost or no scene begun
    GFX_PATH_LAYER_TARGET = 1,
    GFX_PATH_DIRECT = 2,
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

// The direct path is on by default; off, every frame takes the layer target.
void gfx_allow_direct_layers(bool allowed);
GfxFramePath gfx_last_frame_path(void);
// With this frame's draw list built: the draw-list index just past the layer target's sprite
// when layers 10-39 may go straight to the back buffer with the same pixels, else -1.
int32_t gfx_direct_layers_start(const SceneObject *target_sprite);
// With this frame's draw list built: whether anything reads the layer target before this
// frame's fill of it is done (a render view drawing an object that samples it, the target's own
// sprite included, or an object in layers 10-39 that samples it).
bool gfx_target_read_before_fill(void);

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
