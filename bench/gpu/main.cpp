// Draws many textured screen-space quads through user memory and the shared quad index list,
// the way sprites and text are drawn, and reports quads per second and time per draw call.
// Usage: bench_gpu [frames] [quads per frame] [quads per draw]; run under a display (Xvfb).
#include "bench_device.h"
#include "platform/gpu/gpu.h"

#include <SDL2/SDL.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

struct ScreenVertex {
    float x, y, z, rhw;
    uint32_t diffuse;
    float u0, v0, u1, v1;
};

int main(int argc, char **argv) {
    int frames = argc > 1 ? std::atoi(argv[1]) : 200;
    int quads = argc > 2 ? std::atoi(argv[2]) : 4096;
    int batch = argc > 3 ? std::atoi(argv[3]) : 64;
    if (frames < 1 || quads < 1 || quads > 4096 || batch < 1 || batch > 4096) {
        std::fprintf(stderr, "bad arguments\n");
        return 1;
    }
    SDL_Window *win = bench_open_device(640, 480);
    if (!win) return 1;
    std::vector<uint16_t> list(4096 * 6);
    for (int q = 0; q < 4096; q++) {
        uint16_t b = (uint16_t)(q * 4), *p = &list[(size_t)q * 6];
        p[0] = b, p[1] = b + 1, p[2] = b + 2, p[3] = b + 3, p[4] = b + 2, p[5] = b + 1;
    }
    gpu_set_quad_index_list(list.data(), 4096);
    std::vector<uint32_t> texels(32 * 32, 0xFFFFFFFFu);
    GpuTexture *tex = gpu_texture_create(32, 32, 1, 0, GPU_FMT_A8R8G8B8, GPU_POOL_MANAGED);
    GpuLockedRect lr;
    if (tex && gpu_texture_lock(tex, 0, nullptr, &lr)) {
        for (int y = 0; y < 32; y++)
            for (int x = 0; x < 32; x++)
                ((uint32_t *)((uint8_t *)lr.bits + y * lr.pitch))[x] =
                    0xFF000000u | (uint32_t)(x * 8 << 8 | y * 8);
        gpu_texture_unlock(tex, 0);
    }
    gpu_set_fvf(0x244);
    gpu_set_render_state(GPU_RS_LIGHTING, 0);
    gpu_set_render_state(GPU_RS_ALPHABLENDENABLE, 1);
    gpu_set_render_state(GPU_RS_SRCBLEND, 5);
    gpu_set_render_state(GPU_RS_DESTBLEND, 6);
    gpu_set_texture(0, tex);

    std::vector<ScreenVertex> v((size_t)quads * 4);
    for (int q = 0; q < quads; q++) {
        float x = (float)(q * 37 % 620) - 0.5f, y = (float)(q * 53 % 460) - 0.5f;
        ScreenVertex *p = &v[(size_t)q * 4];
        p[0] = {x, y, 0, 1, 0x80FFFFFFu, 0, 0, 0, 0};
        p[1] = {x + 16, y, 0, 1, 0x80FFFFFFu, 1, 0, 1, 0};
        p[2] = {x, y + 16, 0, 1, 0x80FFFFFFu, 0, 1, 0, 1};
        p[3] = {x + 16, y + 16, 0, 1, 0x80FFFFFFu, 1, 1, 1, 1};
    }
    auto t0 = std::chrono::steady_clock::now();
    long draws = 0;
    for (int f = 0; f < frames; f++) {
        gpu_clear(GPU_CLEAR_TARGET, 0xFF000000u, 1.0f, 0);
        for (int q = 0; q < quads; q += batch) {
            int n = quads - q < batch ? quads - q : batch;
            // Each batch's vertices start at 0, as the renderer fills its screen vertices.
            gpu_draw_indexed_primitive_up(GPU_PT_TRIANGLELIST, 0, (uint32_t)n * 4, (uint32_t)n * 2,
                                          list.data(), &v[(size_t)q * 4], sizeof(ScreenVertex));
            draws++;
        }
        gpu_present();
    }
    uint32_t px;
    gpu_read_pixels(gpu_get_back_buffer(), 0, 0, 1, 1, &px); // waits for the last frame
    double s = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    std::printf("%d frames x %d quads (batches of %d): %.3f s, %.0f quads/s, %.2f us per draw, "
                "%.2f ms per frame\n",
                frames, quads, batch, s, (double)frames * quads / s, s * 1e6 / (double)draws,
                s * 1e3 / frames);
    gpu_texture_release(tex);
    bench_close_device(win);
    return 0;
}
