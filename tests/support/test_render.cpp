#include "test_render.h"

#include <cstdlib>
#include <cstring>
#include <dlfcn.h>
#include <link.h>

#include "render/gfx_device.h"
#include "render/gfx_display.h"

static SDL_Window *s_window;
static bool s_window_tried;

SDL_Window *test_window(const char *title, int w, int h) {
    if (s_window_tried) return s_window;
    s_window_tried = true;
    if (SDL_Init(SDL_INIT_VIDEO) != 0) return nullptr;
    s_window = SDL_CreateWindow(title, 0, 0, w, h, SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN);
    if (!s_window) {
        SDL_Quit();
        return nullptr;
    }
    return s_window;
}

void test_keep_gl_driver(void) {
    dl_iterate_phdr(
        [](dl_phdr_info *info, size_t, void *) {
            if (info->dlpi_name && strstr(info->dlpi_name, "_dri.so"))
                dlopen(info->dlpi_name, RTLD_NOW | RTLD_NOLOAD | RTLD_NODELETE);
            return 0;
        },
        nullptr);
}

// The device start-ups below register their own shutdown, which closes the window afterwards.
static void close_window(void) {
    SDL_DestroyWindow(s_window);
    SDL_Quit();
}

bool test_render_device(const char *title, int w, int h) {
    static bool tried, ok;
    if (tried) return ok;
    tried = true;
    SDL_Window *window = test_window(title, w, h);
    if (!window) return false;
    DisplayRecord *d = gfx_display();
    d->window = window;
    d->client_width = d->render_width = d->screen_width = w;
    d->client_height = d->render_height = d->screen_height = h;
    d->bits_per_pixel = 32;
    DeviceCreateParams p = {window, w, h, 32, 0, 0, nullptr, nullptr};
    ok = gfx_create_device(&p);
    if (ok) {
        std::atexit([] {
            test_keep_gl_driver();
            gfx_destroy_device();
            close_window();
        });
    }
    return ok;
}

bool test_render_start(const char *title, int w, int h, const DisplayOptions *options) {
    static bool tried, ok;
    if (tried) return ok;
    tried = true;
    SDL_Window *window = test_window(title, w, h);
    if (!window) return false;
    gfx_init(window, 0, w, h, 32, options); // a device that cannot be made ends the program
    ok = true;
    std::atexit([] {
        test_keep_gl_driver();
        gfx_shutdown();
        close_window();
    });
    return ok;
}

uint32_t test_surface_pixel(GpuSurface *surface, int x, int y) {
    uint32_t argb = 0xDEADBEEF;
    if (!gpu_read_pixels(surface, x, y, 1, 1, &argb)) return 0xDEADBEEF;
    return argb;
}

uint32_t test_pixel(int x, int y) {
    return test_surface_pixel(gpu_get_back_buffer(), x, y);
}

std::vector<uint32_t> test_pixel_block(int x, int y, int w, int h) {
    if (w <= 0 || h <= 0) return {};
    std::vector<uint32_t> px((size_t)w * (size_t)h, 0xDEADBEEF);
    if (!gpu_read_pixels(gpu_get_back_buffer(), x, y, w, h, px.data()))
        px.assign(px.size(), 0xDEADBEEF);
    return px;
}

std::vector<GpuTraceEntry> test_trace(GpuTraceKind kind) {
    size_t n = 0;
    const GpuTraceEntry *e = gpu_trace_entries(&n);
    std::vector<GpuTraceEntry> out;
    for (size_t i = 0; i < n; ++i)
        if (e[i].kind == kind) out.push_back(e[i]);
    return out;
}
