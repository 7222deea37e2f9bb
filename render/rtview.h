// Render-to-texture views: a pool of 8 off-screen targets, each drawing chosen layer ranges of
// the scene into its own texture before the frame's main pass, so the picture can be shown on a
// sprite. A view draws a first 2D range, a 3D range through one of the renderer's camera views
// and a last 2D range into its texture over its clear colour.
//
// Every slot owns a render texture (A8R8G8B8), a D24S8 depth surface and a crop on the texture,
// made when the pool starts at 1 x 1, sized at creation and shrunk to nothing when the view is
// freed; a device reset releases and re-makes them with every other render target.
#pragma once
#include <cstdint>

#include "resource/res_pools.h"

enum : int32_t {
    RTVIEW_COUNT = 8,
    RTVIEW_NAME_CHARS = 32, // longer names are cut
};

struct RenderView {
    char name[RTVIEW_NAME_CHARS + 1];
    uint8_t in_use;
    uint8_t enabled; // 1: drawn each frame (set at creation)
    uint32_t owner;
    int32_t width, height;
    ResourceHandle texture;
    ResourceHandle depth_surface;
    ResourceHandle crop;  // the whole texture
    int32_t camera_view;  // renderer view 0-1 of the 3D range
    uint32_t clear_color; // ARGB
    // First and last layer of each range; a first layer of -1 draws nothing.
    int32_t first_range[2];
    int32_t range_3d[2];
    int32_t last_range[2];
    int32_t viewport[4]; // x, y, width, height
    int32_t scissor[4];
    RenderView *prev, *next; // active or free list
};

struct RenderViewPool {
    RenderView views[RTVIEW_COUNT];
    RenderView *active_head; // the most recently created first
    RenderView *free_head;
    uint32_t count;
    ResourceMark mark;
};

// Start-up and shutdown hooks of the renderer's chains.
void rtview_init(void);
void rtview_shutdown(void);
// Scene reset and clear: every view freed, the lists rebuilt.
void rtview_reset(void);
void rtview_clear(void);
// Active list empty, all slots free in index order, every slot's resources shrunk.
void rtview_reset_slots(void);

// Null when the pool is full, no name is given, or a side is below 1 or above the device's
// largest texture. The name is kept up to 32 characters; the slot's texture and crop take it
// when their stored names leave room for it.
RenderView *rtview_create(uint32_t owner, int32_t width, int32_t height, const char *name);
void rtview_free(RenderView *view); // null, foreign or free views: nothing
void rtview_release_owner(uint32_t owner);
RenderView *rtview_find(const char *name);
uint32_t rtview_count(void);

// Per frame: the update walk, and the draw of every enabled view inside the frame's scene.
void rtview_update_all(void);
void rtview_draw_all(void);
void rtview_draw(RenderView *view);
// Whether an enabled view has a layer range, 2D or 3D, that holds the layer.
bool rtview_any_draws_layer(int32_t layer);

void rtview_set_camera_viewport(int32_t camera_view, int32_t x, int32_t y, int32_t width,
                                int32_t height);
uint32_t rtview_name_hash(const char *text);

const RenderViewPool *rtview_pool(void);
