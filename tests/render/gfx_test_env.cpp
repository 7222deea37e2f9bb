#include "gfx_test_env.h"

#include "platform/gpu/gpu.h"
#include "render/gfx_device.h"
#include "render/gfx_state.h"

bool gfx_test_device(void) {
    return test_render_device("render test", TEST_WIDTH, TEST_HEIGHT);
}

void gfx_test_reset_states(void) {
    tex_set_render_targets(0, 0, nullptr);
    gfx_set_viewport(0, 0, TEST_WIDTH, TEST_HEIGHT);
    gfx_set_scissor(0, 0, TEST_WIDTH, TEST_HEIGHT);
    gpu_set_render_state(GPU_RS_SCISSORTESTENABLE, 0);
    gpu_set_render_state(GPU_RS_ALPHABLENDENABLE, 0);
    gpu_set_render_state(GPU_RS_ALPHATESTENABLE, 0);
    gpu_set_render_state(GPU_RS_ZENABLE, 0);
    gpu_set_render_state(GPU_RS_FOGENABLE, 0);
    gpu_set_render_state(GPU_RS_COLORWRITEENABLE, 15);
    gfx_reset_state_cache();
    gfx_set_draw_states(0, 1, 3, 0, 0, 2, 0, 5, 0);
    gpu_set_vertex_shader(nullptr);
    gpu_set_pixel_shader(nullptr);
    gpu_set_texture_stage_state(0, GPU_TSS_COLOROP, 4);
    gpu_set_texture_stage_state(0, GPU_TSS_COLORARG1, 2);
    gpu_set_texture_stage_state(0, GPU_TSS_COLORARG2, 1);
    gpu_set_texture_stage_state(0, GPU_TSS_ALPHAOP, 2);
    gpu_set_texture_stage_state(0, GPU_TSS_ALPHAARG1, 2);
    gpu_set_texture_stage_state(0, GPU_TSS_ALPHAARG2, 1);
    gpu_set_texture_stage_state(1, GPU_TSS_COLOROP, 1);
    gpu_set_texture_stage_state(1, GPU_TSS_ALPHAOP, 1);
    for (uint32_t s = 0; s < GFX_SAMPLER_STAGES; ++s) tex_bind(gfx_get_device(), s, nullptr, 1);
    gpu_set_texture(0, nullptr);
}

void gfx_test_clear(uint32_t argb) {
    gfx_clear(GFX_CLEAR_TARGET, argb);
}

void gfx_test_quad(float x0, float y0, float x1, float y1, uint32_t argb, float z, float u0,
                   float v0, float u1, float v1) {
    ScreenVertex *v = gfx_text_vertices();
    const float xs[4] = {x0, x1, x0, x1}, ys[4] = {y0, y0, y1, y1};
    const float us[4] = {u0, u1, u0, u1}, vs[4] = {v0, v0, v1, v1};
    for (int i = 0; i < 4; ++i) {
        v[i].x = xs[i] - 0.5f;
        v[i].y = ys[i] - 0.5f;
        v[i].z = z;
        v[i].rhw = 1.0f;
        v[i].diffuse = argb;
        v[i].u0 = us[i];
        v[i].v0 = vs[i];
        v[i].u1 = v[i].v1 = 0.0f;
    }
    gpu_set_fvf(GFX_SCREEN_VERTEX_FVF);
    gpu_begin_scene();
    gpu_draw_indexed_primitive_up(GPU_PT_TRIANGLELIST, 0, 4, 2, gfx_quad_indices(), v,
                                  sizeof(ScreenVertex));
    gpu_end_scene();
    v[0].z = v[1].z = v[2].z = v[3].z = 0.0f; // the block keeps z = 0 preset
}
