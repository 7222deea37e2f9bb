// Render-state cache and the fixed tables that turn the renderer's small state indexes (blend
// pair, cull index, compare index ...) into device codes; thin wrappers for viewport, scissor,
// clear, clip plane, colour-write mask and stencil.
#pragma once
#include <cstdint>

// Eleven words kept inside DeviceState; 0xFFFFFFFF = unknown, so the next gfx_set_draw_states
// sends every state.
struct RenderStateCache {
    uint32_t req_lighting;     // lighting as last asked for (before the shader override)
    uint32_t req_fog;          // fog as last asked for
    uint32_t applied_lighting; // value last sent as lighting
    uint32_t zwrite;
    uint32_t zfunc_index;
    uint32_t fog;
    uint32_t blend_pair;
    uint32_t cull_index;
    uint32_t fill_index;
    uint32_t alpha_ref_index;
    uint32_t shader_flag; // no render state of its own
};

constexpr uint32_t GFX_STATE_UNKNOWN = 0xFFFFFFFFu;

// Clear modes (rows of ClearFlagTable).
enum GfxClearMode {
    GFX_CLEAR_TARGET = 0,
    GFX_CLEAR_Z = 1,
    GFX_CLEAR_STENCIL = 2,
    GFX_CLEAR_Z_STENCIL = 3,
    GFX_CLEAR_TARGET_Z = 4,
    GFX_CLEAR_ALL = 5,
};

constexpr int GFX_TEXTURE_FORMAT_COUNT = 24;
constexpr int GFX_BLEND_PAIR_COUNT = 13;

// Clear of the bound targets: z 1.0, stencil 0. Without a stencil-capable device the stencil
// bit is dropped; without a bound depth surface the mode becomes colour only; a mode outside
// 0-5 clears nothing.
void gfx_clear(int32_t mode, uint32_t argb);

// Viewports (depth range 0 to 1); the current one is kept in DeviceState.
void gfx_set_viewport_view(int32_t view); // -1 = the client size
void gfx_set_viewport(int32_t x, int32_t y, int32_t width, int32_t height);
void gfx_set_viewport_texture(uint32_t texture_handle);
void gfx_set_viewport_texture_part(uint32_t texture_handle, float fx, float fy, float fw, float fh);
// Scissor rectangles (x, y, x + width, y + height).
void gfx_set_scissor_view(int32_t view); // -1 = the client size
void gfx_set_scissor(int32_t x, int32_t y, int32_t width, int32_t height);
void gfx_set_scissor_texture(uint32_t texture_handle);
void gfx_set_scissor_texture_part(uint32_t texture_handle, float fx, float fy, float fw, float fh);
void gfx_get_scissor(int32_t *x, int32_t *y, int32_t *width, int32_t *height);

void gfx_set_color_write(bool red, bool green, bool blue, bool alpha);
void gfx_set_clip_plane(int32_t index, const float *plane, bool enable);
void gfx_set_stencil_enable(bool enable);
// compare_code is the device's compare code (1-8) as given, no table.
void gfx_set_stencil_func(uint32_t reference, uint32_t read_mask, uint32_t write_mask,
                          uint32_t compare_code);
void gfx_set_stencil_ops(int32_t fail, int32_t zfail, int32_t pass); // StencilOpTable indexes

void gfx_reset_state_cache(void);
// Sends only the states whose index differs from the cache. True when lighting, fog or the
// shader flag changed (the caller then refreshes its shader constants).
bool gfx_set_draw_states(uint32_t lighting, uint32_t zwrite, int32_t zcompare, uint32_t fog,
                         int32_t blend_pair, int32_t cull, int32_t fill, int32_t alpha_ref,
                         uint32_t shader_flag);

uint32_t gfx_get_req_lighting(void);
uint32_t gfx_get_req_fog(void);
uint32_t gfx_get_applied_lighting(void);
uint32_t gfx_get_zwrite(void);
uint32_t gfx_get_zfunc_index(void);
uint32_t gfx_get_fog(void);
uint32_t gfx_get_blend_pair(void);
uint32_t gfx_get_cull_index(void);
uint32_t gfx_get_fill_index(void);
uint32_t gfx_get_alpha_ref_index(void);
uint32_t gfx_get_shader_flag(void);

// Table look-ups; a bad index gets the table's fallback, never a read outside it.
uint32_t gfx_clear_flags(int32_t mode);                             // 0 for a bad mode
uint32_t gfx_texture_format_code(int32_t index);                    // 24 or above (or negative): L8
uint32_t gfx_format_bits(uint32_t format);                          // not listed: 32
uint32_t gfx_depth_format_code(int32_t index);                      // 0 D16, 1 D24S8; bad: D16
void gfx_blend_factors(int32_t pair, uint32_t *src, uint32_t *dst); // bad: (ONE, ZERO)
uint32_t gfx_cull_mode_code(int32_t index);                         // bad: index 0
uint32_t gfx_fill_mode_code(int32_t index);                         // bad: index 0
uint32_t gfx_filter_code(int32_t index);                            // bad: index 1 (linear)
uint32_t gfx_alpha_ref_value(int32_t index);                        // bad: index 0
uint32_t gfx_compare_func_code(int32_t index);                      // bad: index 1 (less)
uint32_t gfx_stencil_op_code(int32_t index);                        // bad: index 0 (keep)
uint32_t gfx_address_mode_code(int32_t index);                      // 0 wrap, 1 clamp; bad: wrap
bool gfx_is_stencil_format(uint32_t format);                        // D15S1, D24S8, D24X4S4, D24FS8
