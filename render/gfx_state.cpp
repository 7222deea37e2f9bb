#include "render/gfx_state.h"

#include "platform/gpu/gpu.h"
#include "render/gfx_device.h"
#include "render/gfx_texture.h"

#include "render/view.h"
#include "resource/res_pools.h"

namespace {

const uint32_t ClearFlagTable[6] = {1, 2, 4, 6, 3, 7};
const uint32_t CullModeTable[3] = {3, 2, 1}; // CCW, CW, none
const uint32_t FillModeTable[3] = {3, 2, 1}; // solid, wireframe, point
const uint32_t FilterTable[2] = {1, 2};      // point, linear
const uint32_t AlphaRefTable[6] = {1, 48, 129, 192, 254, 0};
const uint32_t CompareFuncTable[8] = {1, 2, 3, 4, 5, 6, 7, 8};
const uint32_t StencilOpTable[8] = {1, 2, 3, 4, 5, 6, 7, 8};
const uint32_t AddressModeTable[2] = {1, 3}; // wrap, clamp
const uint32_t DepthFormatTable[2] = {GPU_FMT_D16, GPU_FMT_D24S8};

struct BlendPair {
    uint32_t src, dst;
};
const BlendPair BlendPairTable[GFX_BLEND_PAIR_COUNT] = {
    {GPU_BLEND_ONE, GPU_BLEND_ZERO},
    {GPU_BLEND_SRCALPHA, GPU_BLEND_INVSRCALPHA},
    {GPU_BLEND_SRCALPHA, GPU_BLEND_ONE},
    {GPU_BLEND_ONE, GPU_BLEND_ONE},
    {GPU_BLEND_INVDESTCOLOR, GPU_BLEND_ONE},
    {GPU_BLEND_SRCCOLOR, GPU_BLEND_ONE},
    {GPU_BLEND_SRCCOLOR, GPU_BLEND_INVSRCCOLOR},
    {GPU_BLEND_ONE, GPU_BLEND_INVSRCALPHA},
    {GPU_BLEND_ZERO, GPU_BLEND_SRCCOLOR},
    {GPU_BLEND_DESTCOLOR, GPU_BLEND_ONE},
    {GPU_BLEND_DESTCOLOR, GPU_BLEND_SRCALPHA},
    {GPU_BLEND_INVDESTCOLOR, GPU_BLEND_ZERO},
    {GPU_BLEND_INVDESTALPHA, GPU_BLEND_DESTALPHA},
};

const uint32_t TextureFormatTable[GFX_TEXTURE_FORMAT_COUNT] = {
    GPU_FMT_A8R8G8B8,    GPU_FMT_X8R8G8B8,      GPU_FMT_A1R5G5B5, GPU_FMT_X1R5G5B5,
    GPU_FMT_R5G6B5,      GPU_FMT_R8G8B8,        GPU_FMT_A4R4G4B4, GPU_FMT_A16B16G16R16,
    GPU_FMT_A2R10G10B10, GPU_FMT_A2B10G10R10,   GPU_FMT_A8,       GPU_FMT_L8,
    GPU_FMT_A8L8,        GPU_FMT_DXT1,          GPU_FMT_DXT2,     GPU_FMT_DXT3,
    GPU_FMT_DXT4,        GPU_FMT_DXT5,          GPU_FMT_R16F,     GPU_FMT_R32F,
    GPU_FMT_G16R16F,     GPU_FMT_A16B16G16R16F, GPU_FMT_G32R32F,  GPU_FMT_A32B32G32R32F,
};

struct FormatBits {
    uint32_t format, bits;
};
// Searched in order. The device's format codes, including those the renderer never creates.
const FormatBits FormatBitsTable[52] = {
    {70, 16}, // D16_LOCKABLE
    {71, 32}, // D32
    {GPU_FMT_D15S1, 16},
    {GPU_FMT_D24S8, 32},
    {77, 32}, // D24X8
    {GPU_FMT_D24X4S4, 32},
    {82, 32}, // D32F_LOCKABLE
    {GPU_FMT_D24FS8, 32},
    {GPU_FMT_D16, 16},
    {101, 16}, // INDEX16
    {102, 32}, // INDEX32
    {GPU_FMT_DXT1, 4},
    {GPU_FMT_DXT2, 8},
    {GPU_FMT_DXT3, 8},
    {GPU_FMT_DXT4, 8},
    {GPU_FMT_DXT5, 8},
    {GPU_FMT_R16F, 32},
    {GPU_FMT_G16R16F, 32},
    {GPU_FMT_A16B16G16R16F, 64},
    {GPU_FMT_R32F, 32},
    {GPU_FMT_G32R32F, 64},
    {GPU_FMT_A32B32G32R32F, 128},
    {60, 16},  // V8U8
    {63, 32},  // Q8W8V8U8
    {67, 32},  // A2W10V10U10
    {61, 16},  // L6V5U5
    {62, 32},  // X8L8V8U8
    {64, 32},  // V16U16
    {110, 64}, // Q16W16V16U16
    {GPU_FMT_R8G8B8, 24},
    {GPU_FMT_A8R8G8B8, 32},
    {GPU_FMT_X8R8G8B8, 32},
    {GPU_FMT_R5G6B5, 16},
    {GPU_FMT_X1R5G5B5, 16},
    {GPU_FMT_A1R5G5B5, 16},
    {GPU_FMT_A4R4G4B4, 16},
    {27, 8}, // R3G3B2
    {GPU_FMT_A8, 8},
    {29, 16}, // A8R3G3B2
    {30, 16}, // X4R4G4B4
    {GPU_FMT_A2B10G10R10, 32},
    {32, 32}, // A8B8G8R8
    {33, 32}, // X8B8G8R8
    {34, 32}, // G16R16
    {GPU_FMT_A2R10G10B10, 32},
    {GPU_FMT_A16B16G16R16, 32},
    {40, 16}, // A8P8
    {41, 8},  // P8
    {GPU_FMT_L8, 8},
    {81, 16}, // L16
    {GPU_FMT_A8L8, 16},
    {52, 16}, // A4L4
};

template <size_t N> uint32_t pick(const uint32_t (&table)[N], int32_t index, int32_t fallback) {
    if (index < 0 || index >= (int32_t)N) index = fallback;
    return table[index];
}

RenderStateCache &cache() {
    return gfx_device_state()->state_cache;
}

uint32_t clamp_non_negative(int32_t v) {
    return v < 0 ? 0u : (uint32_t)v;
}

} // namespace

// ---------------------------------------------------------------------------------------------
// Table look-ups

uint32_t gfx_clear_flags(int32_t mode) {
    if (mode < 0 || mode >= 6) return 0;
    return ClearFlagTable[mode];
}
uint32_t gfx_texture_format_code(int32_t index) {
    if (index < 0 || index >= GFX_TEXTURE_FORMAT_COUNT) return GPU_FMT_L8;
    return TextureFormatTable[index];
}
uint32_t gfx_format_bits(uint32_t format) {
    for (const FormatBits &row : FormatBitsTable)
        if (row.format == format) return row.bits;
    return 32;
}
uint32_t gfx_depth_format_code(int32_t index) {
    return pick(DepthFormatTable, index, 0);
}
void gfx_blend_factors(int32_t pair, uint32_t *src, uint32_t *dst) {
    if (pair < 0 || pair >= GFX_BLEND_PAIR_COUNT) pair = 0;
    if (src) *src = BlendPairTable[pair].src;
    if (dst) *dst = BlendPairTable[pair].dst;
}
uint32_t gfx_cull_mode_code(int32_t index) {
    return pick(CullModeTable, index, 0);
}
uint32_t gfx_fill_mode_code(int32_t index) {
    return pick(FillModeTable, index, 0);
}
uint32_t gfx_filter_code(int32_t index) {
    return pick(FilterTable, index, 1);
}
uint32_t gfx_alpha_ref_value(int32_t index) {
    return pick(AlphaRefTable, index, 0);
}
uint32_t gfx_compare_func_code(int32_t index) {
    return pick(CompareFuncTable, index, 1);
}
uint32_t gfx_stencil_op_code(int32_t index) {
    return pick(StencilOpTable, index, 0);
}
uint32_t gfx_address_mode_code(int32_t index) {
    return pick(AddressModeTable, index, 0);
}
bool gfx_is_stencil_format(uint32_t format) {
    return format == GPU_FMT_D15S1 || format == GPU_FMT_D24S8 || format == GPU_FMT_D24X4S4 ||
           format == GPU_FMT_D24FS8;
}

// ---------------------------------------------------------------------------------------------
// Clear, viewport, scissor

void gfx_clear(int32_t mode, uint32_t argb) {
    if (mode < 0 || mode >= 6) return;
    const SurfaceHandle *depth = gfx_current_depth();
    if (!depth || !depth->surface) mode = GFX_CLEAR_TARGET;
    uint32_t flags = ClearFlagTable[mode];
    if (!gfx_device_state()->stencil) flags &= ~(uint32_t)GPU_CLEAR_STENCIL;
    gpu_clear(flags, argb, 1.0f, 0);
}

void gfx_set_viewport(int32_t x, int32_t y, int32_t width, int32_t height) {
    GpuViewport &vp = gfx_device_state()->viewport;
    vp.x = clamp_non_negative(x);
    vp.y = clamp_non_negative(y);
    vp.width = clamp_non_negative(width);
    vp.height = clamp_non_negative(height);
    vp.min_z = 0.0f;
    vp.max_z = 1.0f;
    gpu_set_viewport(&vp);
}

void gfx_set_viewport_view(int32_t view) {
    if (view == -1) {
        const DeviceState *ds = gfx_device_state();
        gfx_set_viewport(0, 0, ds->client_width, ds->client_height);
        return;
    }
    if (view < 0 || view > 1) return;
    int32_t x = 0, y = 0, w = 0, h = 0;
    view_get_viewport(view, &x, &y, &w, &h);
    gfx_set_viewport(x, y, w, h);
}

void gfx_set_viewport_texture(uint32_t texture_handle) {
    const TextureHandle *t = res_get_texture(texture_handle);
    if (!t) return;
    gfx_set_viewport(0, 0, t->width, t->height);
}

void gfx_set_viewport_texture_part(uint32_t texture_handle, float fx, float fy, float fw,
                                   float fh) {
    const TextureHandle *t = res_get_texture(texture_handle);
    if (!t) return;
    const float w = (float)t->width, h = (float)t->height;
    gfx_set_viewport((int32_t)(w * fx), (int32_t)(h * fy), (int32_t)(w * fw), (int32_t)(h * fh));
}

void gfx_set_scissor(int32_t x, int32_t y, int32_t width, int32_t height) {
    const GpuRect r = {x, y, x + width, y + height};
    gpu_set_scissor_rect(&r);
}

void gfx_set_scissor_view(int32_t view) {
    if (view == -1) {
        const DeviceState *ds = gfx_device_state();
        gfx_set_scissor(0, 0, ds->client_width, ds->client_height);
        return;
    }
    if (view < 0 || view > 1) return;
    int32_t x = 0, y = 0, w = 0, h = 0;
    view_get_viewport(view, &x, &y, &w, &h);
    gfx_set_scissor(x, y, w, h);
}

void gfx_set_scissor_texture(uint32_t texture_handle) {
    const TextureHandle *t = res_get_texture(texture_handle);
    if (!t) return;
    gfx_set_scissor(0, 0, t->width, t->height);
}

void gfx_set_scissor_texture_part(uint32_t texture_handle, float fx, float fy, float fw, float fh) {
    const TextureHandle *t = res_get_texture(texture_handle);
    if (!t) return;
    const float w = (float)t->width, h = (float)t->height;
    const GpuRect r = {(int32_t)(w * fx), (int32_t)(h * fy), (int32_t)(w * (fx + fw)),
                       (int32_t)(h * (fy + fh))};
    gpu_set_scissor_rect(&r);
}

void gfx_get_scissor(int32_t *x, int32_t *y, int32_t *width, int32_t *height) {
    GpuRect r = {};
    gpu_get_scissor_rect(&r);
    if (x) *x = r.left;
    if (y) *y = r.top;
    if (width) *width = r.right - r.left;
    if (height) *height = r.bottom - r.top;
}

// ---------------------------------------------------------------------------------------------
// Colour write, clip plane, stencil

void gfx_set_color_write(bool red, bool green, bool blue, bool alpha) {
    const uint32_t mask =
        (red ? 1u : 0u) | (green ? 2u : 0u) | (blue ? 4u : 0u) | (alpha ? 8u : 0u);
    gpu_set_render_state(GPU_RS_COLORWRITEENABLE, mask);
}

void gfx_set_clip_plane(int32_t index, const float *plane, bool enable) {
    if (!enable) {
        gpu_set_render_state(GPU_RS_CLIPPLANEENABLE, 0);
        return;
    }
    if (index < 0 || index > 5) return; // the device has six user clip planes
    if (plane) gpu_set_clip_plane((uint32_t)index, plane);
    gpu_set_render_state(GPU_RS_CLIPPLANEENABLE, 1u << index);
}

void gfx_set_stencil_enable(bool enable) {
    gpu_set_render_state(GPU_RS_STENCILENABLE, enable ? 1u : 0u);
}

void gfx_set_stencil_func(uint32_t reference, uint32_t read_mask, uint32_t write_mask,
                          uint32_t compare_code) {
    gpu_set_render_state(GPU_RS_STENCILREF, reference);
    gpu_set_render_state(GPU_RS_STENCILMASK, read_mask);
    gpu_set_render_state(GPU_RS_STENCILWRITEMASK, write_mask);
    gpu_set_render_state(GPU_RS_STENCILFUNC, compare_code);
}

void gfx_set_stencil_ops(int32_t fail, int32_t zfail, int32_t pass) {
    gpu_set_render_state(GPU_RS_STENCILFAIL, gfx_stencil_op_code(fail));
    gpu_set_render_state(GPU_RS_STENCILZFAIL, gfx_stencil_op_code(zfail));
    gpu_set_render_state(GPU_RS_STENCILPASS, gfx_stencil_op_code(pass));
}

// ---------------------------------------------------------------------------------------------
// Render-state cache

void gfx_reset_state_cache(void) {
    RenderStateCache &c = cache();
    c.req_lighting = c.req_fog = c.applied_lighting = GFX_STATE_UNKNOWN;
    c.zwrite = c.zfunc_index = c.fog = GFX_STATE_UNKNOWN;
    c.blend_pair = c.cull_index = c.fill_index = GFX_STATE_UNKNOWN;
    c.alpha_ref_index = c.shader_flag = GFX_STATE_UNKNOWN;
}

bool gfx_set_draw_states(uint32_t lighting, uint32_t zwrite, int32_t zcompare, uint32_t fog,
                         int32_t blend_pair, int32_t cull, int32_t fill, int32_t alpha_ref,
                         uint32_t shader_flag) {
    RenderStateCache &c = cache();
    bool changed = false;
    c.req_lighting = lighting;
    c.req_fog = fog;

    const uint32_t applied = shader_flag ? 0u : lighting;
    if (c.applied_lighting != applied) {
        c.applied_lighting = applied;
        gpu_set_render_state(GPU_RS_LIGHTING, applied);
        changed = true;
    }
    if (c.zwrite != zwrite) {
        c.zwrite = zwrite;
        gpu_set_render_state(GPU_RS_ZWRITEENABLE, zwrite);
    }
    if (c.zfunc_index != (uint32_t)zcompare) {
        c.zfunc_index = (uint32_t)zcompare;
        gpu_set_render_state(GPU_RS_ZFUNC, gfx_compare_func_code(zcompare));
    }
    if (c.fog != fog) {
        c.fog = fog;
        gpu_set_render_state(GPU_RS_FOGENABLE, fog);
        changed = true;
    }
    if (c.blend_pair != (uint32_t)blend_pair) {
        c.blend_pair = (uint32_t)blend_pair;
        uint32_t src = 0, dst = 0;
        gfx_blend_factors(blend_pair, &src, &dst);
        gpu_set_render_state(GPU_RS_SRCBLEND, src);
        gpu_set_render_state(GPU_RS_DESTBLEND, dst);
    }
    if (c.cull_index != (uint32_t)cull) {
        c.cull_index = (uint32_t)cull;
        gpu_set_render_state(GPU_RS_CULLMODE, gfx_cull_mode_code(cull));
    }
    if (c.fill_index != (uint32_t)fill) {
        c.fill_index = (uint32_t)fill;
        gpu_set_render_state(GPU_RS_FILLMODE, gfx_fill_mode_code(fill));
    }
    if (c.alpha_ref_index != (uint32_t)alpha_ref) {
        c.alpha_ref_index = (uint32_t)alpha_ref;
        gpu_set_render_state(GPU_RS_ALPHAREF, gfx_alpha_ref_value(alpha_ref));
    }
    if (c.shader_flag != shader_flag) {
        c.shader_flag = shader_flag;
        changed = true;
    }
    return changed;
}

uint32_t gfx_get_req_lighting(void) {
    return cache().req_lighting;
}
uint32_t gfx_get_req_fog(void) {
    return cache().req_fog;
}
uint32_t gfx_get_applied_lighting(void) {
    return cache().applied_lighting;
}
uint32_t gfx_get_zwrite(void) {
    return cache().zwrite;
}
uint32_t gfx_get_zfunc_index(void) {
    return cache().zfunc_index;
}
uint32_t gfx_get_fog(void) {
    return cache().fog;
}
uint32_t gfx_get_blend_pair(void) {
    return cache().blend_pair;
}
uint32_t gfx_get_cull_index(void) {
    return cache().cull_index;
}
uint32_t gfx_get_fill_index(void) {
    return cache().fill_index;
}
uint32_t gfx_get_alpha_ref_index(void) {
    return cache().alpha_ref_index;
}
uint32_t gfx_get_shader_flag(void) {
    return cache().shader_flag;
}
