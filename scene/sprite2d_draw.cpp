// The sprite kind's draw: a run of sprites becomes as few indexed quad draws as the changes of
// blend mode, shader set, filter, textures and clip rectangle allow, up to 4096 quads each.

#include "platform/gpu/gpu.h"
#include "render/gfx_device.h"
#include "render/gfx_quad.h"
#include "render/gfx_state.h"
#include "render/gfx_texture.h"
#include "scene/sprite2d.h"

namespace {

constexpr int32_t BLEND_PAIR_ALPHA = 1; // source alpha over the target

constexpr uint32_t FILTER_LINEAR_CODE = 2;

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

// A pair of (one, zero) leaves the source as it is: blending is switched off for it, which
// spares the rasteriser reading the target (the layer target's full-screen sprite uses it).
void set_blend(int32_t mode) {
    gpu_set_render_state(GPU_RS_ALPHABLENDENABLE, quad_set_blend(mode) ? 0 : 1);
}

void write_quad(ScreenVertex *v, const Sprite2D *s) {
    float off[4][2], uv[4][2], uv2[4][2];
    sprite2d_corner_offsets(off, s->w, s->h, s->ax, s->ay, s->sx, s->sy, s->rotation);
    turned_uvs(uv, s->uv, s->uv_turn, s->uv_flip);
    turned_uvs(uv2, s->uv2, s->uv2_turn, s->uv2_flip);
    const float x = s->x - 0.5f, y = s->y - 0.5f; // pixel centres meet texel centres
    float xy[4][2];
    for (int k = 0; k < 4; ++k) {
        xy[k][0] = x + off[k][0];
        xy[k][1] = y + off[k][1];
    }
    quad_write(v, xy, uv, uv2, s->color);
}

} // namespace

void sprite2d_begin_states(void) {
    quad_shader_bind(0, nullptr);
    gpu_set_render_state(GPU_RS_ALPHATESTENABLE, 0);
    quad_set_textured_states();
}

void sprite2d_shader_change(int32_t *current, int32_t set, const void *params) {
    if (set == *current) {
        quad_shader_bind(-1, params);
    } else {
        quad_shader_bind(set, params);
        *current = set;
    }
}

void sprite2d_end_states(void) {
    quad_shader_bind(0, nullptr);
    quad_unbind_textures();
}

void sprite2d_kind_draw(SceneObject **run, int32_t count) {
    GfxDevice *device = gfx_get_device();
    sprite2d_begin_states();
    quad_set_stage_ops(1, GPU_TOP_MODULATE, GPU_TA_CURRENT, GPU_TA_TEXTURE);

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
        // A sprite with a clip rectangle starts a batch of its own too: joining the open batch
        // would draw it without its scissor.
        const bool flush = s->blend != blend || s->shader_set != shader_set || s->shader_set != 0 ||
                           f != filter || s->texture != texture || s->texture2 != texture2 ||
                           clipped || s->clip_w != 0 || quads >= GFX_QUAD_COUNT;
        if (flush) {
            quad_draw_screen(quads);
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
            sprite2d_shader_change(&shader_set, s->shader_set, s->shader_params);
            filter = f;
            texture = s->texture;
            texture2 = s->texture2;
            quads = 0;
        }
        write_quad(&vertices[quads * 4], s);
        ++quads;
    }
    quad_draw_screen(quads);

    gpu_set_scissor_rect(&frame_scissor);
    set_blend(BLEND_PAIR_ALPHA);
    quad_set_stage_ops(1, GPU_TOP_DISABLE, GPU_TA_TEXTURE, GPU_TA_DIFFUSE);
    gpu_set_sampler_state(1, GPU_SAMP_MAGFILTER, FILTER_LINEAR_CODE);
    gpu_set_sampler_state(1, GPU_SAMP_MINFILTER, FILTER_LINEAR_CODE);
    sprite2d_end_states();
}
