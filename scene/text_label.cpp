// Text labels: kind, creators, setters, layout and draw.
#include "scene/text_label.h"

#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "platform/gpu/gpu.h"
#include "render/gfx_device.h"
#include "render/gfx_quad.h"
#include "render/gfx_texture.h"
#include "scene/sprite2d.h"

namespace {

int32_t s_kind_id;

// A function pointer does not fit the 256-byte payload beside everything else on a 64-bit
// build, so each label's glyph callback lives here, by pool index.
GlyphCallback s_glyph_callbacks[OBJ_POOL_SIZE];

TextLabel2D s_scratch;
TextLabel2D *tl(SceneObject *o) {
    if (o) return text2d_of(o);
    s_scratch = TextLabel2D{};
    return &s_scratch;
}

GlyphCallback callback_of(const SceneObject *o) {
    const int32_t i = obj_index(o);
    return i >= 0 ? s_glyph_callbacks[i] : nullptr;
}

void set_text_vformat(SceneObject *o, const char *format, va_list args) {
    char buffer[TEXT2D_MAX_CHARS + 1];
    if (!format) return;
    if (vsnprintf(buffer, sizeof(buffer), format, args) < 0) buffer[0] = 0;
    text2d_set_text(o, buffer);
}

SceneObject *make(OwnerId owner, const char *group, const char *font, int8_t first_code,
                  int32_t layer) {
    SceneObject *o = obj_create(owner);
    if (!o) return nullptr;
    obj_set_kind(o, s_kind_id);
    o->flags |= OBJ_FLAG_VISIBLE;
    obj_set_layer(o, layer);
    text2d_set_font(o, group, font, first_code);
    return o;
}

constexpr uint32_t FILTER_LINEAR_CODE = 2;

// One pass of the layout. With `out` null it only measures (pen from 0); otherwise it writes
// the glyph quads, aligned and placed, and returns their count.
int32_t layout(SceneObject *o, ScreenVertex *out, bool shadow, float *width, float *height) {
    const TextLabel2D *t = text2d_of(o);
    const TextureHandle *tex = res_get_texture(t->texture);
    const float h = std::fabs(t->height) < 0.001f ? t->glyph_height : t->height;
    const float aspect = tex && tex->height ? (float)tex->width / (float)tex->height : 1.0f;
    const float start = out ? -0.5f : 0.0f;
    float pen_x = start;
    const float pen_y = start;
    float total_w = 0.0f, max_h = 0.0f;
    int32_t n = 0;
    const GlyphCallback callback = callback_of(o);
    const uint32_t length =
        t->length <= (uint32_t)TEXT2D_MAX_CHARS ? t->length : (uint32_t)TEXT2D_MAX_CHARS;
    for (uint32_t i = 0; i < length; ++i) {
        const int32_t g = (int32_t)(uint8_t)t->text[i] - (int32_t)t->first_code;
        if (g < 0 || t->first_glyph + (uint32_t)g >= t->end_glyph) continue;
        const CropRecord *crop = res_get_crop(t->first_glyph + (uint32_t)g);
        if (!crop || crop->v_size == 0.0f) continue;
        const float gw = h * aspect * crop->u_size / crop->v_size;
        GlyphParams p = {0.0f, 0.0f, 1.0f, 1.0f, 0.0f, 0.5f, 0.5f, t->color};
        if (callback) callback(o, (int32_t)i, &p, t->callback_argument);
        const float cell = h * t->sx;
        const float advance = t->pitch != 0.0f ? cell * t->pitch : gw * t->sx;
        if (out) {
            const float cx = pen_x + p.dx + advance * p.pivot_x;
            const float cy = pen_y + p.dy + cell * p.pivot_y;
            float d[4][2];
            sprite2d_corner_offsets(d, gw, h, p.pivot_x, p.pivot_y, t->sx * p.scale_x,
                                    t->sy * p.scale_y, p.rotation);
            float xy[4][2];
            for (int k = 0; k < 4; ++k) {
                xy[k][0] = cx + d[k][0];
                xy[k][1] = cy + d[k][1];
            }
            const float u0 = crop->u0, v0 = crop->v0;
            const float u1 = crop->u0 + crop->u_size, v1 = crop->v0 + crop->v_size;
            const float uv[4][2] = {{u0, v0}, {u1, v0}, {u0, v1}, {u1, v1}};
            quad_write(&out[n * 4], xy, uv, nullptr, shadow ? t->shadow_color : p.color);
        }
        if (cell > max_h) max_h = cell;
        total_w += advance;
        pen_x += advance;
        ++n;
    }
    if (width) *width = total_w;
    if (height) *height = max_h;
    if (!out || n == 0) return n;
    const float ox = total_w * t->ax, oy = max_h * t->ay;
    const float c = std::cos(t->rotation), s = std::sin(t->rotation);
    const float sdx = shadow ? t->shadow_dx : 0.0f, sdy = shadow ? t->shadow_dy : 0.0f;
    for (int32_t k = 0; k < n * 4; ++k) {
        const float px = out[k].x - ox, py = out[k].y - oy;
        if (t->rotation == 0.0f) {
            out[k].x = t->x + px;
            out[k].y = t->y + py;
        } else {
            out[k].x = t->x + px * c + py * s;
            out[k].y = t->y - px * s + py * c;
        }
        out[k].x += sdx;
        out[k].y += sdy;
    }
    return n;
}

void draw_pass(SceneObject *o, bool shadow) {
    quad_draw_screen(layout(o, gfx_text_vertices(), shadow, nullptr, nullptr));
}

} // namespace

void text2d_register_kind(void) {
    s_kind_id = obj_register_kind(text2d_kind_draw, text2d_kind_init, text2d_kind_term,
                                  text2d_kind_key, (int32_t)sizeof(TextLabel2D));
}

int32_t text2d_kind_id(void) {
    return s_kind_id;
}

uint32_t text2d_kind_key(SceneObject *) {
    return 0;
}

void text2d_kind_term(SceneObject *) {}

void text2d_kind_init(SceneObject *o) {
    TextLabel2D *t = text2d_of(o);
    memset(t, 0, sizeof(*t));
    t->sx = t->sy = 1.0f;
    t->color = 0xFFFFFFFFu;
    t->blend = 1;
    t->first_code = 0x20;
    t->shadow_color = 0xFF000000u;
    const int32_t i = obj_index(o);
    if (i >= 0) s_glyph_callbacks[i] = nullptr;
    obj_set_layer(o, 20);
    o->flags |= OBJ_FLAG_VISIBLE;
}

void text2d_kind_draw(SceneObject **run, int32_t count) {
    GfxDevice *device = gfx_get_device();
    sprite2d_begin_states();
    gpu_set_sampler_state(0, GPU_SAMP_MAGFILTER, FILTER_LINEAR_CODE);
    gpu_set_sampler_state(0, GPU_SAMP_MINFILTER, FILTER_LINEAR_CODE);
    int32_t blend = 1, shader_set = 0;
    for (int32_t i = 0; i < count; ++i) {
        SceneObject *o = run[i];
        const TextLabel2D *t = text2d_of(o);
        if (t->first_glyph == 0) continue;
        if (t->blend != blend) {
            quad_set_blend(t->blend);
            blend = t->blend;
        }
        sprite2d_shader_change(&shader_set, t->shader_set, t->shader_params);
        tex_bind(device, 0, res_get_texture(t->texture), 1);
        if (t->flags & TEXT2D_FLAG_SHADOW) draw_pass(o, true);
        draw_pass(o, false);
    }
    sprite2d_end_states();
}

SceneObject *text2d_create(OwnerId owner, const char *group, const char *font, int8_t first_code,
                           uint32_t color, float x, float y, float sx, float sy,
                           uint32_t align_flags, int32_t layer) {
    SceneObject *o = make(owner, group, font, first_code, layer);
    if (!o) return nullptr;
    text2d_set_position(o, x, y);
    text2d_set_align_flags(o, align_flags);
    text2d_set_scale(o, sx, sy);
    text2d_set_color(o, color);
    return o;
}

SceneObject *text2d_create_simple(OwnerId owner, const char *group, const char *font,
                                  int8_t first_code, float x, float y, uint32_t align_flags,
                                  int32_t layer) {
    SceneObject *o = make(owner, group, font, first_code, layer);
    if (!o) return nullptr;
    text2d_set_position(o, x, y);
    text2d_set_align_flags(o, align_flags);
    return o;
}

SceneObject *text2d_put_format(OwnerId owner, const char *group, const char *font,
                               int8_t first_code, uint32_t color, float x, float y, float sx,
                               float sy, uint32_t align_flags, int32_t layer, const char *format,
                               ...) {
    SceneObject *o = make(owner, group, font, first_code, layer);
    if (!o) return nullptr;
    text2d_set_position(o, x, y);
    text2d_set_scale(o, sx, sy);
    text2d_set_align_flags(o, align_flags);
    text2d_set_color(o, color);
    va_list args;
    va_start(args, format);
    set_text_vformat(o, format, args);
    va_end(args);
    o->flags |= OBJ_FLAG_VISIBLE;
    obj_kill(o);
    obj_set_layer(o, layer);
    return o;
}

void text2d_set_font(SceneObject *o, const char *group, const char *font, int8_t first_code) {
    if (!o || !font) return;
    char name[256];
    const int len = snprintf(name, sizeof(name), "%s_0000", font);
    if (len < 0 || len >= (int)sizeof(name)) return;
    const ResourceHandle first = res_find_crop(group, name);
    const CropRecord *crop = res_get_crop(first);
    if (!crop) return;
    const TextureHandle *tex = res_get_texture(crop->texture);
    if (!tex || !tex->texture) return;
    TextLabel2D *t = text2d_of(o);
    t->first_glyph = first;
    t->end_glyph = text2d_glyph_run_end(font, first);
    t->texture = crop->texture;
    t->first_code = first_code;
    t->glyph_height = (float)tex->height * crop->v_size;
}

ResourceHandle text2d_glyph_run_end(const char *font, ResourceHandle first) {
    if (!font || first == 0) return first;
    const size_t len = strlen(font);
    ResourceHandle h = first;
    for (;;) {
        if (!res_get_crop(h)) break;
        const char *name = res_crop_name(h);
        if (!name || strncmp(name, font, len) != 0) break;
        ++h;
    }
    return h;
}

void text2d_set_text(SceneObject *o, const char *text) {
    TextLabel2D *t = tl(o);
    if (!text) {
        t->text[0] = 0;
        t->length = 0;
        return;
    }
    const size_t len = strnlen(text, TEXT2D_MAX_CHARS + 1);
    if (len > TEXT2D_MAX_CHARS) return;
    memcpy(t->text, text, len);
    t->text[len] = 0;
    t->length = (uint16_t)len;
}

void text2d_set_text_format(SceneObject *o, const char *format, ...) {
    va_list args;
    va_start(args, format);
    set_text_vformat(o, format, args);
    va_end(args);
}

void text2d_set_position(SceneObject *o, float x, float y) {
    tl(o)->x = x;
    tl(o)->y = y;
}
void text2d_set_height(SceneObject *o, float height) {
    tl(o)->height = height;
}
void text2d_set_align(SceneObject *o, float ax, float ay) {
    tl(o)->ax = ax;
    tl(o)->ay = ay;
}
void text2d_set_align_flags(SceneObject *o, uint32_t flags) {
    TextLabel2D *t = tl(o);
    t->ax = (flags & TEXT2D_ALIGN_CENTRE_X) ? 0.5f : (flags & TEXT2D_ALIGN_RIGHT) ? 1.0f : 0.0f;
    t->ay = (flags & TEXT2D_ALIGN_CENTRE_Y) ? 0.5f : (flags & TEXT2D_ALIGN_BOTTOM) ? 1.0f : 0.0f;
}
void text2d_set_scale(SceneObject *o, float sx, float sy) {
    tl(o)->sx = sx;
    tl(o)->sy = sy;
}
void text2d_set_rotation(SceneObject *o, float angle) {
    tl(o)->rotation = angle;
}
void text2d_set_pitch(SceneObject *o, float pitch) {
    tl(o)->pitch = pitch;
}
void text2d_set_color(SceneObject *o, uint32_t argb) {
    tl(o)->color = argb;
}
void text2d_set_blend(SceneObject *o, uint16_t mode) {
    tl(o)->blend = mode;
}
void text2d_set_shader(SceneObject *o, uint16_t set, const void *params, int32_t length) {
    TextLabel2D *t = tl(o);
    t->shader_set = set;
    if (length >= 1 && params)
        memcpy(t->shader_params, params,
               (size_t)(length < TEXT2D_SHADER_PARAM_BYTES ? length : TEXT2D_SHADER_PARAM_BYTES));
}
void text2d_set_shadow_on(SceneObject *o, uint32_t on) {
    TextLabel2D *t = tl(o);
    t->flags = (t->flags & ~TEXT2D_FLAG_SHADOW) | (on & 1);
}
void text2d_set_shadow_offset(SceneObject *o, float dx, float dy) {
    tl(o)->shadow_dx = dx;
    tl(o)->shadow_dy = dy;
}
void text2d_set_shadow_color(SceneObject *o, uint32_t argb) {
    tl(o)->shadow_color = argb;
}
void text2d_set_shadow(SceneObject *o, float dx, float dy, uint32_t argb) {
    TextLabel2D *t = tl(o);
    t->flags |= TEXT2D_FLAG_SHADOW;
    t->shadow_dx = dx;
    t->shadow_dy = dy;
    t->shadow_color = argb;
}
void text2d_set_glyph_callback(SceneObject *o, GlyphCallback callback, uint32_t argument) {
    const int32_t i = obj_index(o);
    if (i < 0) return;
    s_glyph_callbacks[i] = callback;
    text2d_of(o)->callback_argument = argument;
}
int32_t text2d_get_glyph_height(SceneObject *o) {
    return (int32_t)tl(o)->glyph_height;
}

void text2d_measure(SceneObject *o, float *width, float *height) {
    if (!o) {
        if (width) *width = 0.0f;
        if (height) *height = 0.0f;
        return;
    }
    layout(o, nullptr, false, width, height);
}
