// Render-to-texture views: the pool, the slots' own targets and the per-frame draw.
#include "render/rtview.h"

#include <cstdio>
#include <cstring>

#include "render/gfx_device.h"
#include "render/gfx_state.h"
#include "render/gfx_texture.h"
#include "render/view.h"
#include "resource/res_texture.h"
#include "scene/node_settings.h"
#include "scene/object_manager.h"

namespace {

constexpr int32_t COLOR_FORMAT = 0; // A8R8G8B8
constexpr int32_t DEPTH_FORMAT = 1; // D24S8
constexpr int32_t NO_RANGE = -1;

RenderViewPool s_pool;

void slot_name(char *out, size_t size, int32_t index) {
    std::snprintf(out, size, "n_%08d", index);
}

// The slot name padded to the longest view name: the record's stored name then leaves room for
// any view name to be written over it later.
void reserve_name(char *out, int32_t index) {
    slot_name(out, RTVIEW_NAME_CHARS + 1, index);
    const size_t n = std::strlen(out);
    std::memset(out + n, '_', RTVIEW_NAME_CHARS - n);
    out[RTVIEW_NAME_CHARS] = 0;
}

void rename_resources(const RenderView *v, const char *name) {
    res_pool_rename(&res_pools()->textures, v->texture, name);
    res_pool_rename(&res_pools()->crops, v->crop, name);
}

void create_slot_resources(RenderView *v, int32_t index) {
    char name[RTVIEW_NAME_CHARS + 1];
    reserve_name(name, index);
    v->texture = res_create_render_texture(nullptr, name, 1, 1, COLOR_FORMAT);
    v->depth_surface = res_create_depth_surface(nullptr, name, 1, 1, DEPTH_FORMAT);
    v->crop = res_create_crop(nullptr, name, 0, 0, 1, 1, v->texture);
    slot_name(name, sizeof name, index);
    rename_resources(v, name);
}

void shrink_resources(const RenderView *v) {
    if (v->crop) res_set_crop_rect(v->crop, 0, 0, 0, 0, 0);
    if (v->depth_surface) res_resize_depth_surface(v->depth_surface, 0, 0, DEPTH_FORMAT);
    if (v->texture) res_resize_texture(v->texture, 0, 0, COLOR_FORMAT);
}

// Sizes the slot's target and depth surface; false when either could not be made (the view
// would otherwise draw into the back buffer, or without depth).
bool size_resources(const RenderView *v) {
    res_resize_texture(v->texture, v->width, v->height, COLOR_FORMAT);
    res_resize_depth_surface(v->depth_surface, v->width, v->height, DEPTH_FORMAT);
    const TextureHandle *t = res_get_texture(v->texture);
    const SurfaceHandle *d = res_get_depth_surface(v->depth_surface);
    if (!t || !t->surface || !d || !d->surface) return false;
    res_set_crop_rect(v->crop, 0, 0, (float)v->width, (float)v->height, v->texture);
    return true;
}

bool owns(const RenderView *v) {
    const RenderView *first = &s_pool.views[0];
    if (v < first || v >= first + RTVIEW_COUNT) return false;
    return (reinterpret_cast<const char *>(v) - reinterpret_cast<const char *>(first)) %
               sizeof(RenderView) ==
           0;
}

bool side_ok(int32_t side) {
    const uint32_t largest = gfx_device_state()->caps.max_texture_size;
    return side >= 1 && (largest == 0 || (uint32_t)side <= largest);
}

void set_rect(int32_t r[4], int32_t x, int32_t y, int32_t w, int32_t h) {
    r[0] = x;
    r[1] = y;
    r[2] = w;
    r[3] = h;
}

void draw_range(const int32_t range[2]) {
    if (range[0] != NO_RANGE) obj_draw_layers(range[0], range[1]);
}

void draw_range_3d(const RenderView *v) {
    const int32_t cam = v->camera_view;
    if (v->range_3d[0] == NO_RANGE || !view_get_enabled(cam)) return;
    int32_t x, y, w, h;
    view_get_viewport(cam, &x, &y, &w, &h);
    const float aspect = view_get_aspect(cam);
    rtview_set_camera_viewport(cam, v->viewport[0], v->viewport[1], v->viewport[2], v->viewport[3]);
    view_begin_3d_pass(cam, 0);
    draw_range(v->range_3d);
    scenedraw_reset_states();
    view_set_viewport_aspect(cam, x, y, w, h, aspect);
}

} // namespace

// ---------------------------------------------------------------------------------------------
// Start-up, shutdown and the scene chains

void rtview_init(void) {
    std::memset(&s_pool, 0, sizeof(s_pool));
    res_mark(&s_pool.mark);
    for (int32_t i = 0; i < RTVIEW_COUNT; ++i) create_slot_resources(&s_pool.views[i], i);
    rtview_reset_slots();
}

void rtview_shutdown(void) {
    if (s_pool.mark.valid) res_release_to_mark(&s_pool.mark);
    std::memset(&s_pool, 0, sizeof(s_pool));
}

void rtview_reset(void) {
    while (s_pool.active_head) rtview_free(s_pool.active_head);
    rtview_reset_slots();
}

void rtview_clear(void) {
    rtview_reset();
}

void rtview_reset_slots(void) {
    s_pool.active_head = nullptr;
    s_pool.free_head = &s_pool.views[0];
    for (int32_t i = 0; i < RTVIEW_COUNT; ++i) {
        RenderView *v = &s_pool.views[i];
        v->in_use = 0;
        v->prev = i > 0 ? v - 1 : nullptr;
        v->next = i + 1 < RTVIEW_COUNT ? v + 1 : nullptr;
        shrink_resources(v);
    }
    s_pool.count = 0;
}

// ---------------------------------------------------------------------------------------------
// Views

RenderView *rtview_create(uint32_t owner, int32_t width, int32_t height, const char *name) {
    RenderView *v = s_pool.free_head;
    if (!v || !name || !side_ok(width) || !side_ok(height)) return nullptr;

    s_pool.free_head = v->next;
    if (s_pool.free_head) s_pool.free_head->prev = nullptr;
    v->prev = nullptr;
    v->next = s_pool.active_head;
    if (s_pool.active_head) s_pool.active_head->prev = v;
    s_pool.active_head = v;
    ++s_pool.count;

    std::memset(v->name, 0, sizeof(v->name));
    std::strncpy(v->name, name, RTVIEW_NAME_CHARS);
    v->in_use = 1;
    v->enabled = 1;
    v->owner = owner;
    v->width = width;
    v->height = height;
    v->camera_view = 0;
    v->clear_color = 0;
    v->first_range[0] = v->first_range[1] = NO_RANGE;
    v->range_3d[0] = v->range_3d[1] = NO_RANGE;
    v->last_range[0] = v->last_range[1] = NO_RANGE;
    set_rect(v->viewport, 0, 0, width, height);
    set_rect(v->scissor, 0, 0, width, height);

    if (res_texture_record(v->texture) && res_get_crop(v->crop)) {
        if (!size_resources(v)) {
            rtview_free(v);
            return nullptr;
        }
        rename_resources(v, v->name);
    }
    return v;
}

void rtview_free(RenderView *v) {
    if (!v || !owns(v) || !v->in_use) return;
    v->in_use = 0;
    if (v->prev)
        v->prev->next = v->next;
    else
        s_pool.active_head = v->next;
    if (v->next) v->next->prev = v->prev;
    v->prev = nullptr;
    v->next = s_pool.free_head;
    if (s_pool.free_head) s_pool.free_head->prev = v;
    s_pool.free_head = v;
    shrink_resources(v);
    --s_pool.count;
}

void rtview_release_owner(uint32_t owner) {
    if (owner == 0) return;
    RenderView *v = s_pool.active_head;
    while (v) {
        RenderView *next = v->next;
        if (v->owner == owner) rtview_free(v);
        v = next;
    }
}

RenderView *rtview_find(const char *name) {
    if (!name) return nullptr;
    for (RenderView *v = s_pool.active_head; v; v = v->next)
        if (std::strcmp(v->name, name) == 0) return v;
    return nullptr;
}

uint32_t rtview_count(void) {
    return s_pool.count;
}

const RenderViewPool *rtview_pool(void) {
    return &s_pool;
}

// ---------------------------------------------------------------------------------------------
// Per frame

// Views keep no per-frame state: the step is a place in the frame's chain only.
void rtview_update_all(void) {}

void rtview_draw_all(void) {
    if (!s_pool.active_head) return;
    for (RenderView *v = s_pool.active_head; v; v = v->next) rtview_draw(v);
    tex_set_render_targets(0, 0, gfx_saved_depth());
}

void rtview_draw(RenderView *v) {
    if (!v || !v->enabled) return;
    tex_set_render_targets(v->texture, 0, res_get_depth_surface(v->depth_surface));
    gfx_set_viewport(v->viewport[0], v->viewport[1], v->viewport[2], v->viewport[3]);
    gfx_set_scissor(v->scissor[0], v->scissor[1], v->scissor[2], v->scissor[3]);
    gfx_clear(GFX_CLEAR_TARGET_Z, v->clear_color);
    draw_range(v->first_range);
    draw_range_3d(v);
    draw_range(v->last_range);
}

bool rtview_any_draws_layer(int32_t layer) {
    const auto holds = [layer](const int32_t range[2]) {
        return range[0] != NO_RANGE && layer >= range[0] && layer <= range[1];
    };
    for (const RenderView *v = s_pool.active_head; v; v = v->next)
        if (v->enabled && (holds(v->first_range) || holds(v->range_3d) || holds(v->last_range)))
            return true;
    return false;
}

void rtview_set_camera_viewport(int32_t camera_view, int32_t x, int32_t y, int32_t width,
                                int32_t height) {
    // The aspect follows the size; a zero side is taken as 1, so it stays finite.
    view_set_viewport(camera_view, x, y, width, height);
}

uint32_t rtview_name_hash(const char *text) {
    return res_hash_name(text);
}
