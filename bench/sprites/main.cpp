// Sprite benchmark: N one-frame sprites per frame (N = 1000 and 4000) of one 32 x 32 texture
// with alpha, blended, bouncing like the classic bunny test, drawn for 600 frames through the
// renderer's frame pass, and the same sprites through SDL2's own batching 2D renderer (opengl
// driver). Prints both mean frame times and their ratio (target: at most 1.0). Vsync is off;
// run it under Xvfb to measure the software rasteriser. Each side runs three rounds in turn,
// each round in a process of its own, so neither side inherits the other's heap, threads or
// process settings.
// Usage: bench_sprites [--ours | --sdl] [--rounds R] [N ...]; the defaults are both sides,
// three rounds, N = 1000 and 4000. N = 0 times the fixed cost of a frame.
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
constexpr int WARM_UP = 30, FRAMES = 600, ROUNDS = 3;

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

// Median of the rounds; negative when any round failed.
double median(std::vector<double> v) {
    for (double x : v)
        if (x < 0) return -1.0;
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
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
        SDL_SetRenderDrawColor(r, 0x20, 0x30, 0x40, 0xFF);
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
        else if (a == "--rounds" && i + 1 < argc)
            rounds = std::atoi(argv[++i]);
        else if (!a.empty() && a.find_first_not_of("0123456789") == std::string::npos &&
                 a.size() < 6)
            sizes.push_back(std::atoi(a.c_str()));
        else {
            fprintf(stderr, "usage: bench_sprites [--ours | --sdl] [--rounds R] [N ...]\n");
            return 1;
        }
    }
    if (rounds < 1) rounds = 1;
    if (sizes.empty()) sizes = {1000, 4000};
    int status = 0;
    printf("frame pass, %d frames at %dx%d\n", FRAMES, WIDTH, HEIGHT);
    // The two renderers take turns, and each size reports the median of its rounds, so a
    // burst of load on the machine does not decide the comparison.
    for (int n : sizes) {
        std::vector<double> ours, theirs, ours_cpu, theirs_cpu;
        for (int round = 0; round < rounds; ++round) {
            const Timing a = run_ours ? run_apart(run_frame_pass, n) : Timing{1.0, 1.0};
            const Timing b = run_sdl ? run_apart(run_sdl_renderer, n) : Timing{1.0, 1.0};
            ours.push_back(a.wall);
            theirs.push_back(b.wall);
            ours_cpu.push_back(a.cpu);
            theirs_cpu.push_back(b.cpu);
        }
        const double a = median(ours), b = median(theirs);
        if (a < 0 || b < 0) {
            fprintf(stderr, "N=%d: could not run\n", n);
            status = 1;
            continue;
        }
        const double ratio = a / b;
        printf("N=%4d  frame pass %.3f ms  SDL renderer %.3f ms  ratio %.3f %s  (processor time "
               "%.3f / %.3f ms, ratio %.3f)\n",
               n, a, b, ratio, ratio <= 1.0 ? "ok" : "SLOWER", median(ours_cpu), median(theirs_cpu),
               median(ours_cpu) / median(theirs_cpu));
        fflush(stdout);
        if (run_ours && run_sdl && ratio > 1.0) status = 2;
    }
    return status;
}
