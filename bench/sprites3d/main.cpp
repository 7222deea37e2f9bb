// 3D sprite benchmark: N billboards (N = 1000 and 4000) of one 32 x 32 texture with alpha,
// blended, depth writes off, size 1, spread between depths 4 and 42 in front of a perspective
// camera, drawn through an 800 x 600 render view whose picture is shown on the screen. Vsync is
// off; run it under Xvfb to measure the software rasteriser. After 30 frames of warm-up, 600
// frames are timed; prints the mean frame time and the processor time spent in the kind's draw.
// Usage: bench_sprites3d [N ...]
#include <SDL2/SDL.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>
#include <vector>

#include "platform/sys/sys_rand.h"
#include "render/gfx_device.h"
#include "render/gfx_frame.h"
#include "render/rtview.h"
#include "render/view.h"
#include "resource/res_texture.h"
#include "bench/kind_draw_timer.h"
#include "scene/object_internal.h"
#include "scene/sprite2d.h"
#include "scene/sprite3d.h"

namespace {

constexpr int WIDTH = 800, HEIGHT = 600, SIDE = 32;
constexpr int WARM_UP = 30, FRAMES = 600;
constexpr float NEAR_DEPTH = 4.0f, FAR_DEPTH = 42.0f;
constexpr int32_t SHOWN_LAYER = 6; // drawn over the layer target

// A soft disc: opaque in the middle, alpha fading towards the rim.
ResourceHandle disc_crop(void) {
    std::vector<uint32_t> px(SIDE * SIDE);
    for (int y = 0; y < SIDE; ++y)
        for (int x = 0; x < SIDE; ++x) {
            const float dx = x - 15.5f, dy = y - 15.5f;
            const float d = std::sqrt(dx * dx + dy * dy);
            const float a = d < 12 ? 1.0f : d < 16 ? (16 - d) / 4 : 0.0f;
            px[y * SIDE + x] = (uint32_t)(a * 255.0f) << 24 | (uint32_t)(x * 8) << 16 |
                               (uint32_t)(y * 8) << 8 | 0xC0;
        }
    const ResourceHandle t = res_create_texture("bench", "disc", SIDE, SIDE, 0);
    if (!t || !res_texture_fill(t, 0, 0, SIDE, SIDE, px.data())) return 0;
    return res_create_crop("bench", "disc", 0, 0, SIDE, SIDE, t);
}

float random_range(float lo, float hi) {
    return lo + (hi - lo) * (float)(sys_rand() % 10000) / 10000.0f;
}

// Billboards filling the camera's view between the two depths.
void place_billboards(int n, ResourceHandle crop) {
    sys_srand(1);
    const float t = std::tan(view_get_fov(0) * 0.5f);
    const float aspect = (float)WIDTH / (float)HEIGHT;
    for (int i = 0; i < n; ++i) {
        const float z = random_range(NEAR_DEPTH, FAR_DEPTH);
        const Vec3 p = {random_range(-1, 1) * z * t * aspect, random_range(-1, 1) * z * t, z};
        sprite3d_create(0, &p, 0.0f, 1.0f, crop, 0xFFFFFFFFu, 1);
    }
}

bool run(int n, double *frame_ms, double *draw_ms) {
    gfx_reset_scene();
    const Vec3 eye = {0, 0, 0}, target = {0, 0, 1}, up = {0, 1, 0};
    view_set_look_at(0, &eye, &target, &up);
    RenderView *v = rtview_create(0, WIDTH, HEIGHT, "bench");
    const ResourceHandle crop = res_find_crop("bench", "disc");
    if (!v || !crop) return false;
    v->clear_color = 0xFF203040u;
    v->range_3d[0] = v->range_3d[1] = SPRITE3D_LAYER;
    place_billboards(n, crop);

    double start = 0.0;
    for (int frame = 0; frame < WARM_UP + FRAMES; ++frame) {
        if (frame == WARM_UP) {
            start = bench_clock_ms(CLOCK_MONOTONIC);
            bench_draw_ms = 0.0;
        }
        SDL_PumpEvents();
        SceneObject *shown = sprite2d_put_texture(0, v->texture, 0xFFFFFFFFu, WIDTH * 0.5f,
                                                  HEIGHT * 0.5f, 0.5f, 0.5f, 1, 1, SHOWN_LAYER);
        if (shown) sprite2d_set_blend(shown, 0);
        gfx_render_frame(0);
    }
    *frame_ms = (bench_clock_ms(CLOCK_MONOTONIC) - start) / FRAMES;
    *draw_ms = bench_draw_ms / FRAMES;
    return sprite3d_stat_sprites() == (uint32_t)n;
}

} // namespace

int main(int argc, char **argv) {
    std::vector<int> sizes;
    for (int i = 1; i < argc; ++i) {
        const int n = std::atoi(argv[i]);
        if (n < 0 || n > OBJ_POOL_SIZE - 2) {
            fprintf(stderr, "usage: bench_sprites3d [N ...] (N up to %d)\n", OBJ_POOL_SIZE - 2);
            return 1;
        }
        sizes.push_back(n);
    }
    if (sizes.empty()) sizes = {1000, 4000};
    if (SDL_Init(SDL_INIT_VIDEO) != 0) return 1;
    SDL_Window *window = SDL_CreateWindow("3D sprites", 0, 0, WIDTH, HEIGHT, SDL_WINDOW_OPENGL);
    if (!window) return 1;
    gfx_init(window, 0, WIDTH, HEIGHT, 32, nullptr);
    if (!gfx_get_device() || !disc_crop()) return 1;
    ObjectKind *kind = &obj_kind_table()[sprite3d_kind_id()];
    bench_kind_draw = kind->draw;
    kind->draw = bench_timed_draw;

    int status = 0;
    printf("3D sprites through an %dx%d render view, %d frames\n", WIDTH, HEIGHT, FRAMES);
    for (int n : sizes) {
        double frame_ms = 0.0, draw_ms = 0.0;
        if (!run(n, &frame_ms, &draw_ms)) {
            fprintf(stderr, "N=%d: could not run\n", n);
            status = 1;
            continue;
        }
        printf("N=%4d  frame %.3f ms  sprite3d_draw %.3f ms processor time\n", n, frame_ms,
               draw_ms);
        fflush(stdout);
    }
    kind->draw = bench_kind_draw;
    gfx_shutdown();
    SDL_DestroyWindow(window);
    SDL_Quit();
    return status;
}
