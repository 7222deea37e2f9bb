#include "frame_test_env.h"

#include <SDL2/SDL.h>
#include <cstdlib>

#include "render/gfx_frame.h"
#include "render/text_queue.h"

static SDL_Window *s_window;
static bool s_tried, s_ok;

bool frame_test_start(void) {
    if (s_tried) return s_ok;
    s_tried = true;
    if (SDL_Init(SDL_INIT_VIDEO) != 0) return false;
    s_window = SDL_CreateWindow("frame test", 0, 0, FRAME_TEST_WIDTH, FRAME_TEST_HEIGHT,
                                SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN);
    if (!s_window) return false;
    gfx_init(s_window, 0, FRAME_TEST_WIDTH, FRAME_TEST_HEIGHT, 32, nullptr);
    s_ok = true;
    std::atexit([] {
        gfx_shutdown();
        SDL_DestroyWindow(s_window);
        SDL_Quit();
    });
    return s_ok;
}

void frame_test_fresh(void) {
    gfx_reset_scene();
    gfx_set_clear_color(0);
    gfx_set_scene_drawing(1);
    text_queue_rewind(gfx_get_outline_text_queue());
    text_queue_rewind(gfx_get_bitmap_text_queue());
    gpu_trace_enable(false);
    gpu_trace_clear();
}

uint32_t frame_test_pixel(int x, int y) {
    uint32_t argb = 0xDEADBEEF;
    if (!gpu_read_pixels(gpu_get_back_buffer(), x, y, 1, 1, &argb)) return 0xDEADBEEF;
    return argb;
}

std::vector<uint32_t> frame_test_block(int x, int y, int w, int h) {
    std::vector<uint32_t> px((size_t)w * (size_t)h, 0xDEADBEEF);
    gpu_read_pixels(gpu_get_back_buffer(), x, y, w, h, px.data());
    return px;
}

int frame_test_distance(uint32_t a, uint32_t b) {
    int worst = 0;
    for (int shift = 0; shift < 32; shift += 8) {
        const int d = std::abs((int)((a >> shift) & 0xFF) - (int)((b >> shift) & 0xFF));
        if (d > worst) worst = d;
    }
    return worst;
}

std::vector<GpuTraceEntry> frame_test_trace(GpuTraceKind kind) {
    size_t n = 0;
    const GpuTraceEntry *e = gpu_trace_entries(&n);
    std::vector<GpuTraceEntry> out;
    for (size_t i = 0; i < n; ++i)
        if (e[i].kind == kind) out.push_back(e[i]);
    return out;
}
