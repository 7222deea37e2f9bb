// TextLabel2D: a line of text drawn from a bitmap font made of crops. The glyph of character c
// is the crop (c - first code) places after the crop named "<font>_0000" in the crop pool;
// the font's glyphs are the consecutive crops whose names begin with the font name.
#pragma once
#include <cstdint>

#include "resource/res_pools.h"
#include "scene/object_manager.h"

enum : int32_t {
    TEXT2D_MAX_CHARS = 128,
    TEXT2D_SHADER_PARAM_BYTES = 40,
};

enum : uint32_t {
    TEXT2D_FLAG_SHADOW = 1u << 0,
    // Align flags of the creators and text2d_set_align_flags.
    TEXT2D_ALIGN_RIGHT = 1,
    TEXT2D_ALIGN_CENTRE_X = 2,
    TEXT2D_ALIGN_BOTTOM = 4,
    TEXT2D_ALIGN_CENTRE_Y = 8,
};

// Per-glyph adjustments a glyph callback may make (defaults filled before each call).
struct GlyphParams {
    float dx, dy;           // added to the glyph's position; 0, 0
    float scale_x, scale_y; // multiply the label's scale; 1, 1
    float rotation;         // radians about the pivot; 0
    float pivot_x, pivot_y; // fractions of the glyph cell; 0.5, 0.5
    uint32_t color;         // the label's colour
};

typedef void (*GlyphCallback)(SceneObject *object, int32_t glyph_index, GlyphParams *params,
                              uint32_t argument);

struct TextLabel2D {
    float x, y;   // the alignment point
    float height; // character height; below 0.001 in magnitude: the glyph height
    float ax, ay; // alignment fractions of the laid-out width and height
    float sx, sy;
    float rotation;             // radians about the position
    float glyph_height;         // texture height x the _0000 crop's v size
    float pitch;                // fixed advance as a multiple of the cell height; 0 = own widths
    ResourceHandle first_glyph; // crop of the font's _0000 glyph; 0 = no font
    ResourceHandle end_glyph;   // crop just past the font's run
    ResourceHandle texture;
    uint32_t color;
    uint16_t shader_set;
    uint16_t blend;
    uint8_t shader_params[TEXT2D_SHADER_PARAM_BYTES];
    uint32_t callback_argument; // the callback itself is kept beside the pool (see .cpp)
    char text[TEXT2D_MAX_CHARS + 1];
    int8_t first_code; // character code of glyph 0, compared signed
    uint16_t length;
    uint32_t flags;
    float shadow_dx, shadow_dy;
    uint32_t shadow_color;
};

void text2d_register_kind(void); // called by sprite2d_register_kinds, before the sprite kind
int32_t text2d_kind_id(void);
void text2d_kind_init(SceneObject *object);
void text2d_kind_term(SceneObject *object);
void text2d_kind_draw(SceneObject **run, int32_t count);
uint32_t text2d_kind_key(SceneObject *object);

inline TextLabel2D *text2d_of(SceneObject *object) {
    return obj_payload<TextLabel2D>(object);
}

// Creators: null when the pool is empty.
SceneObject *text2d_create(OwnerId owner, const char *group, const char *font, int8_t first_code,
                           uint32_t color, float x, float y, float sx, float sy,
                           uint32_t align_flags, int32_t layer);
SceneObject *text2d_create_simple(OwnerId owner, const char *group, const char *font,
                                  int8_t first_code, float x, float y, uint32_t align_flags,
                                  int32_t layer);
SceneObject *text2d_put_format(OwnerId owner, const char *group, const char *font,
                               int8_t first_code, uint32_t color, float x, float y, float sx,
                               float sy, uint32_t align_flags, int32_t layer, const char *format,
                               ...) __attribute__((format(printf, 12, 13)));

void text2d_set_font(SceneObject *object, const char *group, const char *font, int8_t first_code);
ResourceHandle text2d_glyph_run_end(const char *font, ResourceHandle first);
void text2d_set_text(SceneObject *object, const char *text); // over 128 characters: ignored
void text2d_set_text_format(SceneObject *object, const char *format, ...)
    __attribute__((format(printf, 2, 3)));
void text2d_set_position(SceneObject *object, float x, float y);
void text2d_set_height(SceneObject *object, float height);
void text2d_set_align(SceneObject *object, float ax, float ay);
void text2d_set_align_flags(SceneObject *object, uint32_t flags);
void text2d_set_scale(SceneObject *object, float sx, float sy);
void text2d_set_rotation(SceneObject *object, float angle);
void text2d_set_pitch(SceneObject *object, float pitch);
void text2d_set_color(SceneObject *object, uint32_t argb);
void text2d_set_blend(SceneObject *object, uint16_t mode);
void text2d_set_shader(SceneObject *object, uint16_t set, const void *params, int32_t length);
void text2d_set_shadow_on(SceneObject *object, uint32_t on);
void text2d_set_shadow_offset(SceneObject *object, float dx, float dy);
void text2d_set_shadow_color(SceneObject *object, uint32_t argb);
void text2d_set_shadow(SceneObject *object, float dx, float dy, uint32_t argb);
void text2d_set_glyph_callback(SceneObject *object, GlyphCallback callback, uint32_t argument);
int32_t text2d_get_glyph_height(SceneObject *object);
// Lays the text out as the draw does: total advance and largest cell height (either may be null).
void text2d_measure(SceneObject *object, float *width, float *height);
