// Sprite benchmark: N one-frame sprites per frame (N = 0, 1000 and 4000) of one 32 x 32 texture
// with alpha, blended, bouncing like the classic bunny test, drawn for 600 frames through the
// renderer's frame pass, and the same sprites (texture, positions, blending, black frame)
// through SDL2's own batching 2D renderer (opengl driver). Prints both sides' median frame
// times with their spread over the rounds and the ratio ours / SDL2 against its target (at
// most 1.0 at 1000, 0.95 at 4000; N = 0 times the fixed cost of a frame). Vsync is off; run it
// under Xvfb to measure the software rasteriser. Each round runs each side in a process of its
// own, so neither inherits the other's heap, threads or process settings, and the rounds
// alternate which side goes first.
// Usage: bench_sprites [--ours | --sdl] [--layer-target] [--rounds R] [N ...]; the defaults are
// both sides, five rounds, N = 0, 1000 and 4000. --layer-target makes every frame of ours go
// through the off-screen layer target.
#include <SDL2/SDL.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <ctime>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/sys/sys_rand.h"
#include "render/gfx_device.h"
#include "render/gfx_display.h"
#include "render/gfx_frame.h"
#include "render/gfx_state.h"
#include "resource/res_texture.h"
#include "scene/object_manager.h"
#include "scene/screen_prims.h"
#include "scene/sprite2d.h"

namespace {

constexpr int WIDTH = 800, HEIGHT = 600, SIDE = 32;
constexpr int WARM_UP = 30, FRAMES = 600, ROUNDS = 5;

bool g_layer_target; // --layer-target

// Processor time of the whole process (all of the rasteriser's threads), in milliseconds: less
// disturbed than the wall clock when other work shares the machine.
double cpu_ms(void) {
    timespec t;
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return t.tv_sec * 1000.0 + t.tv_nsec / 1e6;
}

struct Timing {
    double wall, cpu; // mean milliseconds per frame; wall < 0: the run failed
};

double now_ms(void) {
    using namespace std::chrono;
    return duration<double, std::milli>(steady_clock::now().time_since_epoch()).count();
}

// A soft disc: opaque in the middle, fading alpha towards the rim, a colour gradient across.
std::vector<uint32_t> bunny_pixels(void) {
    std::vector<uint32_t> px(SIDE * SIDE);
    for (int y = 0; y < SIDE; ++y)
        for (int x = 0; x < SIDE; ++x) {
            const float dx = x - 15.5f, dy = y - 15.5f;
            const float d = std::sqrt(dx * dx + dy * dy);
            const float a = d < 12 ? 1.0f : d < 16 ? (16 - d) / 4 : 0.0f;
            const uint32_t alpha = (uint32_t)(a * 255.0f);
            px[y * SIDE + x] =
                alpha << 24 | (uint32_t)(x * 8) << 16 | (uint32_t)(y * 8) << 8 | 0xC0;
        }
    return px;
}

struct Bunny {
    float x, y, vx, vy;
};

// The classic motion: gravity, bounces off the walls and the floor, a random kick on landing.
struct Bunnies {
    std::vector<Bunny> b;
    explicit Bunnies(int n) {
        sys_srand(1);
        for (int i = 0; i < n; ++i)
            b.push_back({0.0f, 0.0f, (sys_rand() % 1000) / 100.0f, (sys_rand() % 1000) / 200.0f});
    }
    void step(void) {
        const float max_x = WIDTH - SIDE, max_y = HEIGHT - SIDE;
        for (Bunny &k : b) {
            k.x += k.vx;
            k.y += k.vy;
            k.vy += 0.75f;
            if (k.x > max_x) {
                k.vx = -k.vx;
                k.x = max_x;
            } else if (k.x < 0) {
                k.vx = -k.vx;
                k.x = 0;
            }
            if (k.y > max_y) {
                k.vy *= -0.85f;
                k.y = max_y;
                if (sys_rand() & 1) k.vy -= (sys_rand() % 600) / 100.0f;
            } else if (k.y < 0) {
                k.vy = 0;
                k.y = 0;
            }
        }
    }
};

// Median and spread (lowest, highest) of the rounds; a median < 0 when any round failed.
struct Spread {
    double median, low, high;
};
Spread spread(std::vector<double> v) {
    for (double x : v)
        if (x < 0) return {-1.0, -1.0, -1.0};
    std::sort(v.begin(), v.end());
    return {v[v.size() / 2], v.front(), v.back()};
}

SDL_Window *make_window(const char *title) {
    return SDL_CreateWindow(title, 0, 0, WIDTH, HEIGHT, SDL_WINDOW_OPENGL);
}

// Mean frame times through the renderer's frame pass; negative on failure.
Timing run_frame_pass(int n) {
    SDL_Window *window = make_window("frame pass");
    if (!window) return {-1.0, -1.0};
    gfx_init(window, 0, WIDTH, HEIGHT, 32, nullptr);
    if (!gfx_get_device()) return {-1.0, -1.0};
    gfx_allow_direct_layers(!g_layer_target);
    const ResourceHandle tex = res_create_texture("bench", "bunny", SIDE, SIDE, 0);
    const std::vector<uint32_t> px = bunny_pixels();
    if (!tex || !res_texture_fill(tex, 0, 0, SIDE, SIDE, px.data())) return {-1.0, -1.0};
    Bunnies bunnies(n);
    double start = 0.0, cpu_start = 0.0;
    for (int frame = 0; frame < WARM_UP + FRAMES; ++frame) {
        if (frame == WARM_UP) {
            start = now_ms();
            cpu_start = cpu_ms();
        }
        SDL_PumpEvents();
        bunnies.step();
        for (const Bunny &k : bunnies.b)
            sprite2d_put_texture(0, tex, 0xFFFFFFFFu, k.x, k.y, 0, 0, 1, 1, 20);
        gfx_render_frame(0);
    }
    const Timing mean = {(now_ms() - start) / FRAMES, (cpu_ms() - cpu_start) / FRAMES};
    gfx_shutdown();
    SDL_DestroyWindow(window);
    return mean;
}

// Mean frame times through SDL2's batching renderer; negative on failure.
Timing run_sdl_renderer(int n) {
    SDL_SetHint(SDL_HINT_RENDER_DRIVER, "opengl");
    SDL_SetHint(SDL_HINT_RENDER_BATCHING, "1");
    SDL_SetHint(SDL_HINT_RENDER_VSYNC, "0");
    SDL_Window *window = make_window("SDL renderer");
    if (!window) return {-1.0, -1.0};
    SDL_Renderer *r = SDL_CreateRenderer(window, -1, SDL_RENDERER_ACCELERATED);
    if (!r) {
        SDL_DestroyWindow(window);
        return {-1.0, -1.0};
    }
    SDL_Texture *tex =
        SDL_CreateTexture(r, SDL_PIXELFORMAT_ARGB8888, SDL_TEXTUREACCESS_STATIC, SIDE, SIDE);
    const std::vector<uint32_t> px = bunny_pixels();
    SDL_UpdateTexture(tex, nullptr, px.data(), SIDE * 4);
    SDL_SetTextureBlendMode(tex, SDL_BLENDMODE_BLEND);
    Bunnies bunnies(n);
    double start = 0.0, cpu_start = 0.0;
    for (int frame = 0; frame < WARM_UP + FRAMES; ++frame) {
        if (frame == WARM_UP) {
            start = now_ms();
            cpu_start = cpu_ms();
        }
        SDL_PumpEvents();
        bunnies.step();
        SDL_SetRenderDrawColor(r, 0, 0, 0, 0xFF); // the frame pass shows black behind its layers
        SDL_RenderClear(r);
        for (const Bunny &k : bunnies.b) {
            const SDL_FRect dst = {k.x, k.y, (float)SIDE, (float)SIDE};
            SDL_RenderCopyF(r, tex, nullptr, &dst);
        }
        SDL_RenderPresent(r);
    }
    const Timing mean = {(now_ms() - start) / FRAMES, (cpu_ms() - cpu_start) / FRAMES};
    SDL_DestroyTexture(tex);
    SDL_DestroyRenderer(r);
    SDL_DestroyWindow(window);
    return mean;
}

// Runs one measurement in a child process with its own video subsystem; negative on failure.
Timing run_apart(Timing (*run)(int), int n) {
    int fds[2];
    if (pipe(fds) != 0) return {-1.0, -1.0};
    fflush(stdout);
    const pid_t pid = fork();
    if (pid < 0) {
        close(fds[0]);
        close(fds[1]);
        return {-1.0, -1.0};
    }
    if (pid == 0) {
        close(fds[0]);
        Timing t = {-1.0, -1.0};
        if (SDL_Init(SDL_INIT_VIDEO) == 0) {
            t = run(n);
            SDL_Quit();
        } else {
            fprintf(stderr, "SDL_Init: %s\n", SDL_GetError());
        }
        const ssize_t wrote = write(fds[1], &t, sizeof(t));
        _exit(wrote == (ssize_t)sizeof(t) ? 0 : 1);
    }
    close(fds[1]);
    Timing t = {-1.0, -1.0};
    if (read(fds[0], &t, sizeof(t)) != (ssize_t)sizeof(t)) t = {-1.0, -1.0};
    close(fds[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    return t;
}

} // namespace

// The ratio ours / SDL2 to reach at N sprites; 0 where none is set.
double target_ratio(int n) {
    return n == 1000 ? 1.0 : n == 4000 ? 0.95 : 0.0;
}

int main(int argc, char **argv) {
    bool run_ours = true, run_sdl = true;
    int rounds = ROUNDS;
    std::vector<int> sizes;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--ours")
            run_sdl = false;
        else if (a == "--sdl")
            run_ours = false;
        else if (a == "--layer-target")
            g_layer_target = true;
        else if (a == "--rounds" && i + 1 < argc)
            rounds = std::atoi(argv[++i]);
        else if (!a.empty() && a.find_first_not_of("0123456789") == std::string::npos &&
                 a.size() < 6)
            sizes.push_back(std::atoi(a.c_str()));
        else {
            fprintf(stderr, "usage: bench_sprites [--ours | --sdl] [--layer-target] [--rounds R] "
                            "[N ...]\n");
            return 1;
        }
    }
    if (rounds < 1) rounds = 1;
    if (sizes.empty()) sizes = {0, 1000, 4000};
    int status = 0;
    printf("frame pass%s vs SDL2 renderer (opengl), %d frames at %dx%d, %d rounds, order "
           "alternating; mean ms per frame: median [lowest - highest]\n",
           g_layer_target ? " (through the layer target)" : "", FRAMES, WIDTH, HEIGHT, rounds);
    // The two renderers take turns, the first of each round alternating, and each size reports
    // the median of its rounds, so a burst of load on the machine does not decide the
    // comparison; the spread shows how much the machine moved meanwhile.
    for (int n : sizes) {
        std::vector<double> ours, theirs, ours_cpu, theirs_cpu, ratios;
        for (int round = 0; round < rounds; ++round) {
            Timing a = {1.0, 1.0}, b = {1.0, 1.0};
            const bool sdl_first = round % 2 == 1;
            if (sdl_first && run_sdl) b = run_apart(run_sdl_renderer, n);
            if (run_ours) a = run_apart(run_frame_pass, n);
            if (!sdl_first && run_sdl) b = run_apart(run_sdl_renderer, n);
            ours.push_back(a.wall);
            theirs.push_back(b.wall);
            ours_cpu.push_back(a.cpu);
            theirs_cpu.push_back(b.cpu);
            ratios.push_back(a.wall > 0 && b.wall > 0 ? a.wall / b.wall : -1.0);
        }
        const Spread a = spread(ours), b = spread(theirs), r = spread(ratios);
        if (a.median < 0 || b.median < 0) {
            fprintf(stderr, "N=%d: could not run\n", n);
            status = 1;
            continue;
        }
        const double ratio = a.median / b.median, target = target_ratio(n);
        char verdict[48] = "";
        if (run_ours && run_sdl && target > 0.0) {
            snprintf(verdict, sizeof(verdict), " target %.2f %s", target,
                     ratio <= target ? "ok" : "MISSED");
            if (ratio > target) status = 2;
        }
        printf("N=%4d  ours %.3f [%.3f - %.3f]  SDL2 %.3f [%.3f - %.3f]  ratio %.3f (rounds %.3f - "
               "%.3f)%s  processor time %.3f / %.3f ms\n",
               n, a.median, a.low, a.high, b.median, b.low, b.high, ratio, r.low, r.high, verdict,
               spread(ours_cpu).median, spread(theirs_cpu).median);
        fflush(stdout);
    }
    return status;
}
