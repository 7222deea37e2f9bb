#include "render/gfx_quad.h"

#include <cmath>
#include <cstring>

#include "platform/gpu/gpu.h"
#include "render/gfx_device.h"
#include "render/gfx_state.h"
#include "render/gfx_texture.h"
#include "render/shader.h"
#include "render/view.h"
#include "resource/res_pools.h"

namespace {

constexpr uint32_t TAPS_FVF = 0x844;
constexpr int TAP_SETS = 8;
constexpr int PLAIN_SEGMENTS = 32;
constexpr int32_t ALPHA_REF_NONE = 5; // the alpha-reference index that leaves the test off
constexpr int32_t CULL_NONE = 2;
constexpr int32_t FILL_SOLID = 0;
constexpr int32_t ZCOMPARE_ALWAYS = 7;

// Device codes of the direct 2D states.
enum : uint32_t {
    CMP_ALWAYS = 8,
    CULL_NONE_CODE = 1,
    FILL_SOLID_CODE = 3,
};

// Vertex of the eight-set variant (format 0x844, 84 bytes).
struct TapVertex {
    float x, y, z, rhw;
    uint32_t diffuse;
    float uv[TAP_SETS][2];
};
static_assert(sizeof(TapVertex) == 84, "tap vertex is 84 bytes");

struct Rect {
    float x, y, w, h;
};

Rect current_viewport(void) {
    const GpuViewport &vp = gfx_device_state()->viewport;
    return {(float)vp.x, (float)vp.y, (float)vp.width, (float)vp.height};
}

const TextureHandle *texture_of(uint32_t handle) {
    return handle ? res_get_texture(handle) : nullptr;
}

void bind_shader(int32_t set, const void *params, uint32_t fvf) {
    shader_select(set, params, 0, shader_find_vertex_decl(fvf), nullptr, nullptr, nullptr, nullptr,
                  1.0f, nullptr, 0);
}

// Steps shared by every member before its vertices: cache unknown, shader path, blending,
// alpha test, draw states and the two textures. Returns whether the alpha test was turned on.
bool begin_quad(uint32_t fvf, uint32_t texture_a, uint32_t texture_b, const QuadStates *s,
                uint32_t zwrite, int32_t zcompare, bool allow_alpha_test) {
    gfx_reset_state_cache();
    bind_shader(s->shader_set, s->reserved, fvf);
    gpu_set_render_state(GPU_RS_ALPHABLENDENABLE, 1);
    const bool alpha_test = allow_alpha_test && s->alpha_ref != ALPHA_REF_NONE;
    if (alpha_test) gpu_set_render_state(GPU_RS_ALPHATESTENABLE, 1);
    gfx_set_draw_states(0, zwrite, zcompare, 0, s->blend_pair, CULL_NONE, FILL_SOLID, s->alpha_ref,
                        s->shader_flag);
    GfxDevice *dev = gfx_get_device();
    tex_bind(dev, 0, texture_of(texture_a), s->filter);
    tex_bind(dev, 1, texture_of(texture_b), s->filter);
    return alpha_test;
}

void end_quad(bool alpha_test) {
    quad_unbind_textures();
    if (alpha_test) gpu_set_render_state(GPU_RS_ALPHATESTENABLE, 0);
    gfx_reset_state_cache();
}

// One quad of screen vertices with first coordinates per corner (tl, tr, bl, br) and the
// corner signs as second coordinates.
void draw_screen_quad(const Rect &r, float sx, float sy, const QuadUv uv[4], uint32_t argb) {
    const float x0 = r.x - 0.5f + sx, x1 = r.x + r.w - 0.5f + sx;
    const float y0 = r.y - 0.5f + sy, y1 = r.y + r.h - 0.5f + sy;
    const float xy[4][2] = {{x0, y0}, {x1, y0}, {x0, y1}, {x1, y1}};
    const float first[4][2] = {
        {uv[0].u, uv[0].v}, {uv[1].u, uv[1].v}, {uv[2].u, uv[2].v}, {uv[3].u, uv[3].v}};
    static const float signs[4][2] = {{-1, -1}, {1, -1}, {-1, 1}, {1, 1}};
    quad_write(gfx_text_vertices(), xy, first, signs, argb);
    quad_draw_screen(1);
}

void draw_uv_quad(const Rect &r, const QuadUv uv[4], uint32_t texture_a, uint32_t texture_b,
                  const QuadStates *s) {
    if (!s) return;
    const bool alpha_test =
        begin_quad(GFX_SCREEN_VERTEX_FVF, texture_a, texture_b, s, s->zwrite, s->zcompare, true);
    draw_screen_quad(r, 0.0f, 0.0f, uv, s->argb);
    end_quad(alpha_test);
}

void full_uv(QuadUv uv[4]) {
    uv[0] = {0, 0};
    uv[1] = {1, 0};
    uv[2] = {0, 1};
    uv[3] = {1, 1};
}

} // namespace

void quad_set_screen_states(void) {
    gpu_set_render_state(GPU_RS_ALPHABLENDENABLE, 1);
    gpu_set_render_state(GPU_RS_SRCBLEND, GPU_BLEND_SRCALPHA);
    gpu_set_render_state(GPU_RS_DESTBLEND, GPU_BLEND_INVSRCALPHA);
    gpu_set_render_state(GPU_RS_ZWRITEENABLE, 0);
    gpu_set_render_state(GPU_RS_ZFUNC, CMP_ALWAYS);
    gpu_set_render_state(GPU_RS_CULLMODE, CULL_NONE_CODE);
    gpu_set_render_state(GPU_RS_FILLMODE, FILL_SOLID_CODE);
}

void quad_set_textured_states(void) {
    quad_set_screen_states();
    gpu_set_render_state(GPU_RS_FOGENABLE, 0);
    gpu_set_render_state(GPU_RS_LIGHTING, 0);
    quad_set_stage_ops(0, GPU_TOP_MODULATE, GPU_TA_TEXTURE, GPU_TA_DIFFUSE);
}

bool quad_set_blend(int32_t mode) {
    uint32_t src = 0, dst = 0;
    gfx_blend_factors(mode, &src, &dst);
    gpu_set_render_state(GPU_RS_SRCBLEND, src);
    gpu_set_render_state(GPU_RS_DESTBLEND, dst);
    return src == GPU_BLEND_ONE && dst == GPU_BLEND_ZERO;
}

void quad_set_stage_ops(uint32_t stage, uint32_t op, uint32_t arg1, uint32_t arg2) {
    gpu_set_texture_stage_state(stage, GPU_TSS_COLOROP, op);
    gpu_set_texture_stage_state(stage, GPU_TSS_COLORARG1, arg1);
    gpu_set_texture_stage_state(stage, GPU_TSS_COLORARG2, arg2);
    gpu_set_texture_stage_state(stage, GPU_TSS_ALPHAOP, op);
    gpu_set_texture_stage_state(stage, GPU_TSS_ALPHAARG1, arg1);
    gpu_set_texture_stage_state(stage, GPU_TSS_ALPHAARG2, arg2);
}

void quad_shader_bind(int32_t set, const void *params) {
    bind_shader(set, params, GFX_SCREEN_VERTEX_FVF);
}

void quad_unbind_textures(void) {
    GfxDevice *device = gfx_get_device();
    for (uint32_t stage = 0; stage < GFX_SAMPLER_STAGES; ++stage)
        tex_bind(device, stage, nullptr, 1);
}

void quad_write_rect(ScreenVertex *v, float x0, float y0, float x1, float y1, float u0, float v0,
                     float u1, float v1, uint32_t argb) {
    const float xy[4][2] = {{x0, y0}, {x1, y0}, {x0, y1}, {x1, y1}};
    const float uv[4][2] = {{u0, v0}, {u1, v0}, {u0, v1}, {u1, v1}};
    quad_write(v, xy, uv, nullptr, argb);
}

void quad_draw_screen(int32_t quads) {
    if (quads <= 0) return;
    gpu_draw_indexed_primitive_up(GPU_PT_TRIANGLELIST, 0, (uint32_t)quads * 4, (uint32_t)quads * 2,
                                  gfx_quad_indices(), gfx_text_vertices(), sizeof(ScreenVertex));
}

void quad_draw_viewport(int32_t view, uint32_t texture_a, uint32_t texture_b,
                        const QuadStates *states, bool whole_texture, bool shake) {
    if (!states) return;
    const Rect r = current_viewport();
    float sx = 0.0f, sy = 0.0f;
    if (shake && (view == 0 || view == 1)) {
        sx = view_get_shake_x(view);
        sy = view_get_shake_y(view);
    }
    QuadUv uv[4];
    const float tw = (float)gfx_target_width(), th = (float)gfx_target_height();
    if (whole_texture || tw <= 0.0f || th <= 0.0f) {
        full_uv(uv);
    } else {
        const float l = r.x / tw, t = r.y / th, rr = (r.x + r.w) / tw, b = (r.y + r.h) / th;
        uv[0] = {l, t};
        uv[1] = {rr, t};
        uv[2] = {l, b};
        uv[3] = {rr, b};
    }
    const bool alpha_test = begin_quad(GFX_SCREEN_VERTEX_FVF, texture_a, texture_b, states,
                                       states->zwrite, states->zcompare, true);
    draw_screen_quad(r, sx, sy, uv, states->argb);
    end_quad(alpha_test);
}

void quad_draw_rect(float x, float y, float width, float height, uint32_t texture_a,
                    uint32_t texture_b, const QuadStates *states) {
    QuadUv uv[4];
    full_uv(uv);
    draw_uv_quad({x, y, width, height}, uv, texture_a, texture_b, states);
}

void quad_draw_rect_viewport(uint32_t texture_a, uint32_t texture_b, const QuadStates *states) {
    const Rect r = current_viewport();
    quad_draw_rect(r.x, r.y, r.w, r.h, texture_a, texture_b, states);
}

void quad_draw_rect_uv(float x, float y, float width, float height, const QuadUv *top_left,
                       const QuadUv *top_right, const QuadUv *bottom_left,
                       const QuadUv *bottom_right, uint32_t texture_a, uint32_t texture_b,
                       const QuadStates *states) {
    if (!top_left || !top_right || !bottom_left || !bottom_right) return;
    const QuadUv uv[4] = {*top_left, *top_right, *bottom_left, *bottom_right};
    draw_uv_quad({x, y, width, height}, uv, texture_a, texture_b, states);
}

void quad_draw_rect_uv_viewport(const QuadUv *top_left, const QuadUv *top_right,
                                const QuadUv *bottom_left, const QuadUv *bottom_right,
                                uint32_t texture_a, uint32_t texture_b, const QuadStates *states) {
    const Rect r = current_viewport();
    quad_draw_rect_uv(r.x, r.y, r.w, r.h, top_left, top_right, bottom_left, bottom_right, texture_a,
                      texture_b, states);
}

void quad_draw_taps(float x, float y, float width, float height, uint32_t texture_a,
                    uint32_t texture_b, const float offsets[16], const QuadStates *states) {
    if (!states || !offsets) return;
    begin_quad(TAPS_FVF, texture_a, texture_b, states, 0, ZCOMPARE_ALWAYS, false);
    gpu_set_render_state(GPU_RS_ALPHATESTENABLE, 0);
    // The eight-set vertices share the screen-vertex area.
    static_assert(4 * sizeof(TapVertex) <= 16 * sizeof(ScreenVertex), "tap vertices fit");
    TapVertex *v = reinterpret_cast<TapVertex *>(gfx_text_vertices());
    const float cu[4] = {0, 1, 0, 1}, cv[4] = {0, 0, 1, 1};
    for (int i = 0; i < 4; ++i) {
        v[i].x = x + cu[i] * width - 0.5f;
        v[i].y = y + cv[i] * height - 0.5f;
        v[i].z = 0.0f;
        v[i].rhw = 1.0f;
        v[i].diffuse = states->argb;
        for (int k = 0; k < TAP_SETS; ++k) {
            v[i].uv[k][0] = cu[i] + offsets[2 * k];
            v[i].uv[k][1] = cv[i] + offsets[2 * k + 1];
        }
    }
    gpu_draw_indexed_primitive_up(GPU_PT_TRIANGLELIST, 0, 4, 2, gfx_quad_indices(), v,
                                  sizeof(TapVertex));
    // Give the screen vertices back their preset depth and rhw, which 2D drawing relies on.
    ScreenVertex *sv = gfx_text_vertices();
    for (size_t i = 0; i * sizeof(ScreenVertex) < 4 * sizeof(TapVertex); ++i) {
        sv[i].z = 0.0f;
        sv[i].rhw = 1.0f;
    }
    end_quad(false);
}

void quad_draw_taps_viewport(uint32_t texture_a, uint32_t texture_b, const float offsets[16],
                             const QuadStates *states) {
    const Rect r = current_viewport();
    quad_draw_taps(r.x, r.y, r.w, r.h, texture_a, texture_b, offsets, states);
}

void quad_draw_plain(float x, float y, float rx, float ry, float angle, uint32_t argb) {
    const bool blended = (argb >> 24) < 0xFF;
    const QuadStates s = {argb, 0, ZCOMPARE_ALWAYS, blended ? 1 : 0, ALPHA_REF_NONE, 1,
                          0,    0, nullptr};
    begin_quad(GFX_SCREEN_VERTEX_FVF, 0, 0, &s, 0, ZCOMPARE_ALWAYS, false);
    ScreenVertex *v = gfx_text_vertices();
    const float c = std::cos(angle), sn = std::sin(angle);
    v[0].x = x - 0.5f;
    v[0].y = y - 0.5f;
    v[0].diffuse = argb;
    for (int i = 0; i <= PLAIN_SEGMENTS; ++i) {
        const float a = 6.2831853f * (float)i / (float)PLAIN_SEGMENTS;
        const float ex = std::cos(a) * rx, ey = std::sin(a) * ry;
        ScreenVertex &p = v[1 + i];
        p.x = x + ex * c - ey * sn - 0.5f;
        p.y = y + ex * sn + ey * c - 0.5f;
        p.diffuse = argb;
        p.u0 = p.v0 = p.u1 = p.v1 = 0.0f;
    }
    gpu_draw_primitive_up(GPU_PT_TRIANGLEFAN, PLAIN_SEGMENTS, v, sizeof(ScreenVertex));
    end_quad(false);
}

uint32_t gfx_check_format(uint32_t format, bool render_target) {
    if (!gfx_get_device()) return 0;
    // The device has no format query: a format counts as usable when a small texture of it
    // (with a full mip chain for plain textures) can be made.
    GpuTexture *t = render_target ? gpu_texture_create(4, 4, 1, GPU_USAGE_RENDER_TARGET, format,
                                                       GPU_POOL_DEFAULT)
                                  : gpu_texture_create(4, 4, 0, 0, format, GPU_POOL_MANAGED);
    if (!t) return 0;
    gpu_texture_release(t);
    return 1;
}

uint32_t gfx_check_texture_format(uint32_t texture_handle) {
    const TextureHandle *t = texture_of(texture_handle);
    if (!t) return 0;
    return gfx_check_format(t->format, t->kind == TEX_KIND_TARGET);
}
