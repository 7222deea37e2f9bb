#include "gfx_test_env.h"

#include <SDL2/SDL.h>
#include <cstdlib>

#include "platform/gpu/gpu.h"
#include "render/gfx_device.h"
#include "render/gfx_display.h"
#include "render/gfx_state.h"

static SDL_Window *s_window;
static bool s_tried, s_ok;

bool gfx_test_device(void) {
    if (s_tried) return s_ok;
    s_tried = true;
    if (SDL_Init(SDL_INIT_VIDEO) != 0) return false;
    s_window = SDL_CreateWindow("render test", 0, 0, TEST_WIDTH, TEST_HEIGHT,
                                SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN);
    if (!s_window) return false;
    DisplayRecord *d = gfx_display();
    d->window = s_window;
    d->client_width = d->render_width = d->screen_width = TEST_WIDTH;
    d->client_height = d->render_height = d->screen_height = TEST_HEIGHT;
    d->bits_per_pixel = 32;
    DeviceCreateParams p = {s_window, TEST_WIDTH, TEST_HEIGHT, 32, 0, 0, nullptr, nullptr};
    s_ok = gfx_create_device(&p);
    if (s_ok) {
        std::atexit([] {
            gfx_destroy_device();
            SDL_DestroyWindow(s_window);
            SDL_Quit();
        });
    }
    return s_ok;
}

uint32_t gfx_test_surface_pixel(GpuSurface *surface, int x, int y) {
    uint32_t argb = 0xDEADBEEF;
    if (!gpu_read_pixels(surface, x, y, 1, 1, &argb)) return 0xDEADBEEF;
    return argb;
}

uint32_t gfx_test_pixel(int x, int y) {
    return gfx_test_surface_pixel(gpu_get_back_buffer(), x, y);
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

int gfx_test_color_distance(uint32_t a, uint32_t b) {
    int worst = 0;
    for (int shift = 0; shift < 32; shift += 8) {
        const int d = std::abs((int)((a >> shift) & 0xFF) - (int)((b >> shift) & 0xFF));
        if (d > worst) worst = d;
    }
    return worst;
}
