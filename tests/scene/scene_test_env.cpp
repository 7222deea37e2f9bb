#include "scene_test_env.h"

#include <SDL2/SDL.h>
#include <cstdlib>

#include "render/gfx_device.h"
#include "render/gfx_display.h"
#include "render/gfx_state.h"
#include "render/gfx_texture.h"
#include "resource/res_texture.h"
#include "scene/object_manager.h"
#include "scene/screen_prims.h"
#include "scene/sprite2d.h"

static SDL_Window *s_window;
static bool s_tried, s_ok;

bool scene_test_device(void) {
    if (s_tried) return s_ok;
    s_tried = true;
    if (SDL_Init(SDL_INIT_VIDEO) != 0) return false;
    s_window = SDL_CreateWindow("scene test", 0, 0, SCENE_TEST_WIDTH, SCENE_TEST_HEIGHT,
                                SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN);
    if (!s_window) return false;
    DisplayRecord *d = gfx_display();
    d->window = s_window;
    d->client_width = d->render_width = d->screen_width = SCENE_TEST_WIDTH;
    d->client_height = d->render_height = d->screen_height = SCENE_TEST_HEIGHT;
    d->bits_per_pixel = 32;
    DeviceCreateParams p = {s_window, SCENE_TEST_WIDTH, SCENE_TEST_HEIGHT, 32, 0, 0,
                            nullptr,  nullptr};
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

void scene_test_begin(uint32_t clear) {
    obj_manager_init();
    line2d_register_kind();
    tri2d_register_kind();
    sprite2d_register_kinds();
    res_init();
    tex_set_render_targets(0, 0, nullptr);
    gfx_set_viewport(0, 0, SCENE_TEST_WIDTH, SCENE_TEST_HEIGHT);
    gfx_set_scissor(0, 0, SCENE_TEST_WIDTH, SCENE_TEST_HEIGHT);
    gpu_set_render_state(GPU_RS_SCISSORTESTENABLE, 1);
    gpu_set_render_state(GPU_RS_ZENABLE, 0);
    gfx_clear(GFX_CLEAR_TARGET, clear);
}

void scene_test_frame(int32_t first, int32_t last) {
    obj_update_pass();
    obj_build_draw_list();
    gpu_begin_scene();
    obj_draw_layers(first, last);
    gpu_end_scene();
    obj_destroy_killed();
}

ResourceHandle scene_test_texture(const char *name, int w, int h,
                                  const std::vector<uint32_t> &texels) {
    const ResourceHandle t = res_create_texture("t", name, w, h, 0); // format 0: A8R8G8B8
    if (!t) return 0;
    if (!res_texture_fill(t, 0, 0, w, h, texels.data())) return 0;
    return t;
}

uint32_t scene_test_pixel(int x, int y) {
    uint32_t argb = 0xDEADBEEF;
    if (!gpu_read_pixels(gpu_get_back_buffer(), x, y, 1, 1, &argb)) return 0xDEADBEEF;
    return argb;
}

int scene_test_distance(uint32_t a, uint32_t b) {
    int worst = 0;
    for (int shift = 0; shift < 32; shift += 8) {
        const int d = std::abs((int)((a >> shift) & 0xFF) - (int)((b >> shift) & 0xFF));
        if (d > worst) worst = d;
    }
    return worst;
}

std::vector<uint32_t> scene_test_draw_counts(void) {
    size_t n = 0;
    const GpuTraceEntry *e = gpu_trace_entries(&n);
    std::vector<uint32_t> counts;
    for (size_t i = 0; i < n; ++i)
        if (e[i].kind == GPU_TRACE_DRAW) counts.push_back(e[i].b);
    return counts;
}
