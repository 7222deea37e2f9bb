// Sprite2D: the object kind that draws textured, coloured screen-space quads (the game's 2D
// pictures, movie pictures and the full-screen picture of the layer target). Consecutive
// sprites that share textures, blend mode and filter go into one indexed draw of up to 4096
// quads.
#pragma once
#include <cstdint>

#include "math/math_types.h"
#include "resource/res_pools.h"
#include "scene/object_manager.h"

enum : int32_t {
    SPRITE2D_SHADER_PARAM_BYTES = 40,
    SPRITE2D_FILTER_AUTO = -1, // point when unscaled and unturned, else linear
    SPRITE2D_FILTER_POINT = 0,
    SPRITE2D_FILTER_LINEAR = 1,
};

enum : uint8_t {
    SPRITE2D_FLIP_U = 1u << 2, // mirror across the vertical axis
    SPRITE2D_FLIP_V = 1u << 3, // mirror across the horizontal axis
};

// Corner order everywhere: top-left, top-right, bottom-left, bottom-right.
struct Sprite2D {
    float x, y; // screen position of the anchor point
    float w, h; // size in pixels before scaling
    float uv[4][2];
    float uv2[4][2];
    float ax, ay; // anchor as fractions of the size
    float sx, sy;
    float rotation; // radians about the anchor; positive turns counter-clockwise on screen
    uint32_t color; // ARGB of all four corners
    ResourceHandle texture, texture2;
    uint16_t shader_set;
    uint16_t blend; // BlendPairTable index
    uint8_t uv_turn, uv2_turn;
    uint8_t uv_flip, uv2_flip;
    int32_t filter;
    uint8_t shader_params[SPRITE2D_SHADER_PARAM_BYTES];
    int16_t clip_x, clip_y, clip_w, clip_h; // clip_w 0 = no clip
};
static_assert(sizeof(Sprite2D) == 172, "sprite payload is 172 bytes");

// Registers the text-label kind, then the sprite kind (graphics start-up).
void sprite2d_register_kinds(void);
int32_t sprite2d_kind_id(void);
void sprite2d_shutdown(void);
void sprite2d_end_frame(void);

void sprite2d_kind_init(SceneObject *object);
void sprite2d_kind_draw(SceneObject **run, int32_t count);
uint32_t sprite2d_kind_key(SceneObject *object);

// The sprite record of an object (the caller makes sure it is a sprite).
inline Sprite2D *sprite2d_of(SceneObject *object) {
    return obj_payload<Sprite2D>(object);
}

// Creators: null when the pool is empty. "put" makes one-frame sprites.
SceneObject *sprite2d_put_crop(OwnerId owner, ResourceHandle crop, uint32_t color, float x, float y,
                               float ax, float ay, float sx, float sy, int32_t layer);
SceneObject *sprite2d_put_texture(OwnerId owner, ResourceHandle texture, uint32_t color, float x,
                                  float y, float ax, float ay, float sx, float sy, int32_t layer);
SceneObject *sprite2d_put_rect(OwnerId owner, uint32_t color, float x, float y, float w, float h,
                               float ax, float ay, float sx, float sy, int32_t layer);
SceneObject *sprite2d_create_crop(OwnerId owner, ResourceHandle crop, uint32_t color, float x,
                                  float y, float ax, float ay, float sx, float sy, int32_t layer);
SceneObject *sprite2d_create_texture(OwnerId owner, ResourceHandle texture, uint32_t color, float x,
                                     float y, float ax, float ay, float sx, float sy,
                                     int32_t layer);
SceneObject *sprite2d_create_rect(OwnerId owner, uint32_t color, float x, float y, float w, float h,
                                  float ax, float ay, float sx, float sy, int32_t layer);

void sprite2d_show(SceneObject *object);
void sprite2d_set_position(SceneObject *object, float x, float y);
void sprite2d_set_size(SceneObject *object, float w, float h);
void sprite2d_set_anchor(SceneObject *object, float ax, float ay);
void sprite2d_set_scale(SceneObject *object, float sx, float sy);
void sprite2d_set_rotation(SceneObject *object, float angle);
void sprite2d_set_color(SceneObject *object, uint32_t argb);
void sprite2d_set_blend(SceneObject *object, uint16_t mode);
void sprite2d_set_filter(SceneObject *object, int32_t filter);
void sprite2d_set_texture(SceneObject *object, ResourceHandle texture);
void sprite2d_set_texture2(SceneObject *object, ResourceHandle texture);
void sprite2d_set_texture_full(SceneObject *object, ResourceHandle texture);
void sprite2d_set_texture2_full(SceneObject *object, ResourceHandle texture);
void sprite2d_set_crop(SceneObject *object, ResourceHandle crop);
void sprite2d_set_crop2(SceneObject *object, ResourceHandle crop);
void sprite2d_set_uv_rect(SceneObject *object, float u0, float v0, float u1, float v1);
void sprite2d_set_uv2_rect(SceneObject *object, float u0, float v0, float u1, float v1);
void sprite2d_set_uvs(SceneObject *object, const float uvs[8]);
void sprite2d_set_uv2s(SceneObject *object, const float uvs[8]);
// Quarter turns 0-3 (others are taken modulo 4) and the flip bits.
void sprite2d_set_uv_turn(SceneObject *object, uint8_t turn, uint8_t flip);
void sprite2d_set_uv2_turn(SceneObject *object, uint8_t turn, uint8_t flip);
void sprite2d_set_shader(SceneObject *object, uint16_t set, const void *params, int32_t length);
void sprite2d_set_clip(SceneObject *object, int16_t x, int16_t y, int16_t w, int16_t h);
void sprite2d_uv_from_screen(SceneObject *object, float du, float dv, float zoom);
void sprite2d_uv2_from_screen(SceneObject *object, float du, float dv, float zoom);

float sprite2d_get_x(SceneObject *object);
float sprite2d_get_y(SceneObject *object);
float sprite2d_get_rotation(SceneObject *object);
float sprite2d_get_w(SceneObject *object);
float sprite2d_get_h(SceneObject *object);
float sprite2d_get_anchor_x(SceneObject *object);
float sprite2d_get_anchor_y(SceneObject *object);
float sprite2d_get_scale_x(SceneObject *object);
float sprite2d_get_scale_y(SceneObject *object);
uint32_t sprite2d_get_color(SceneObject *object);
ResourceHandle sprite2d_get_texture(SceneObject *object);
ResourceHandle sprite2d_get_texture2(SceneObject *object);

// Screen corners with the size further multiplied by (ex, ey), without the draw's half-pixel
// shift; 1 when the sprite is turned.
int32_t sprite2d_corners(Quad2D *out, SceneObject *object, float ex, float ey);
int32_t sprite2d_hit_point(SceneObject *object, float ex, float ey, float px, float py);
int32_t sprite2d_hit_circle(SceneObject *object, float ex, float ey, const Vec2 *centre,
                            float radius);
int32_t sprite2d_hit_segment(SceneObject *object, float ex, float ey, const Vec2 *p0,
                             const Vec2 *p1);
int32_t sprite2d_hit_sprite(SceneObject *a, float ex, float ey, SceneObject *b, float ex2,
                            float ey2);

// Corner offsets around the anchor point, turned when the rotation is not 0 (shared with the
// text labels): out[k] = (dx, dy) of corner k.
void sprite2d_corner_offsets(float out[4][2], float w, float h, float ax, float ay, float sx,
                             float sy, float rotation);
// Device set-up shared by the textured 2D kinds (sprites and labels): shader set 0, the
// textured 2D states, no alpha test.
void sprite2d_begin_states(void);
// An object's shader within a run: its set when that differs from *current (which then follows
// it), else only its parameters for the set in use.
void sprite2d_shader_change(int32_t *current, int32_t set, const void *params);
// Shader set 0 again and every texture stage empty.
void sprite2d_end_states(void);
