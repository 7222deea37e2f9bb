#include "render/gfx_frame.h"

#include <cstdint>
#include <cstring>

#include "app/scene_manager.h"
#include "collision/coll_body.h"
#include "collision/coll_frustum.h"
#include "collision/collider.h"
#include "platform/gpu/gpu.h"
#include "render/font.h"
#include "render/gfx_device.h"
#include "render/gfx_state.h"
#include "render/gfx_texture.h"
#include "render/movie.h"
#include "render/rtview.h"
#include "render/shader.h"
#include "render/text_queue.h"
#include "render/view.h"
#include "resource/loader.h"
#include "resource/res_matrix.h"
#include "resource/res_texture.h"
#include "scene/object_manager.h"
#include "scene/model_instance.h"
#include "scene/node_settings.h"
#include "scene/owner_id.h"
#include "scene/point_light.h"
#include "scene/screen_prims.h"
#include "scene/sprite2d.h"
#include "scene/sprite3d.h"
#include "scene/wire_prims.h"

namespace {

constexpr uint16_t FATAL_DEVICE = 2; // fatal category of a device that cannot be made
constexpr int32_t FULL = -1;         // viewport and scissor over the whole client area
constexpr uint16_t BLEND_OPAQUE = 0;
constexpr uint32_t LAYER_TARGET_CLEAR = 0; // transparent black

LayerTarget s_layer_target;
SceneObject *s_target_sprite; // this frame's sprite of the layer target, null when none
bool s_direct_allowed = true;
GfxFramePath s_last_path = GFX_PATH_NONE;
// A frame has gone direct since the target was last filled: it holds an older picture than
// the previous frame's layers.
bool s_target_behind = false;

// Signs of x and y per orientation option; options 3 and 5 swap the client axes.
const int32_t OrientationSigns[GFX_ORIENTATION_COUNT][2] = {
    {1, 1}, {-1, 1}, {1, -1}, {-1, 1}, {-1, -1}, {1, -1},
};

// Points far outside any window still map without overflow.
int32_t clamp_to_i32(int64_t v) {
    return v < INT32_MIN ? INT32_MIN : v > INT32_MAX ? INT32_MAX : (int32_t)v;
}

int64_t trunc_to_i64(float v) {
    constexpr float LIMIT = 4.0e18f;
    if (!(v > -LIMIT)) return (int64_t)-LIMIT; // also NaN
    if (v > LIMIT) return (int64_t)LIMIT;
    return (int64_t)v;
}

int32_t or_client(int32_t value, int32_t client) {
    return value != 0 ? value : client;
}

} // namespace

// ---------------------------------------------------------------------------------------------
// Start-up and shutdown

void gfx_init(SDL_Window *window, int32_t reserved, int32_t client_width, int32_t client_height,
              int32_t bits_per_pixel, const DisplayOptions *options) {
    DisplayRecord *d = gfx_display();
    memset(d, 0, sizeof(*d));
    d->window = window;
    d->reserved = (uint32_t)reserved;
    d->client_width = client_width;
    d->client_height = client_height;
    d->bits_per_pixel = bits_per_pixel;
    if (options) {
        d->render_width = or_client(options->render_width, client_width);
        d->render_height = or_client(options->render_height, client_height);
        d->screen_width = or_client(options->screen_width, client_width);
        d->screen_height = or_client(options->screen_height, client_height);
        d->orientation = options->orientation;
    } else {
        d->render_width = d->screen_width = client_width;
        d->render_height = d->screen_height = client_height;
        d->orientation = 0;
    }

    d->outline_queue = text_queue_alloc(GFX_OUTLINE_QUEUE_BYTES);
    d->bitmap_queue = text_queue_alloc(GFX_BITMAP_QUEUE_BYTES);
    d->scene_drawing = 1;

    const DeviceCreateParams params = {
        window,  client_width, client_height, bits_per_pixel, 0, (uint32_t)d->orientation,
        nullptr, nullptr};
    // Every later module sets up device objects and pools of its own: without a device there
    // is nothing sound to go on with.
    if (!gfx_create_device(&params)) app_fatal_exit(FATAL_DEVICE, 0, 0, nullptr);

    loader_init();
    shader_load_all();
    font_init();
    rtview_init();
    movie_init();
    obj_manager_init();
    line2d_register_kind();
    tri2d_register_kind();
    sprite2d_register_kinds();
    wire_register_line_kind();
    wire_register_triangle_kind();
    sprite3d_register_kind();
    view_register_node_kinds();
    coll_body_init();
    coll_frustum_init();
    model_init_pools();
    coll_init();
    view_set_defaults();
    gfx_reset_scene();
}

void gfx_shutdown(void) {
    DisplayRecord *d = gfx_display();
    text_queue_free(d->outline_queue);
    text_queue_free(d->bitmap_queue);
    d->outline_queue = d->bitmap_queue = -1;
    coll_term();
    model_term_pools();
    coll_frustum_term();
    coll_body_term();
    scenedraw_shutdown();
    sprite3d_shutdown();
    wire_triangle_shutdown();
    wire_line_shutdown();
    sprite2d_shutdown();
    tri2d_shutdown();
    line2d_shutdown();
    obj_manager_term();
    movie_shutdown();
    rtview_shutdown();
    font_shutdown();
    shader_release_all();
    loader_shutdown();
    gfx_destroy_device();
}

// ---------------------------------------------------------------------------------------------
// Scene chains

void gfx_reset_scene(void) {
    owner_clear_all();
    obj_reset_all();
    res_pieces_reset();
    model_init_pools();
    coll_body_reset();
    coll_reset();
    gfx_reset_views();
    coll_frustum_reset();
    scenedraw_scene_reset();
    rtview_reset();
    movie_reset();
}

void gfx_clear_scene(void) {
    loader_reset();
    movie_stop_all();
    rtview_clear();
    scenedraw_scene_clear();
    // An empty hook, then colliders, frustum bodies, collision bodies and model pools clear
    // here, in that order.
    coll_clear();
    coll_frustum_clear();
    coll_body_clear();
    model_term_pools();
    res_pieces_reset();
    obj_reset_all();
    owner_clear_all();
    gfx_reset_views();
}

void gfx_reset_views(void) {
    view_set_defaults();
}

void gfx_set_scene_drawing(uint32_t flag) {
    gfx_display()->scene_drawing = flag;
}

// ---------------------------------------------------------------------------------------------
// Per frame

void gfx_render_frame(int32_t argument) {
    // Each view finishes its shake, light, fog and aux-camera steps before the next.
    view_step_frame(0);
    view_step_frame(1);

    scenedraw_frame_update();
    movie_update_all();
    obj_update_pass();
    // Collision bodies, frustum bodies and colliders step here.
    coll_body_update();
    coll_frustum_update();
    coll_update();
    rtview_update_all();

    DisplayRecord *d = gfx_display();
    s_last_path = GFX_PATH_NONE;
    if (d->scene_drawing) {
        plight_update_all();
        gfx_draw_frame_sync(d->window, (uint32_t)argument);
    } else {
        gfx_skip_frame(d->window, (uint32_t)argument);
    }

    movie_consume_frames();
    plight_sweep_killed();
    obj_destroy_killed();
}

void gfx_draw_scene(void) {
    const DisplayRecord *d = gfx_display();
    const uint32_t background = gfx_scale_rgb(gfx_pack_argb(d->clear_color, 0), 0);

    shader_update_fog_constants();
    scenedraw_reset_counters();
    sprite3d_reset_stats();
    gpu_set_render_state(GPU_RS_SCISSORTESTENABLE, 1);
    gfx_show_layer_target();

    obj_build_draw_list();
    plight_cull_per_camera();

    if (!gfx_is_device_lost() && gpu_begin_scene() == GPU_OK) {
        const int32_t direct = s_direct_allowed ? gfx_direct_layers_start(s_target_sprite) : -1;
        // Render views draw before this frame fills the target and see the previous frame's
        // layers there. Direct frames leave the target unfilled, so when the first frame
        // through it after them has a reader before its fill, the target is filled first as
        // well: that reader then sees this frame's layers, never an older picture than the
        // previous frame's.
        if (direct < 0 && s_target_behind && gfx_target_read_before_fill())
            gfx_render_layer_target();
        rtview_draw_all();
        tex_set_render_targets(0, 0, nullptr);
        gfx_set_scissor_view(FULL);
        gfx_set_viewport_view(FULL);
        // A direct frame leaves the target as it was: nothing this frame reads it (the check
        // makes sure), and filling it anyway would cost the very clear, draws and switch of
        // targets this path saves.
        if (direct >= 0) {
            gfx_clear(GFX_CLEAR_ALL, LAYER_TARGET_CLEAR);
            obj_draw_layers(GFX_TARGET_FIRST_LAYER, GFX_TARGET_LAST_LAYER);
            gfx_set_scissor_view(FULL);
            gfx_set_viewport_view(FULL);
            // From just past the target's sprite: what the other path draws before it is
            // covered by it.
            obj_draw_layers_from((uint32_t)direct, GFX_BACK_FIRST_LAYER, GFX_BACK_LAST_LAYER);
            s_last_path = GFX_PATH_DIRECT;
            s_target_behind = true;
        } else {
            gfx_clear(GFX_CLEAR_ALL, background);
            gfx_render_layer_target();
            gfx_set_scissor_view(FULL);
            gfx_set_viewport_view(FULL);
            obj_draw_layers(GFX_BACK_FIRST_LAYER, GFX_BACK_LAST_LAYER);
            s_last_path = GFX_PATH_LAYER_TARGET;
            s_target_behind = false;
        }

        gfx_set_viewport_view(FULL);
        GfxDevice *device = gfx_get_device();
        text_draw_bitmap(1, device, d->bitmap_queue);
        text_draw_outline(1, device, d->outline_queue);
        gpu_end_scene();
    }

    gfx_present();
    sprite2d_end_frame();
    s_target_sprite = nullptr; // destroyed with this frame's other one-frame objects
}

// ---------------------------------------------------------------------------------------------
// The layer target

void gfx_create_layer_target(void) {
    memset(&s_layer_target, 0, sizeof(s_layer_target));
    s_target_behind = false; // a new target: no frame has passed it by
    res_mark(&s_layer_target.mark);
    s_layer_target.texture =
        res_create_render_texture("tgt", "1", gfx_get_render_width(), gfx_get_render_height(), 0);
}

void gfx_release_layer_target(void) {
    if (s_layer_target.mark.valid) res_release_to_mark(&s_layer_target.mark);
    s_layer_target.texture = 0;
}

const LayerTarget *gfx_layer_target(void) {
    return &s_layer_target;
}

void gfx_show_layer_target(void) {
    s_target_sprite = nullptr;
    if (!s_layer_target.texture) return;
    SceneObject *s = sprite2d_put_texture(
        0, s_layer_target.texture, 0xFFFFFFFFu, (float)gfx_get_screen_width() * 0.5f,
        (float)gfx_get_screen_height() * 0.5f, 0.5f, 0.5f, 1.0f, 1.0f, GFX_LAYER_TARGET_LAYER);
    if (s) sprite2d_set_blend(s, BLEND_OPAQUE);
    s_target_sprite = s;
}

void gfx_allow_direct_layers(bool allowed) {
    s_direct_allowed = allowed;
}

GfxFramePath gfx_last_frame_path(void) {
    return s_last_path;
}

void gfx_render_layer_target(void) {
    gfx_set_viewport_view(FULL);
    gfx_set_scissor_view(FULL);
    tex_set_render_targets(s_layer_target.texture, 0, nullptr);
    gfx_clear(GFX_CLEAR_ALL, LAYER_TARGET_CLEAR);
    obj_draw_layers(GFX_TARGET_FIRST_LAYER, GFX_TARGET_LAST_LAYER);
    tex_set_render_targets(0, 0, nullptr);
}

// ---------------------------------------------------------------------------------------------
// Colour words

uint32_t gfx_pack_argb(uint32_t rgb, uint32_t alpha) {
    return (rgb & 0x00FFFFFFu) | (alpha & 0xFFu) << 24;
}

uint32_t gfx_scale_rgb(uint32_t argb, uint32_t shift) {
    if (shift > 31) shift = 31;
    const uint32_t r = (gfx_argb_red(argb) >> shift) & 0xFFu;
    const uint32_t g = (gfx_argb_green(argb) >> shift) & 0xFFu;
    const uint32_t b = (gfx_argb_blue(argb) >> shift) & 0xFFu;
    return (argb & 0xFF000000u) | r << 16 | g << 8 | b;
}

uint32_t gfx_argb_red(uint32_t argb) {
    return (argb >> 16) & 0xFFu;
}
uint32_t gfx_argb_green(uint32_t argb) {
    return (argb >> 8) & 0xFFu;
}
uint32_t gfx_argb_blue(uint32_t argb) {
    return argb & 0xFFu;
}
uint32_t gfx_argb_alpha(uint32_t argb) {
    return argb >> 24;
}

uint32_t gfx_want_lockable_back_buffer(void) {
    return 0;
}

// ---------------------------------------------------------------------------------------------
// Point mapping

void gfx_client_to_screen(int32_t *out_x, int32_t *out_y, int32_t client_x, int32_t client_y) {
    const DisplayRecord *d = gfx_display();
    const int32_t option =
        d->orientation >= 0 && d->orientation < GFX_ORIENTATION_COUNT ? d->orientation : 0;
    const bool rotated = option == 3 || option == 5;
    const int32_t cw = rotated ? d->client_height : d->client_width;
    const int32_t ch = rotated ? d->client_width : d->client_height;
    const int32_t px = rotated ? client_y : client_x;
    const int32_t py = rotated ? client_x : client_y;
    const int64_t fx = ((int64_t)px - (cw >> 1)) * OrientationSigns[option][0];
    const int64_t fy = ((int64_t)py - (ch >> 1)) * OrientationSigns[option][1];

    float s = 1.0f;
    const int32_t dx = cw - d->screen_width, dy = ch - d->screen_height;
    if (dx < 0 || dy < 0) {
        // A zero client axis has no scale to take; the point then stays unscaled.
        if (dx > dy) {
            if (ch != 0) s = (float)d->screen_height / (float)ch;
        } else if (cw != 0) {
            s = (float)d->screen_width / (float)cw;
        }
    }
    if (out_x) *out_x = clamp_to_i32(trunc_to_i64((float)fx * s) + d->screen_width / 2);
    if (out_y) *out_y = clamp_to_i32(trunc_to_i64((float)fy * s) + d->screen_height / 2);
}

void gfx_client_to_unit(float *out_x, float *out_y, int32_t client_x, int32_t client_y) {
    const DisplayRecord *d = gfx_display();
    int32_t x = 0, y = 0;
    gfx_client_to_screen(&x, &y, client_x, client_y);
    const float sw = (float)d->screen_width, sh = (float)d->screen_height;
    if (out_x) *out_x = sw != 0.0f ? (2.0f * (float)x - sw) / sw : 0.0f;
    if (out_y) *out_y = sh != 0.0f ? (sh - 2.0f * (float)y) / sh : 0.0f;
}
