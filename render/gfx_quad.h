// Immediate screen-space quads for full-screen and rectangular effects: one quad with up to two
// textures, a colour and a draw-state set, drawn at once from the shared screen vertices; and a
// check of whether the device can use a texture's format.
#pragma once
#include <cstdint>

#include "render/gfx_texture.h"

// Building blocks of all screen-space 2D drawing (sprites, labels, the text passes and the quads
// below) over the shared screen vertices and quad index list. Corners of a quad run top-left,
// top-right, bottom-left, bottom-right.

// Blending by source alpha, no depth write, depth test always, no culling, solid fill.
void quad_set_screen_states(void);
// The above plus no fog or lighting and stage 0 = texture x diffuse for colour and alpha.
void quad_set_textured_states(void);
// Source and destination factors of blend pair `mode`, straight to the device; true when they
// are (one, zero), which leaves the source as it is.
bool quad_set_blend(int32_t mode);
// Colour and alpha of a texture stage both as `op` of the two arguments.
void quad_set_stage_ops(uint32_t stage, uint32_t op, uint32_t arg1, uint32_t arg2);
// Shader set `set` for the screen vertices (-1 keeps the set and takes new parameters).
void quad_shader_bind(int32_t set, const void *params);
// Empties every texture stage.
void quad_unbind_textures(void);
// One quad's four vertices, depth 0 and rhw 1; a null `uv2` gives second coordinates of 0.
// Inline: the sprite draw writes one per sprite.
inline void quad_write(ScreenVertex *v, const float xy[4][2], const float uv[4][2],
                       const float uv2[4][2], uint32_t argb) {
    for (int k = 0; k < 4; ++k) {
        v[k].x = xy[k][0];
        v[k].y = xy[k][1];
        v[k].z = 0.0f;
        v[k].rhw = 1.0f;
        v[k].diffuse = argb;
        v[k].u0 = uv[k][0];
        v[k].v0 = uv[k][1];
        v[k].u1 = uv2 ? uv2[k][0] : 0.0f;
        v[k].v1 = uv2 ? uv2[k][1] : 0.0f;
    }
}
// An upright quad from (x0, y0) to (x1, y1) with texture coordinates (u0, v0) to (u1, v1).
void quad_write_rect(ScreenVertex *v, float x0, float y0, float x1, float y1, float u0, float v0,
                     float u1, float v1, uint32_t argb);
// Draws the first `quads` quads of the screen vertices as indexed triangles; none for 0.
void quad_draw_screen(int32_t quads);

// The draw-state arguments every member of the family takes.
struct QuadStates {
    uint32_t argb;
    uint32_t zwrite;
    int32_t zcompare;   // compare-function index
    int32_t blend_pair; // blend-pair index
    int32_t alpha_ref;  // alpha-reference index; 5 leaves the alpha test off
    int32_t filter;     // texture filter index
    uint32_t shader_flag;
    int32_t shader_set;   // shader set for the shader path of the screen vertices
    const void *reserved; // parameter block passed to the shader path
};

// Texture coordinates of one corner.
struct QuadUv {
    float u, v;
};

// The quad covers the current viewport; texture coordinates are the viewport over the size of
// colour target 0, or 0 to 1 with `whole_texture`; `shake` moves it by the view's camera shake.
void quad_draw_viewport(int32_t view, uint32_t texture_a, uint32_t texture_b,
                        const QuadStates *states, bool whole_texture, bool shake);
void quad_draw_rect(float x, float y, float width, float height, uint32_t texture_a,
                    uint32_t texture_b, const QuadStates *states);
void quad_draw_rect_viewport(uint32_t texture_a, uint32_t texture_b, const QuadStates *states);
// First texture coordinates per corner: top-left, top-right, bottom-left, bottom-right.
void quad_draw_rect_uv(float x, float y, float width, float height, const QuadUv *top_left,
                       const QuadUv *top_right, const QuadUv *bottom_left,
                       const QuadUv *bottom_right, uint32_t texture_a, uint32_t texture_b,
                       const QuadStates *states);
void quad_draw_rect_uv_viewport(const QuadUv *top_left, const QuadUv *top_right,
                                const QuadUv *bottom_left, const QuadUv *bottom_right,
                                uint32_t texture_a, uint32_t texture_b, const QuadStates *states);
// Eight texture-coordinate sets per corner: set k = the corner's (0 or 1, 0 or 1) plus
// offsets[2k], offsets[2k + 1]. Z-write off, z-compare always, alpha test off.
void quad_draw_taps(float x, float y, float width, float height, uint32_t texture_a,
                    uint32_t texture_b, const float offsets[16], const QuadStates *states);
void quad_draw_taps_viewport(uint32_t texture_a, uint32_t texture_b, const float offsets[16],
                             const QuadStates *states);
// An untextured ellipse centred on (x, y) with radii rx, ry, turned by `angle` radians, drawn
// as a fan; a colour with alpha below 255 is blended by its alpha, else drawn opaque.
void quad_draw_plain(float x, float y, float rx, float ry, float angle, uint32_t argb);

// 1 when the device can make a texture of the format (as a render target with the flag).
uint32_t gfx_check_format(uint32_t format, bool render_target);
uint32_t gfx_check_texture_format(uint32_t texture_handle);
