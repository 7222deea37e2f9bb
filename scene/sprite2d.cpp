// Sprite kind registration, creators, setters and the geometric queries.
#include "scene/sprite2d.h"

#include <cmath>
#include <cstring>

#include "math/quad2d.h"
#include "scene/text_label.h"

namespace {

int32_t s_kind_id;

const float k_default_uvs[4][2] = {{0, 0}, {1, 0}, {0, 1}, {1, 1}};

// Setters and getters take a null object (a creator that found the pool empty) quietly: they
// then work on a scratch record.
Sprite2D s_scratch;
Sprite2D *sp(SceneObject *o) {
    if (o) return sprite2d_of(o);
    s_scratch = Sprite2D{};
    return &s_scratch;
}

void set_rect_uvs(float uv[4][2], float u0, float v0, float u1, float v1) {
    uv[0][0] = u0, uv[0][1] = v0;
    uv[1][0] = u1, uv[1][1] = v0;
    uv[2][0] = u0, uv[2][1] = v1;
    uv[3][0] = u1, uv[3][1] = v1;
}

TextureHandle *texture_of(ResourceHandle handle) {
    TextureHandle *t = res_get_texture(handle);
    return t && t->texture ? t : nullptr;
}

// The crop's texture when both exist.
TextureHandle *crop_texture(ResourceHandle crop, CropRecord **out) {
    CropRecord *c = res_get_crop(crop);
    if (!c) return nullptr;
    *out = c;
    return texture_of(c->texture);
}

void set_crop_uvs(float uv[4][2], const CropRecord *c) {
    set_rect_uvs(uv, c->u0, c->v0, c->u0 + c->u_size, c->v0 + c->v_size);
}

SceneObject *make(OwnerId owner, uint32_t color, float x, float y, float ax, float ay, float sx,
                  float sy) {
    SceneObject *o = obj_create(owner);
    if (!o) return nullptr;
    obj_set_kind(o, s_kind_id);
    Sprite2D *s = sprite2d_of(o);
    s->x = x, s->y = y;
    s->ax = ax, s->ay = ay;
    s->sx = sx, s->sy = sy;
    s->color = color;
    return o;
}

SceneObject *finish(SceneObject *o, int32_t layer, bool one_frame) {
    sprite2d_show(o);
    if (one_frame) obj_kill(o);
    obj_set_layer(o, layer);
    return o;
}

SceneObject *make_crop(OwnerId owner, ResourceHandle crop, uint32_t color, float x, float y,
                       float ax, float ay, float sx, float sy, int32_t layer, bool one_frame) {
    SceneObject *o = make(owner, color, x, y, ax, ay, sx, sy);
    if (!o) return nullptr;
    sprite2d_set_crop(o, crop);
    return finish(o, layer, one_frame);
}

SceneObject *make_texture(OwnerId owner, ResourceHandle texture, uint32_t color, float x, float y,
                          float ax, float ay, float sx, float sy, int32_t layer, bool one_frame) {
    SceneObject *o = make(owner, color, x, y, ax, ay, sx, sy);
    if (!o) return nullptr;
    sprite2d_set_texture_full(o, texture);
    return finish(o, layer, one_frame);
}

SceneObject *make_rect(OwnerId owner, uint32_t color, float x, float y, float w, float h, float ax,
                       float ay, float sx, float sy, int32_t layer, bool one_frame) {
    SceneObject *o = make(owner, color, x, y, ax, ay, sx, sy);
    if (!o) return nullptr;
    sprite2d_set_size(o, w, h);
    return finish(o, layer, one_frame);
}

void uv_from_screen(const Sprite2D *s, float uv[4][2], ResourceHandle texture, float du, float dv,
                    float zoom) {
    const TextureHandle *t = texture_of(texture);
    if (!t || t->width == 0 || t->height == 0) return;
    float off[4][2];
    sprite2d_corner_offsets(off, s->w, s->h, s->ax, s->ay, s->sx, s->sy, s->rotation);
    const float tw = t->width, th = t->height;
    // Screen pixels (shifted by du, dv) taken into the texture's 0-1 range, v counted upwards.
    for (int k = 0; k < 4; ++k) {
        const float cx = s->x - 0.5f + off[k][0], cy = s->y - 0.5f + off[k][1];
        uv[k][0] = (cx + du) / tw;
        uv[k][1] = 1.0f - (cy + dv) / th;
    }
    if (zoom == 1.0f) return;
    const float c0x = (uv[0][0] + uv[3][0]) * 0.5f, c0y = (uv[0][1] + uv[3][1]) * 0.5f;
    const float c1x = (uv[1][0] + uv[2][0]) * 0.5f, c1y = (uv[1][1] + uv[2][1]) * 0.5f;
    const float cx = (c0x + c1x) * 0.5f, cy = (c0y + c1y) * 0.5f;
    for (int k = 0; k < 4; ++k) {
        uv[k][0] = cx + (uv[k][0] - cx) * zoom;
        uv[k][1] = cy + (uv[k][1] - cy) * zoom;
    }
}

} // namespace

void sprite2d_register_kinds(void) {
    text2d_register_kind();
    s_kind_id = obj_register_kind(sprite2d_kind_draw, sprite2d_kind_init, nullptr,
                                  sprite2d_kind_key, (int32_t)sizeof(Sprite2D));
}

int32_t sprite2d_kind_id(void) {
    return s_kind_id;
}

void sprite2d_shutdown(void) {}
void sprite2d_end_frame(void) {}

uint32_t sprite2d_kind_key(SceneObject *) {
    return 0;
}

void sprite2d_kind_init(SceneObject *o) {
    Sprite2D *s = sp(o);
    memset(s, 0, sizeof(*s));
    memcpy(s->uv, k_default_uvs, sizeof(s->uv));
    memcpy(s->uv2, k_default_uvs, sizeof(s->uv2));
    s->sx = s->sy = 1.0f;
    s->color = 0xFFFFFFFFu;
    s->blend = 1;
    s->filter = SPRITE2D_FILTER_AUTO;
    obj_set_layer(o, 20);
    sprite2d_show(o);
}

SceneObject *sprite2d_put_crop(OwnerId owner, ResourceHandle crop, uint32_t color, float x, float y,
                               float ax, float ay, float sx, float sy, int32_t layer) {
    return make_crop(owner, crop, color, x, y, ax, ay, sx, sy, layer, true);
}
SceneObject *sprite2d_put_texture(OwnerId owner, ResourceHandle texture, uint32_t color, float x,
                                  float y, float ax, float ay, float sx, float sy, int32_t layer) {
    return make_texture(owner, texture, color, x, y, ax, ay, sx, sy, layer, true);
}
SceneObject *sprite2d_put_rect(OwnerId owner, uint32_t color, float x, float y, float w, float h,
                               float ax, float ay, float sx, float sy, int32_t layer) {
    return make_rect(owner, color, x, y, w, h, ax, ay, sx, sy, layer, true);
}
SceneObject *sprite2d_create_crop(OwnerId owner, ResourceHandle crop, uint32_t color, float x,
                                  float y, float ax, float ay, float sx, float sy, int32_t layer) {
    return make_crop(owner, crop, color, x, y, ax, ay, sx, sy, layer, false);
}
SceneObject *sprite2d_create_texture(OwnerId owner, ResourceHandle texture, uint32_t color, float x,
                                     float y, float ax, float ay, float sx, float sy,
                                     int32_t layer) {
    return make_texture(owner, texture, color, x, y, ax, ay, sx, sy, layer, false);
}
SceneObject *sprite2d_create_rect(OwnerId owner, uint32_t color, float x, float y, float w, float h,
                                  float ax, float ay, float sx, float sy, int32_t layer) {
    return make_rect(owner, color, x, y, w, h, ax, ay, sx, sy, layer, false);
}

void sprite2d_show(SceneObject *o) {
    if (o) o->flags |= OBJ_FLAG_VISIBLE;
}

void sprite2d_set_position(SceneObject *o, float x, float y) {
    sp(o)->x = x;
    sp(o)->y = y;
}
void sprite2d_set_size(SceneObject *o, float w, float h) {
    sp(o)->w = w;
    sp(o)->h = h;
}
void sprite2d_set_anchor(SceneObject *o, float ax, float ay) {
    sp(o)->ax = ax;
    sp(o)->ay = ay;
}
void sprite2d_set_scale(SceneObject *o, float sx, float sy) {
    sp(o)->sx = sx;
    sp(o)->sy = sy;
}
void sprite2d_set_rotation(SceneObject *o, float angle) {
    sp(o)->rotation = angle;
}
void sprite2d_set_color(SceneObject *o, uint32_t argb) {
    sp(o)->color = argb;
}
void sprite2d_set_blend(SceneObject *o, uint16_t mode) {
    sp(o)->blend = mode;
}
void sprite2d_set_filter(SceneObject *o, int32_t filter) {
    sp(o)->filter = filter;
}
void sprite2d_set_texture(SceneObject *o, ResourceHandle texture) {
    sp(o)->texture = texture;
}
void sprite2d_set_texture2(SceneObject *o, ResourceHandle texture) {
    sp(o)->texture2 = texture;
}

void sprite2d_set_texture_full(SceneObject *o, ResourceHandle texture) {
    const TextureHandle *t = texture_of(texture);
    if (!t) return;
    Sprite2D *s = sp(o);
    s->w = t->width;
    s->h = t->height;
    memcpy(s->uv, k_default_uvs, sizeof(s->uv));
    s->texture = texture;
}

void sprite2d_set_texture2_full(SceneObject *o, ResourceHandle texture) {
    if (!texture_of(texture)) return;
    Sprite2D *s = sp(o);
    memcpy(s->uv2, k_default_uvs, sizeof(s->uv2));
    s->texture2 = texture;
}

void sprite2d_set_crop(SceneObject *o, ResourceHandle crop) {
    CropRecord *c = nullptr;
    const TextureHandle *t = crop_texture(crop, &c);
    if (!t) return;
    Sprite2D *s = sp(o);
    s->w = std::fabs(c->u_size) * t->width;
    s->h = std::fabs(c->v_size) * t->height;
    set_crop_uvs(s->uv, c);
    s->texture = c->texture;
}

void sprite2d_set_crop2(SceneObject *o, ResourceHandle crop) {
    CropRecord *c = nullptr;
    if (!crop_texture(crop, &c)) return;
    Sprite2D *s = sp(o);
    set_crop_uvs(s->uv2, c);
    s->texture2 = c->texture;
}

void sprite2d_set_uv_rect(SceneObject *o, float u0, float v0, float u1, float v1) {
    set_rect_uvs(sp(o)->uv, u0, v0, u1, v1);
}
void sprite2d_set_uv2_rect(SceneObject *o, float u0, float v0, float u1, float v1) {
    set_rect_uvs(sp(o)->uv2, u0, v0, u1, v1);
}
void sprite2d_set_uvs(SceneObject *o, const float uvs[8]) {
    if (!uvs) return;
    memcpy(sp(o)->uv, uvs, sizeof(float) * 8);
}
void sprite2d_set_uv2s(SceneObject *o, const float uvs[8]) {
    if (!uvs) return;
    memcpy(sp(o)->uv2, uvs, sizeof(float) * 8);
}
void sprite2d_set_uv_turn(SceneObject *o, uint8_t turn, uint8_t flip) {
    sp(o)->uv_turn = turn & 3;
    sp(o)->uv_flip = flip;
}
void sprite2d_set_uv2_turn(SceneObject *o, uint8_t turn, uint8_t flip) {
    sp(o)->uv2_turn = turn & 3;
    sp(o)->uv2_flip = flip;
}

void sprite2d_set_shader(SceneObject *o, uint16_t set, const void *params, int32_t length) {
    Sprite2D *s = sp(o);
    s->shader_set = set;
    if (length >= 1 && params)
        memcpy(
            s->shader_params, params,
            (size_t)(length < SPRITE2D_SHADER_PARAM_BYTES ? length : SPRITE2D_SHADER_PARAM_BYTES));
}

void sprite2d_set_clip(SceneObject *o, int16_t x, int16_t y, int16_t w, int16_t h) {
    Sprite2D *s = sp(o);
    s->clip_x = x, s->clip_y = y, s->clip_w = w, s->clip_h = h;
}

void sprite2d_uv_from_screen(SceneObject *o, float du, float dv, float zoom) {
    Sprite2D *s = sp(o);
    uv_from_screen(s, s->uv, s->texture, du, dv, zoom);
}
void sprite2d_uv2_from_screen(SceneObject *o, float du, float dv, float zoom) {
    Sprite2D *s = sp(o);
    uv_from_screen(s, s->uv2, s->texture2, du, dv, zoom);
}

float sprite2d_get_x(SceneObject *o) {
    return sp(o)->x;
}
float sprite2d_get_y(SceneObject *o) {
    return sp(o)->y;
}
float sprite2d_get_rotation(SceneObject *o) {
    return sp(o)->rotation;
}
float sprite2d_get_w(SceneObject *o) {
    return sp(o)->w;
}
float sprite2d_get_h(SceneObject *o) {
    return sp(o)->h;
}
float sprite2d_get_anchor_x(SceneObject *o) {
    return sp(o)->ax;
}
float sprite2d_get_anchor_y(SceneObject *o) {
    return sp(o)->ay;
}
float sprite2d_get_scale_x(SceneObject *o) {
    return sp(o)->sx;
}
float sprite2d_get_scale_y(SceneObject *o) {
    return sp(o)->sy;
}
uint32_t sprite2d_get_color(SceneObject *o) {
    return sp(o)->color;
}
ResourceHandle sprite2d_get_texture(SceneObject *o) {
    return sp(o)->texture;
}
ResourceHandle sprite2d_get_texture2(SceneObject *o) {
    return sp(o)->texture2;
}

void sprite2d_corner_offsets(float out[4][2], float w, float h, float ax, float ay, float sx,
                             float sy, float rotation) {
    const float l = w * ax * sx, r = (1.0f - ax) * w * sx;
    const float t = h * ay * sy, b = (1.0f - ay) * h * sy;
    const float d[4][2] = {{-l, -t}, {r, -t}, {-l, b}, {r, b}};
    if (rotation == 0.0f) {
        memcpy(out, d, sizeof(d));
        return;
    }
    const float c = std::cos(rotation), s = std::sin(rotation);
    for (int k = 0; k < 4; ++k) {
        out[k][0] = d[k][0] * c + d[k][1] * s;
        out[k][1] = -d[k][0] * s + d[k][1] * c;
    }
}

int32_t sprite2d_corners(Quad2D *out, SceneObject *o, float ex, float ey) {
    if (!out) return 0;
    const Sprite2D *s = sp(o);
    float off[4][2];
    sprite2d_corner_offsets(off, s->w * ex, s->h * ey, s->ax, s->ay, s->sx, s->sy, s->rotation);
    for (int k = 0; k < 4; ++k) {
        out->corner[k].x = s->x + off[k][0];
        out->corner[k].y = s->y + off[k][1];
    }
    return s->rotation != 0.0f ? 1 : 0;
}

int32_t sprite2d_hit_point(SceneObject *o, float ex, float ey, float px, float py) {
    Quad2D q;
    if (sprite2d_corners(&q, o, ex, ey)) {
        const Vec2 p = {px, py};
        return geom2d_quad_contains_point(&q, &p);
    }
    const float left = std::fmin(q.corner[0].x, q.corner[3].x);
    const float right = std::fmax(q.corner[0].x, q.corner[3].x);
    const float top = std::fmin(q.corner[0].y, q.corner[3].y);
    const float bottom = std::fmax(q.corner[0].y, q.corner[3].y);
    return px >= left && px < right && py >= top && py < bottom ? 1 : 0;
}

int32_t sprite2d_hit_circle(SceneObject *o, float ex, float ey, const Vec2 *centre, float radius) {
    if (!centre) return 0;
    Quad2D q;
    sprite2d_corners(&q, o, ex, ey);
    return geom2d_quad_hits_circle(&q, centre, radius);
}

int32_t sprite2d_hit_segment(SceneObject *o, float ex, float ey, const Vec2 *p0, const Vec2 *p1) {
    if (!p0 || !p1) return 0;
    Quad2D q;
    sprite2d_corners(&q, o, ex, ey);
    return geom2d_quad_hits_segment(&q, p0, p1);
}

int32_t sprite2d_hit_sprite(SceneObject *a, float ex, float ey, SceneObject *b, float ex2,
                            float ey2) {
    Quad2D qa, qb;
    sprite2d_corners(&qa, a, ex, ey);
    sprite2d_corners(&qb, b, ex2, ey2);
    return geom2d_quads_overlap(&qa, &qb);
}
