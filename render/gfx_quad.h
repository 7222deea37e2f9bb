// Immediate screen-space quads for full-screen and rectangular effects: one quad with up to two
// textures, a colour and a draw-state set, drawn at once from the shared screen vertices; and a
// check of whether the device can use a texture's format.
#pragma once
#include <cstdint>

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
