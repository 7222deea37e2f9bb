// The sprite kind's draw: a run of sprites becomes as few indexed quad draws as the changes of
// blend mode, shader set, filter, textures and clip rectangle allow, up to 4096 quads each.
#include <cstring>

#include "platform/gpu/gpu.h"
#include "render/gfx_device.h"
#include "render/gfx_state.h"
#include "render/gfx_texture.h"
#include "render/shader.h"
#include "scene/sprite2d.h"

namespace {

enum : uint32_t {
    BLEND_ZERO = 1,
    BLEND_ONE = 2,
    BLEND_SRCALPHA = 5,
    BLEND_INVSRCALPHA = 6,
    CMP_ALWAYS = 8,
    CULL_NONE = 1,
    FILL_SOLID = 3,
    TOP_DISABLE = 1,
    TOP_MODULATE = 4,
    TA_DIFFUSE = 0,
    TA_CURRENT = 1,
    TA_TEXTURE = 2,
    FILTER_LINEAR_CODE = 2,
};

// Output corner k of a quarter turn takes the input corner UvTurnTable[turn][k].
const uint8_t UvTurnTable[4][4] = {{0, 1, 2, 3}, {1, 3, 0, 2}, {3, 2, 1, 0}, {2, 0, 3, 1}};

void turned_uvs(float out[4][2], const float in[4][2], uint8_t turn, uint8_t flip) {
    turn &= 3;
    for (int k = 0; k < 4; ++k) {
        out[k][0] = in[UvTurnTable[turn][k]][0];
        out[k][1] = in[UvTurnTable[turn][k]][1];
    }
    const bool odd = turn & 1;
    auto swap = [&](int a, int b, int c) {
        const float t = out[a][c];
        out[a][c] = out[b][c];
        out[b][c] = t;
    };
    if (flip & SPRITE2D_FLIP_U) { // left and right change places
        const int c = odd ? 1 : 0;
        swap(0, 1, c);
        swap(2, 3, c);
    }
    if (flip & SPRITE2D_FLIP_V) { // top and bottom change places
        const int c = odd ? 0 : 1;
        swap(0, 2, c);
        swap(1, 3, c);
    }
}

void stage_ops(uint32_t stage, uint32_t op, uint32_t arg1, uint32_t arg2) {
    gpu_set_texture_stage_state(stage, GPU_TSS_COLOROP, op);
    gpu_set_texture_stage_state(stage, GPU_TSS_COLORARG1, arg1);
    gpu_set_texture_stage_state(stage, GPU_TSS_COLORARG2, arg2);
    gpu_set_texture_stage_state(stage, GPU_TSS_ALPHAOP, op);
    gpu_set_texture_stage_state(stage, GPU_TSS_ALPHAARG1, arg1);
    gpu_set_texture_stage_state(stage, GPU_TSS_ALPHAARG2, arg2);
}

// A pair of (one, zero) leaves the source as it is: blending is switched off for it, which
// spares the rasteriser reading the target (the layer target's full-screen sprite uses it).
void set_blend(int32_t mode) {
    uint32_t src = 0, dst = 0;
    gfx_blend_factors(mode, &src, &dst);
    gpu_set_render_state(GPU_RS_SRCBLEND, src);
    gpu_set_render_state(GPU_RS_DESTBLEND, dst);
    gpu_set_render_state(GPU_RS_ALPHABLENDENABLE, src == BLEND_ONE && dst == BLEND_ZERO ? 0 : 1);
}

void draw_quads(int32_t quads) {
    if (quads <= 0) return;
    gpu_draw_indexed_primitive_up(GPU_PT_TRIANGLELIST, 0, (uint32_t)quads * 4, (uint32_t)quads * 2,
                                  gfx_quad_indices(), gfx_text_vertices(), sizeof(ScreenVertex));
}

void write_quad(ScreenVertex *v, const Sprite2D *s) {
    float off[4][2], uv[4][2], uv2[4][2];
    sprite2d_corner_offsets(off, s->w, s->h, s->ax, s->ay, s->sx, s->sy, s->rotation);
    turned_uvs(uv, s->uv, s->uv_turn, s->uv_flip);
    turned_uvs(uv2, s->uv2, s->uv2_turn, s->uv2_flip);
    const float x = s->x - 0.5f, y = s->y - 0.5f; // pixel centres meet texel centres
    for (int k = 0; k < 4; ++k) {
        v[k].x = x + off[k][0];
        v[k].y = y + off[k][1];
        v[k].diffuse = s->color;
        v[k].u0 = uv[k][0];
        v[k].v0 = uv[k][1];
        v[k].u1 = uv2[k][0];
        v[k].v1 = uv2[k][1];
    }
}

} // namespace

void sprite2d_shader_bind(int32_t set, const void *params) {
    shader_select(set, params, 0, shader_find_vertex_decl(GFX_SCREEN_VERTEX_FVF), nullptr, nullptr,
                  nullptr, nullptr, 1.0f, nullptr, 0);
}

void sprite2d_unbind_textures(void) {
    GfxDevice *device = gfx_get_device();
    for (uint32_t stage = 0; stage < GFX_SAMPLER_STAGES; ++stage)
        tex_bind(device, stage, nullptr, 1);
}

void sprite2d_kind_draw(SceneObject **run, int32_t count) {
    GfxDevice *device = gfx_get_device();
    sprite2d_shader_bind(0, nullptr);
    gpu_set_render_state(GPU_RS_ALPHATESTENABLE, 0);
    gpu_set_render_state(GPU_RS_ALPHABLENDENABLE, 1);
    gpu_set_render_state(GPU_RS_SRCBLEND, BLEND_SRCALPHA);
    gpu_set_render_state(GPU_RS_DESTBLEND, BLEND_INVSRCALPHA);
    gpu_set_render_state(GPU_RS_ZWRITEENABLE, 0);
    gpu_set_render_state(GPU_RS_ZFUNC, CMP_ALWAYS);
    gpu_set_render_state(GPU_RS_CULLMODE, CULL_NONE);
    gpu_set_render_state(GPU_RS_FILLMODE, FILL_SOLID);
    stage_ops(0, TOP_MODULATE, TA_TEXTURE, TA_DIFFUSE);
    stage_ops(1, TOP_MODULATE, TA_CURRENT, TA_TEXTURE);
    gpu_set_render_state(GPU_RS_FOGENABLE, 0);
    gpu_set_render_state(GPU_RS_LIGHTING, 0);

    GpuRect frame_scissor;
    gpu_get_scissor_rect(&frame_scissor);
    ScreenVertex *vertices = gfx_text_vertices();
    int32_t quads = 0;
    int64_t blend = -1, filter = -1, texture = -1, texture2 = -1;
    int64_t stage0_texture = -1, stage0_filter = -1, stage1_texture = -1, stage1_filter = -1;
    int32_t shader_set = 0;
    bool clipped = false;

    for (int32_t i = 0; i < count; ++i) {
        const Sprite2D *s = sprite2d_of(run[i]);
        int32_t f = s->filter;
        if (f == SPRITE2D_FILTER_AUTO)
            f = s->sx == 1.0f && s->sy == 1.0f && s->rotation == 0.0f ? SPRITE2D_FILTER_POINT
                                                                      : SPRITE2D_FILTER_LINEAR;
        const bool flush = s->blend != blend || s->shader_set != shader_set || s->shader_set != 0 ||
                           f != filter || s->texture != texture || s->texture2 != texture2 ||
                           clipped || s->clip_w != 0 || quads >= GFX_QUAD_COUNT;
        if (flush) {
            draw_quads(quads);
            if (s->clip_w != 0) {
                gfx_set_scissor(s->clip_x, s->clip_y, s->clip_w, s->clip_h);
                clipped = true;
            } else if (clipped) {
                // Back to the frame's scissor; later sprites batch again.
                gpu_set_scissor_rect(&frame_scissor);
                clipped = false;
            }
            if (s->blend != blend) {
                set_blend(s->blend);
                blend = s->blend;
            }
            if (s->texture != stage0_texture || f != stage0_filter) {
                tex_bind(device, 0, res_get_texture(s->texture), f);
                stage0_texture = s->texture;
                stage0_filter = f;
            }
            if (s->texture2 != stage1_texture || f != stage1_filter) {
                tex_bind(device, 1, res_get_texture(s->texture2), f);
                stage1_texture = s->texture2;
                stage1_filter = f;
            }
            if (s->shader_set == shader_set) {
                sprite2d_shader_bind(-1, s->shader_params);
            } else {
                sprite2d_shader_bind(s->shader_set, s->shader_params);
                shader_set = s->shader_set;
            }
            filter = f;
            texture = s->texture;
            texture2 = s->texture2;
            quads = 0;
        }
        write_quad(&vertices[quads * 4], s);
        ++quads;
    }
    draw_quads(quads);

    gpu_set_scissor_rect(&frame_scissor);
    sprite2d_shader_bind(0, nullptr);
    gpu_set_render_state(GPU_RS_ALPHABLENDENABLE, 1);
    gpu_set_render_state(GPU_RS_SRCBLEND, BLEND_SRCALPHA);
    gpu_set_render_state(GPU_RS_DESTBLEND, BLEND_INVSRCALPHA);
    stage_ops(1, TOP_DISABLE, TA_TEXTURE, TA_DIFFUSE);
    gpu_set_sampler_state(1, GPU_SAMP_MAGFILTER, FILTER_LINEAR_CODE);
    gpu_set_sampler_state(1, GPU_SAMP_MINFILTER, FILTER_LINEAR_CODE);
    sprite2d_unbind_textures();
}
